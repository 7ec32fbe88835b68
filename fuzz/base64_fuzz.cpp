// The base64 reader on any text (the configuration's SIGNATURE): nothing crashes, a text it
// accepts is the one text the writer makes of its bytes, and any bytes written come back whole.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto bytes = volnor::decodeBase64(text))
        FUZZ_CHECK(volnor::encodeBase64(*bytes) == text);
    FUZZ_CHECK(volnor::decodeBase64(volnor::encodeBase64(text)) == text);
    return 0;
}

// The connect-to list of both transfer clients: every entry it gives curl is one non-empty,
// trimmed "HOST:PORT:ADDR:PORT" item without the list's separator.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "transfer/connect_to.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    const auto entries = volnor::connectToList(list);
    for (const std::string& entry : entries) {
        FUZZ_CHECK(!entry.empty());
        FUZZ_CHECK(entry == volnor::trimmed(entry));
        FUZZ_CHECK(entry.find(';') == std::string::npos);
    }
    FUZZ_CHECK(entries.size() <=
               static_cast<size_t>(std::count(list.begin(), list.end(), ';')) + 1);
    return 0;
}

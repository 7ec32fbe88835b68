// The OLE DB connection string of the parts-database provider: it never crashes, and what it
// reads comes back the same from a string written out again with every value quoted.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "partsdb/connection_string.h"
#include "platform/error.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<std::string, std::string> options;
    try {
        options = volnor::partsdb::parseConnectionString(text);
    } catch (const volnor::Error& e) {
        FUZZ_CHECK(!e.text().empty());
        return 0;
    }
    std::string written;
    for (const auto& [key, value] : options) {
        FUZZ_CHECK(key == volnor::trimmed(key) && key == volnor::asciiLower(key));
        FUZZ_CHECK(key.find('=') == std::string::npos && key.find(';') == std::string::npos);
        written += key + "=\"" + volnor::replaceAll(value, "\"", "\"\"") + "\";";
    }
    FUZZ_CHECK(volnor::partsdb::parseConnectionString(written) == options);
    return 0;
}

// The INI reader and writer on any file content: reading never crashes and gives a value as
// the reader's rules cut it; writing the update date gives a file from which that date reads
// back, and the other keys of the file read as before.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/posix/ini_files.h"
#include "platform/text.h"

namespace {

bool wellCut(const std::optional<std::string>& value) {
    return !value || (volnor::utf16Length(*value) <= volnor::posix::kIniValueLimit &&
                      value->find_first_of(std::string_view("\0\n\r", 3)) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using volnor::posix::iniValue;
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::string_view section = "EPLAN";
    const std::string_view others[] = {"DATE", "MESS", ""};
    for (const std::string_view key : others) FUZZ_CHECK(wellCut(iniValue(content, section, key)));

    const std::string date = "10.12.2026";
    const auto written = volnor::posix::iniWithValue(content, "Eplan", "DATEUPDATE", date);
    if (!written) return 0;  // a value the file's encoding cannot hold
    FUZZ_CHECK(iniValue(*written, section, "dateupdate") == date);
    for (const std::string_view key : others)
        FUZZ_CHECK(iniValue(*written, section, key) == iniValue(content, section, key));
    return 0;
}

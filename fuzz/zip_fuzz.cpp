// The zip directory reader on any bytes, then the catalogue policy on what it read: nothing
// crashes, no read reaches past the file's end, and a directory read holds no name with a NUL.
#include <cstdint>
#include <string>
#include <string_view>

#include "download/archive_entries.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const volnor::ZipDirectory dir =
        volnor::readZipDirectory(size, [file](std::uint64_t offset, std::size_t count) {
            FUZZ_CHECK(offset <= file.size() && count <= file.size() - offset);
            return std::string(file.substr(static_cast<std::size_t>(offset), count));
        });
    FUZZ_CHECK(dir.error.empty() || dir.entries.empty());
    for (const volnor::ArchiveEntry& entry : dir.entries)
        FUZZ_CHECK(entry.path.find('\0') == std::string::npos);
    // A folder that does not exist: the walk along each path finds no link.
    volnor::entriesProblem(volnor::ArchiveKind::Catalogue, "/nonexistent-volnor-program-dir",
                           dir.entries);
    return 0;
}

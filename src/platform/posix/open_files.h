#pragma once
// Who holds a file open, from the descriptors under /proc.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace volnor::posix {

// Processes that hold `path` open, this one included: their ids and the count of this process's
// descriptors. Only processes whose descriptors this one may read are seen.
struct FileHolders {
    std::vector<std::int64_t> pids;  // each process once
    int ownHandles = 0;
};
FileHolders openHolders(const std::filesystem::path& path);

}  // namespace volnor::posix

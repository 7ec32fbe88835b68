#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace volnor {

// FindFirst/FindNext over one folder: the names (UTF-8) of all entries (files, folders, hidden
// ones) whose name matches a "*"/"?" mask, letter case ignored as on Windows, Cyrillic included.
// "." and ".." are not returned. A missing folder yields nothing; an empty folder path means
// the current directory.
class FileSearch {
public:
    virtual ~FileSearch() = default;
    virtual std::vector<std::string> find(const std::filesystem::path& folder,
                                          std::string_view mask) const = 0;
};

}  // namespace volnor

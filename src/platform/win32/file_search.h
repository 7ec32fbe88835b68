#pragma once
#include "platform/file_search.h"

namespace volnor::win32 {

// FindFirstFileW and FindNextFileW: the system matches the mask, letter case ignored.
class WinFileSearch : public FileSearch {
public:
    std::vector<std::string> find(const std::filesystem::path& folder,
                                  std::string_view mask) const override;
};

}  // namespace volnor::win32

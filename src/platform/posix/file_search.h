#pragma once
#include "platform/file_search.h"

namespace volnor::posix {

// Letter case is ignored as Windows ignores it: by Unicode case folding, Cyrillic included.
class PosixFileSearch : public FileSearch {
public:
    std::vector<std::string> find(const std::filesystem::path& folder,
                                  std::string_view mask) const override;
};

}  // namespace volnor::posix

#pragma once
#include <string>

namespace volnor {

// Hands a URL (https, ftp, mailto) or a folder to the desktop's registered handler. The caller
// says which of the two it opens: a folder's name may hold a colon, as a URL's scheme does.
// Returns at once; the result is never examined. The desktop's in the product, a recorder in
// tests.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void openUrl(const std::string& url) = 0;
    // A folder path: absolute, relative to the current directory, or a fixed "C:\..." path.
    virtual void openFolder(const std::string& folder) = 0;
};

}  // namespace volnor

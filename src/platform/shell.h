#pragma once
#include <QString>

namespace volnor {

// Hands a URL (https, ftp, mailto) or a folder to the desktop's registered handler. Returns at
// once; the result is never examined. QDesktopServices in the product, a recorder in tests.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& target) = 0;
};

}  // namespace volnor

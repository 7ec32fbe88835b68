#include "platform/paths.h"

#include "platform/text.h"

namespace volnor {

WinPaths::WinPaths(std::filesystem::path driveRoot) {
    std::string root = utf8Of(driveRoot);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    driveRoot_ = pathOf(root);
}

std::filesystem::path WinPaths::native(const std::string& windowsPath) const {
    const bool onDriveC = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                          (windowsPath[0] == 'C' || windowsPath[0] == 'c');
    if (!onDriveC) return relative(windowsPath);
    std::string rest = replaceAll(windowsPath.substr(2), "\\", "/");
    if (rest.empty() || rest.front() != '/') rest.insert(rest.begin(), '/');
    return pathOf(utf8Of(driveRoot_) + rest);
}

std::filesystem::path WinPaths::relative(const std::string& windowsPath) {
    std::string p = replaceAll(windowsPath, "\\", "/");
    while (p.starts_with("./")) p.erase(0, 2);
    if (p.empty() || p == ".") return ".";
    return pathOf(p);
}

}  // namespace volnor

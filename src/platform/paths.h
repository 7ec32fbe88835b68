#pragma once
#include <filesystem>
#include <string>

namespace volnor {

// Maps the program's fixed Windows paths ("C:\Users\Public\...") onto a folder that stands for
// drive C:, and translates relative names written with "\" (".\name", "7z\7z.exe") to native
// paths. Passed in, never global, so tests point the drive at a temporary folder. On Windows the
// drive folder is "C:\" itself.
class WinPaths {
public:
    explicit WinPaths(std::filesystem::path driveRoot);

    const std::filesystem::path& driveRoot() const { return driveRoot_; }

    // "C:\A\B\" -> "<drive>/A/B/"; a relative name is translated as by relative().
    std::filesystem::path native(const std::string& windowsPath) const;

    // ".\A\b.zip" -> "A/b.zip", "..\x" -> "../x"; a trailing "\" stays as "/".
    static std::filesystem::path relative(const std::string& windowsPath);

private:
    std::filesystem::path driveRoot_;
};

}  // namespace volnor

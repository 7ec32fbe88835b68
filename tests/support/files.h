#pragma once
// Files and folders for tests, without a toolkit.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace volnor::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    // A name inside the folder (UTF-8, may hold "/").
    fs::path file(std::string_view name) const;

private:
    fs::path path_;
};

// Makes `dir` the process's current directory until the scope ends.
class CurrentDir {
public:
    explicit CurrentDir(const fs::path& dir);
    ~CurrentDir();
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    fs::path saved_;
};

// The whole file; empty when it cannot be read.
std::string readFile(const fs::path& path);
// Creates or replaces the file (and its folder); throws std::runtime_error on failure.
void writeFile(const fs::path& path, std::string_view bytes);
// The names (UTF-8) of the entries of a folder, sorted; empty for a missing folder.
std::vector<std::string> entryNames(const fs::path& folder);

}  // namespace volnor::test

#include "support/files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/text.h"

namespace volnor::test {

TempDir::TempDir() {
    // Made the portable way, so the Windows build's tests share it: a random name, taken only
    // when create_directory made it.
    std::random_device random;
    std::mt19937 generator(random());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() /
                                   ("volnor-test-" + std::to_string(generator() % 1000000000u));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder for a test");
}

TempDir::~TempDir() {
    std::error_code ec;
    // A test may have left a folder without permissions; give them back before removing.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

fs::path TempDir::file(std::string_view name) const { return path_ / pathOf(name); }

CurrentDir::CurrentDir(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }

CurrentDir::~CurrentDir() {
    std::error_code ec;
    fs::current_path(saved_, ec);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + utf8Of(path));
}

std::vector<std::string> entryNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace volnor::test

#include "download/transient_file.h"

#include <cerrno>
#include <random>
#include <system_error>

namespace volnor {

namespace {

std::string errnoText(int error) { return std::generic_category().message(error); }

// The XXXXXX of "<name>.XXXXXX.part": six letters and digits, drawn anew for every try.
std::string randomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string s(6, ' ');
    for (char& c : s) c = kChars[pick(engine)];
    return s;
}

// Creates the file only if no file of that name exists ("x": O_EXCL), so two downloads never
// share one file aside.
std::FILE* createNew(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

}  // namespace

TransientFile::TransientFile(std::filesystem::path path) : path_(std::move(path)) {}

TransientFile::~TransientFile() { discard(); }

bool TransientFile::open() {
    discard();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = path_;
        // Appended piece by piece: GCC 12 warns (-Wrestrict) about "." + std::string at -O3.
        candidate += ".";
        candidate += randomSuffix();
        candidate += ".part";
        errno = 0;
        file_ = createNew(candidate);
        if (file_) {
            aside_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error_ = errnoText(errno != 0 ? errno : EEXIST);
    return false;
}

bool TransientFile::write(std::string_view bytes) {
    if (!file_) {
        error_ = errnoText(EBADF);
        return false;
    }
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error_ = errnoText(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool TransientFile::commit() {
    if (!file_) {
        error_ = errnoText(EBADF);
        return false;
    }
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) {
        error_ = errnoText(errno != 0 ? errno : EIO);
        discard();
        return false;
    }
    // std::filesystem::rename replaces an existing file, on every platform.
    std::error_code ec;
    std::filesystem::rename(aside_, path_, ec);
    if (ec) {
        error_ = ec.message();
        discard();
        return false;
    }
    aside_.clear();
    return true;
}

void TransientFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (aside_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(aside_, ec);
    aside_.clear();
}

}  // namespace volnor

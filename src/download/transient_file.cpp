#include "download/transient_file.h"

#include <cerrno>
#include <random>
#include <system_error>

namespace volnor {

namespace {

constexpr std::size_t kSuffixLength = 6;
constexpr std::string_view kAsideExtension = ".part";
constexpr std::string_view kSuffixChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string errnoText(int error) { return std::generic_category().message(error); }

// The XXXXXX of "<name>.XXXXXX.part": six letters and digits, drawn anew for every try.
std::string randomSuffix() {
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kSuffixChars.size() - 1);
    std::string s(kSuffixLength, ' ');
    for (char& c : s) c = kSuffixChars[pick(engine)];
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
        candidate += kAsideExtension;
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

std::optional<std::string_view> transientFinalName(std::string_view asideName) {
    if (!asideName.ends_with(kAsideExtension)) return std::nullopt;
    asideName.remove_suffix(kAsideExtension.size());
    // A final name of at least one character, ".", and the suffix.
    if (asideName.size() < kSuffixLength + 2) return std::nullopt;
    const std::string_view suffix = asideName.substr(asideName.size() - kSuffixLength);
    if (suffix.find_first_not_of(kSuffixChars) != std::string_view::npos) return std::nullopt;
    asideName.remove_suffix(kSuffixLength);
    if (!asideName.ends_with('.')) return std::nullopt;
    asideName.remove_suffix(1);
    return asideName;
}

}  // namespace volnor

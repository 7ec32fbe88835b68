#include "platform/ansi_codec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace volnor {

namespace {

constexpr char kAnsi[] = "WINDOWS-1251";

// One conversion descriptor per call, closed on every path.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    Converter conv(kAnsi, "UTF-8");
    if (!conv.valid()) return std::nullopt;
    std::string in(utf8);
    // Windows-1251 never needs more bytes than UTF-8 for the same text.
    std::string out(in.size(), '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    Converter conv("UTF-8", kAnsi);
    if (!conv.valid()) return std::string(ansi);
    std::string in(ansi);
    std::vector<char> out(in.size() * 3 + 3);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    std::string utf8;
    while (inLeft > 0) {
        char* outPtr = out.data();
        size_t outLeft = out.size();
        const size_t rc = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        utf8.append(out.data(), out.size() - outLeft);
        if (rc == static_cast<size_t>(-1)) {
            if (errno != EILSEQ && errno != EINVAL) break;
            utf8.append("\xEF\xBF\xBD");  // U+FFFD for the byte the code page leaves unassigned
            ++inPtr;
            --inLeft;
        }
    }
    return utf8;
}

}  // namespace volnor

#include "platform/ansi.h"

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

std::optional<QByteArray> toAnsi(const QString& text) {
    Converter conv(kAnsi, "UTF-8");
    if (!conv.valid()) return std::nullopt;
    QByteArray in = text.toUtf8();
    // Windows-1251 never needs more bytes than UTF-8 for the same text.
    QByteArray out(in.size(), Qt::Uninitialized);
    char* inPtr = in.data();
    size_t inLeft = static_cast<size_t>(in.size());
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    if (iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

QString fromAnsi(const QByteArray& bytes) {
    Converter conv("UTF-8", kAnsi);
    if (!conv.valid()) return QString::fromLatin1(bytes);
    QByteArray in = bytes;
    std::vector<char> out(static_cast<size_t>(bytes.size()) * 3 + 3);
    char* inPtr = in.data();
    size_t inLeft = static_cast<size_t>(in.size());
    QByteArray utf8;
    while (inLeft > 0) {
        char* outPtr = out.data();
        size_t outLeft = out.size();
        const size_t rc = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        utf8.append(out.data(), static_cast<qsizetype>(out.size() - outLeft));
        if (rc == static_cast<size_t>(-1)) {
            if (errno != EILSEQ && errno != EINVAL) break;
            utf8.append("\xEF\xBF\xBD");  // U+FFFD for the byte the code page leaves unassigned
            ++inPtr;
            --inLeft;
        }
    }
    return QString::fromUtf8(utf8);
}

}  // namespace volnor

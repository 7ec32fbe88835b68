#include "platform/posix/ini_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStringView>
#include <cerrno>
#include <random>
#include <vector>

#include "platform/ansi_codec.h"
#include "platform/error.h"
#include "platform/text.h"

namespace volnor::posix {

namespace {

enum class Encoding { Ansi, Utf16Le, Utf16Be };

// The file's text with one unit for each ANSI byte or UTF-16 unit after the mark, so that a
// position in the text gives the position of its bytes.
struct Decoded {
    Encoding encoding = Encoding::Ansi;
    std::size_t bom = 0;
    std::size_t unit = 1;
    std::u16string text;
};

Decoded decode(std::string_view bytes) {
    Decoded d;
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 &&
        ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        d.encoding = byte(0) == 0xFF ? Encoding::Utf16Le : Encoding::Utf16Be;
        d.bom = 2;
        d.unit = 2;
        d.text.reserve((bytes.size() - 2) / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned lo = d.encoding == Encoding::Utf16Le ? byte(i) : byte(i + 1);
            const unsigned hi = d.encoding == Encoding::Utf16Le ? byte(i + 1) : byte(i);
            d.text += static_cast<char16_t>(hi << 8 | lo);
        }
        return d;
    }
    // Windows-1251 gives one character of the basic plane for every byte.
    d.text = toUtf16(ansiToUtf8(bytes));
    if (d.text.size() != bytes.size()) {
        d.text.assign(bytes.size(), u'\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) d.text[i] = byte(i);
    }
    return d;
}

std::optional<std::string> encode(const std::u16string& text, Encoding encoding) {
    if (encoding == Encoding::Ansi) return utf8ToAnsi(fromUtf16(text));
    std::string out;
    out.reserve(text.size() * 2);
    for (const char16_t c : text) {
        const auto lo = static_cast<char>(c & 0xFF);
        const auto hi = static_cast<char>(c >> 8);
        if (encoding == Encoding::Utf16Le) {
            out += lo;
            out += hi;
        } else {
            out += hi;
            out += lo;
        }
    }
    return out;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trimBlanks(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

struct Line {
    enum class Kind { Other, Section, Key };
    std::size_t begin = 0;  // first unit
    std::size_t end = 0;    // after the last unit, before the line's end
    std::size_t next = 0;   // after the line's end (CR LF, LF or CR), or end at the file's end
    Kind kind = Kind::Other;
    std::u16string_view name;      // of the section or the key
    std::u16string_view rawValue;  // after the "=" of a key
};

std::vector<Line> parse(std::u16string_view text) {
    std::vector<Line> lines;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        Line line;
        line.begin = i;
        while (i < n && text[i] != u'\r' && text[i] != u'\n') ++i;
        line.end = i;
        if (i < n && text[i] == u'\r') {
            ++i;
            if (i < n && text[i] == u'\n') ++i;
        } else if (i < n) {
            ++i;
        }
        line.next = i;

        const std::u16string_view body = trimBlanks(text.substr(line.begin, line.end - line.begin));
        const std::size_t close = body.rfind(u']');
        if (!body.empty() && body.front() == u'[' && close != std::u16string_view::npos &&
            close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimBlanks(body.substr(1, close - 1));
        } else if (const std::size_t eq = body.find(u'='); eq != std::u16string_view::npos) {
            line.kind = Line::Kind::Key;
            line.name = trimBlanks(body.substr(0, eq));
            // The value starts right after "="; its trailing blanks were trimmed with the line's.
            const std::size_t at = static_cast<std::size_t>(body.data() - text.data()) + eq + 1;
            line.rawValue = text.substr(at, line.end - at);
        }
        lines.push_back(line);
    }
    return lines;
}

// Unicode case folding, as the platform's reader ignores case in Cyrillic names too.
bool sameName(std::u16string_view a, std::u16string_view b) {
    return QStringView(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QStringView(b.data(), static_cast<qsizetype>(b.size())),
                        Qt::CaseInsensitive) == 0;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t findSection(const std::vector<Line>& lines, std::u16string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Kind::Section && sameName(lines[i].name, section)) return i;
    return kNone;
}

std::size_t sectionEnd(const std::vector<Line>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::Kind::Section) ++i;
    return i;
}

std::size_t findKey(const std::vector<Line>& lines, std::size_t header, std::u16string_view key) {
    for (std::size_t i = header + 1; i < sectionEnd(lines, header); ++i)
        if (lines[i].kind == Line::Kind::Key && sameName(lines[i].name, key)) return i;
    return kNone;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

std::string valueOf(std::u16string_view raw) {
    if (const std::size_t nul = raw.find(u'\0'); nul != std::u16string_view::npos)
        raw = raw.substr(0, nul);
    raw = trimBlanks(raw);
    if (raw.size() >= 2 && (raw.front() == u'"' || raw.front() == u'\'') &&
        raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    if (raw.size() > kIniValueLimit) {
        raw = raw.substr(0, kIniValueLimit);
        if (isHighSurrogate(raw.back())) raw.remove_suffix(1);
    }
    return fromUtf16(raw);
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult readAll(const std::filesystem::path& file, std::string& content) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    content.clear();
    char buffer[65536];
    ReadResult result = ReadResult::Ok;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) result = ReadResult::Failed;  // a folder, an I/O error
        if (got <= 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// A synced temporary file beside the target, then one rename: a failure anywhere leaves the
// target as it was. An existing file's permissions carry over to its replacement.
bool replaceWhole(const std::filesystem::path& target, std::string_view bytes) {
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temporary = target;
        // Appended piece by piece: GCC 12 warns (-Wrestrict) about "." + std::string at -O3.
        temporary += ".";
        temporary += std::to_string(random() % 1000000);
        temporary += ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        bool ok = writeAll(fd, bytes);
        if (ok && exists) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
        ok = ok && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
        if (!ok) ::unlink(temporary.c_str());
        return ok;
    }
    return false;
}

}  // namespace

std::optional<std::string> iniValue(std::string_view content, std::string_view section,
                                    std::string_view key) {
    const Decoded d = decode(content);
    const std::vector<Line> lines = parse(d.text);
    const std::size_t header = findSection(lines, toUtf16(section));
    if (header == kNone) return std::nullopt;
    const std::size_t line = findKey(lines, header, toUtf16(key));
    if (line == kNone) return std::nullopt;
    return valueOf(lines[line].rawValue);
}

std::optional<std::string> iniWithValue(std::string_view content, std::string_view section,
                                        std::string_view key, std::string_view value) {
    const Decoded d = decode(content);
    const std::vector<Line> lines = parse(d.text);
    const std::u16string eol = u"\r\n";
    const std::u16string section16 = toUtf16(section);
    const std::u16string key16 = toUtf16(key);
    const std::u16string value16 = toUtf16(value);
    const auto unterminated = [](const Line& line) { return line.next == line.end; };

    // The text from `at` to `until` is replaced by `insert`.
    std::size_t at = d.text.size();
    std::size_t until = at;
    std::u16string insert;
    const std::size_t header = findSection(lines, section16);
    if (header == kNone) {
        if (!lines.empty() && unterminated(lines.back())) insert = eol;
        insert += u"[" + section16 + u"]" + eol + key16 + u"=" + value16 + eol;
    } else if (const std::size_t line = findKey(lines, header, key16); line != kNone) {
        at = lines[line].begin;
        until = lines[line].end;
        insert = std::u16string(lines[line].name) + u"=" + value16;
    } else {
        // After the section's last line that is not blank: blank lines before the next
        // section stay where they are.
        std::size_t last = header;
        for (std::size_t i = header + 1; i < sectionEnd(lines, header); ++i)
            if (!trimBlanks(std::u16string_view(d.text).substr(lines[i].begin,
                                                               lines[i].end - lines[i].begin))
                     .empty())
                last = i;
        at = until = lines[last].next;
        if (unterminated(lines[last])) insert = eol;
        insert += key16 + u"=" + value16 + eol;
    }
    const auto bytes = encode(insert, d.encoding);
    if (!bytes) return std::nullopt;
    std::string out(content.substr(0, d.bom + at * d.unit));
    out += *bytes;
    out += content.substr(std::min(content.size(), d.bom + until * d.unit));
    return out;
}

std::string PosixIniFiles::readString(const std::filesystem::path& file, const std::string& section,
                                      const std::string& key, const std::string& def) const {
    std::string content;
    if (readAll(file, content) != ReadResult::Ok) return def;
    return iniValue(content, section, key).value_or(def);
}

void PosixIniFiles::writeString(const std::filesystem::path& file, const std::string& section,
                                const std::string& key, const std::string& value) {
    std::string content;
    const ReadResult read = readAll(file, content);
    std::optional<std::string> bytes;
    if (read != ReadResult::Failed) bytes = iniWithValue(content, section, key, value);
    if (!bytes || !replaceWhole(file, *bytes)) throw Error("Unable to write to " + utf8Of(file));
}

}  // namespace volnor::posix

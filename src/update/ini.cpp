#include "update/ini.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSaveFile>

#include "platform/ansi.h"
#include "platform/error.h"

namespace volnor {

namespace {

enum class Encoding { Ansi, Utf16Le, Utf16Be };

// The file's text with one character for each ANSI byte or UTF-16 unit after the mark, so that a
// position in the text gives the position of its bytes.
struct Decoded {
    Encoding encoding = Encoding::Ansi;
    qsizetype bom = 0;
    qsizetype unit = 1;
    QString text;
};

Decoded decode(const QByteArray& bytes) {
    Decoded d;
    const auto byte = [&bytes](qsizetype i) { return static_cast<uchar>(bytes[i]); };
    if (bytes.size() >= 2 &&
        ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        d.encoding = byte(0) == 0xFF ? Encoding::Utf16Le : Encoding::Utf16Be;
        d.bom = 2;
        d.unit = 2;
        d.text.reserve((bytes.size() - 2) / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            const char16_t lo = d.encoding == Encoding::Utf16Le ? byte(i) : byte(i + 1);
            const char16_t hi = d.encoding == Encoding::Utf16Le ? byte(i + 1) : byte(i);
            d.text += QChar(static_cast<char16_t>(hi << 8 | lo));
        }
        return d;
    }
    d.text = fromAnsi(bytes);
    // Windows-1251 has one character a byte; anything else would break the positions.
    if (d.text.size() != bytes.size()) d.text = QString::fromLatin1(bytes);
    return d;
}

std::optional<QByteArray> encode(const QString& text, Encoding encoding) {
    if (encoding == Encoding::Ansi) return toAnsi(text);
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        const auto lo = static_cast<char>(c.unicode() & 0xFF);
        const auto hi = static_cast<char>(c.unicode() >> 8);
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

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimBlanks(QStringView s) {
    while (!s.isEmpty() && isBlank(s.front())) s = s.mid(1);
    while (!s.isEmpty() && isBlank(s.back())) s.chop(1);
    return s;
}

struct Line {
    enum class Kind { Other, Section, Key };
    qsizetype begin = 0;  // first character
    qsizetype end = 0;    // after the last character, before the line's end
    qsizetype next = 0;   // after the line's end (CR LF, LF or CR), or end at the file's end
    Kind kind = Kind::Other;
    QString name;          // of the section or the key
    QStringView rawValue;  // after the "=" of a key
};

QList<Line> parse(const QString& text) {
    QList<Line> lines;
    const qsizetype n = text.size();
    qsizetype i = 0;
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

        const QStringView body =
            trimBlanks(QStringView(text).mid(line.begin, line.end - line.begin));
        const qsizetype close = body.lastIndexOf(u']');
        if (body.startsWith(u'[') && close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimBlanks(body.mid(1, close - 1)).toString();
        } else if (const qsizetype eq = body.indexOf(u'='); eq >= 0) {
            line.kind = Line::Kind::Key;
            line.name = trimBlanks(body.left(eq)).toString();
            // The value starts right after "="; its trailing blanks were trimmed with the line's.
            const qsizetype at = (body.data() - text.data()) + eq + 1;
            line.rawValue = QStringView(text).mid(at, line.end - at);
        }
        lines.append(line);
    }
    return lines;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

qsizetype findSection(const QList<Line>& lines, const QString& section) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Kind::Section && sameName(lines[i].name, section)) return i;
    return -1;
}

qsizetype sectionEnd(const QList<Line>& lines, qsizetype header) {
    qsizetype i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::Kind::Section) ++i;
    return i;
}

qsizetype findKey(const QList<Line>& lines, qsizetype header, const QString& key) {
    for (qsizetype i = header + 1; i < sectionEnd(lines, header); ++i)
        if (lines[i].kind == Line::Kind::Key && sameName(lines[i].name, key)) return i;
    return -1;
}

QString valueOf(QStringView raw) {
    if (const qsizetype nul = raw.indexOf(QChar(0)); nul >= 0) raw = raw.left(nul);
    raw = trimBlanks(raw);
    if (raw.size() >= 2 && (raw.front() == u'"' || raw.front() == u'\'') &&
        raw.back() == raw.front())
        raw = raw.mid(1, raw.size() - 2);
    return raw.left(kIniValueLimit).toString();
}

}  // namespace

std::optional<QString> iniValue(const QByteArray& content, const QString& section,
                                const QString& key) {
    const Decoded d = decode(content);
    const QList<Line> lines = parse(d.text);
    const qsizetype header = findSection(lines, section);
    if (header < 0) return std::nullopt;
    const qsizetype line = findKey(lines, header, key);
    if (line < 0) return std::nullopt;
    return valueOf(lines[line].rawValue);
}

std::optional<QByteArray> iniWithValue(const QByteArray& content, const QString& section,
                                       const QString& key, const QString& value) {
    const Decoded d = decode(content);
    const QList<Line> lines = parse(d.text);
    const QString eol = QStringLiteral("\r\n");
    const auto unterminated = [](const Line& line) { return line.next == line.end; };

    // The text from `at` to `until` is replaced by `insert`.
    qsizetype at = d.text.size();
    qsizetype until = at;
    QString insert;
    const qsizetype header = findSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty() && unterminated(lines.last())) insert = eol;
        insert += QLatin1Char('[') + section + QLatin1Char(']') + eol + key + QLatin1Char('=') +
                  value + eol;
    } else if (const qsizetype line = findKey(lines, header, key); line >= 0) {
        at = lines[line].begin;
        until = lines[line].end;
        insert = lines[line].name + QLatin1Char('=') + value;
    } else {
        // After the section's last line that is not blank: blank lines before the next
        // section stay where they are.
        qsizetype last = header;
        for (qsizetype i = header + 1; i < sectionEnd(lines, header); ++i)
            if (!trimBlanks(QStringView(d.text).mid(lines[i].begin, lines[i].end - lines[i].begin))
                     .isEmpty())
                last = i;
        at = until = lines[last].next;
        if (unterminated(lines[last])) insert = eol;
        insert += key + QLatin1Char('=') + value + eol;
    }
    const auto bytes = encode(insert, d.encoding);
    if (!bytes) return std::nullopt;
    return content.left(d.bom + at * d.unit) + *bytes + content.mid(d.bom + until * d.unit);
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return def;
    return iniValue(file.readAll(), section, key).value_or(def);
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const auto fail = [this] {
        throw Error(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path_)));
    };
    QByteArray content;
    QFile existing(path_);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) fail();
        content = existing.readAll();
        existing.close();
    }
    const auto bytes = iniWithValue(content, section, key, value);
    if (!bytes) fail();
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit())
        fail();
}

}  // namespace volnor

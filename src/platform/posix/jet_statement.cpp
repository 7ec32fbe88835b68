#include "platform/posix/jet_statement.h"

#include <sqlite3.h>

#include <QString>
#include <algorithm>

#include "platform/posix/jet_sqlite.h"
#include "platform/text.h"

namespace volnor::posix {
namespace {

QString qtText(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The character that starts at byte `i` of UTF-8 text and its length in bytes; a malformed
// sequence reads as one U+FFFD byte.
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    length = 1;
    if (lead < 0x80) return lead;
    const std::size_t count = lead >= 0xF8   ? 0
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 0;
    if (count == 0 || i + count > text.size()) return 0xFFFD;
    char32_t c = lead & (0x7F >> count);
    for (std::size_t k = 1; k < count; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c > 0x10FFFF) return 0xFFFD;
    length = count;
    return c;
}

// Blanks and word characters as the statement reader has always taken them: Unicode's.
bool isSpaceAt(std::string_view text, std::size_t i, std::size_t& length) {
    return QChar::isSpace(decodeAt(text, i, length));
}
bool isWordAt(std::string_view text, std::size_t i, std::size_t& length) {
    const char32_t c = decodeAt(text, i, length);
    return c == U'_' || QChar::isLetterOrNumber(c);
}

// The blanks and word characters of the "DELETE * from" rewrite: ASCII ones.
bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isAsciiWord(char c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "<blanks>DELETE<blanks>*<blanks>FROM" at the start, in any letter case, becomes
// "<blanks>DELETE FROM".
std::string withoutDeleteStar(std::string_view sql) {
    const std::size_t n = sql.size();
    std::size_t i = 0;
    const auto blanks = [&](std::size_t from) {
        while (from < n && isAsciiSpace(sql[from])) ++from;
        return from;
    };
    i = blanks(i);
    if (!equalsAsciiNoCase(sql.substr(i, 6), "delete")) return std::string(sql);
    const std::size_t afterDelete = i + 6;
    const std::size_t star = blanks(afterDelete);
    if (star == afterDelete || star >= n || sql[star] != '*') return std::string(sql);
    const std::size_t from = blanks(star + 1);
    if (from == star + 1 || !equalsAsciiNoCase(sql.substr(from, 4), "from") ||
        (from + 4 < n && isAsciiWord(sql[from + 4])))
        return std::string(sql);
    return std::string(sql.substr(0, afterDelete)) + ' ' + std::string(sql.substr(from));
}

// Greedy match with one backtrack point per "%", on case-folded text.
bool matchFolded(QStringView p, QStringView t) {
    qsizetype pi = 0, ti = 0, starP = -1, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && p[pi] == t[ti]))) {
            ++pi;
            ++ti;
        } else if (pi < p.size() && p[pi] == u'%') {
            starP = pi++;
            starT = ti;
        } else if (starP >= 0) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%') ++pi;
    return pi == p.size();
}

QStringView utf16View(const void* data, int bytes) {
    return QStringView(static_cast<const char16_t*>(data), bytes / 2);
}

// Case-blind "=" for text.
int compareText(void*, int n1, const void* s1, int n2, const void* s2) {
    return utf16View(s1, n1).compare(utf16View(s2, n2), Qt::CaseInsensitive);
}

// The cached form of a constant LIKE pattern: "%text%" without further wildcards reduces to a
// case-blind substring search, the form every removal statement uses.
struct CachedPattern {
    QString folded;  // the whole pattern, for the general matcher
    QString infix;
    bool plainInfix = false;
    // The infix folded character by character, as the case-blind search folds it, when every
    // folded character is ASCII; empty when one is not, and then no ASCII text can contain it.
    std::string asciiFolded;
};

void destroyPattern(void* p) { delete static_cast<CachedPattern*>(p); }

CachedPattern* makePattern(const QString& pat) {
    auto* out = new CachedPattern;
    out->folded = pat.toCaseFolded();
    if (pat.size() >= 2 && pat.startsWith(u'%') && pat.endsWith(u'%')) {
        out->infix = pat.mid(1, pat.size() - 2);
        out->plainInfix =
            !out->infix.isEmpty() && !out->infix.contains(u'%') && !out->infix.contains(u'_');
    }
    if (out->plainInfix) {
        for (const QChar c : out->infix) {
            const char16_t f = c.toCaseFolded().unicode();
            if (f >= 0x80) {
                out->asciiFolded.clear();
                break;
            }
            out->asciiFolded += char(f);
        }
    }
    return out;
}

char asciiFold(unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : char(c); }

// Registered for UTF-8, the database's own encoding: the common case (a plain infix against an
// ASCII part number) is decided on the stored bytes, without a conversion per row. ASCII folds
// only to ASCII, so it gives the answer of the full case-blind search.
void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);  // a null never matches
        return;
    }
    auto* cached = static_cast<CachedPattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!cached) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        CachedPattern* fresh = makePattern(QString::fromUtf8(p, sqlite3_value_bytes(argv[0])));
        sqlite3_set_auxdata(ctx, 0, fresh, destroyPattern);
        cached = static_cast<CachedPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached) cached = fresh;  // not kept (pattern is not a constant): freed after the call
    }
    const unsigned char* t = sqlite3_value_text(argv[1]);
    const int bytes = sqlite3_value_bytes(argv[1]);
    bool match;
    if (cached->plainInfix && std::all_of(t, t + bytes, [](unsigned char c) { return c < 0x80; })) {
        const std::string& infix = cached->asciiFolded;
        match = !infix.empty() &&
                std::search(t, t + bytes, infix.begin(), infix.end(),
                            [](unsigned char c, char f) { return asciiFold(c) == f; }) != t + bytes;
    } else {
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(t), bytes);
        match = cached->plainInfix ? text.contains(cached->infix, Qt::CaseInsensitive)
                                   : matchFolded(cached->folded, text.toCaseFolded());
    }
    sqlite3_result_int(ctx, match ? 1 : 0);
}

}  // namespace

std::string translateStatement(std::string_view jetSql) {
    const std::string sql = withoutDeleteStar(jetSql);
    const std::string collate = " COLLATE " + std::string(kJetCollation);
    std::string out;
    out.reserve(sql.size() + 32);
    const std::size_t n = sql.size();
    std::size_t i = 0;
    std::size_t length = 0;
    // From the opening apostrophe through the closing one; false when the text ends before it.
    auto copyLiteral = [&] {
        out += sql[i++];
        while (i < n) {
            out += sql[i];
            if (sql[i++] == '\'') {
                if (i < n && sql[i] == '\'') {
                    out += sql[i++];
                    continue;
                }
                return true;
            }
        }
        return false;
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'') {
            copyLiteral();
        } else if (c == '[') {
            const std::size_t close = sql.find(']', i);
            if (close == std::string::npos) {
                out.append(sql, i);
                break;
            }
            out.append(1, '"').append(sql, i + 1, close - i - 1).append(1, '"');
            i = close + 1;
        } else if (c == '=' &&
                   (i == 0 ||
                    std::string_view("<>!=").find(sql[i - 1]) == std::string_view::npos) &&
                   (i + 1 >= n || sql[i + 1] != '=')) {
            out += c;
            ++i;
            while (i < n && isSpaceAt(sql, i, length)) {
                out.append(sql, i, length);
                i += length;
            }
            if (i < n && sql[i] == ':') {
                out += sql[i++];
                while (i < n && isWordAt(sql, i, length)) {
                    out.append(sql, i, length);
                    i += length;
                }
                out += collate;
            } else if (i < n && sql[i] == '\'' && copyLiteral()) {
                // Not after an unterminated literal, whose text it would become.
                out += collate;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

bool likeMatches(std::string_view pattern, std::string_view text) {
    return matchFolded(qtText(pattern).toCaseFolded(), qtText(text).toCaseFolded());
}

namespace jet {

void registerJetText(sqlite3* db) {
    sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            likeFunction, nullptr, nullptr);
    sqlite3_create_collation(db, std::string(kJetCollation).c_str(), SQLITE_UTF16_ALIGNED, nullptr,
                             compareText);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return qtText(a).compare(qtText(b), Qt::CaseInsensitive) == 0;
}

}  // namespace jet
}  // namespace volnor::posix

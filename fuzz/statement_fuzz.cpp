// The stand-in's reading of Jet statement text: the translation never crashes, keeps every
// string literal as it was, and what it gives SQLite either prepares or fails with a message.
// An input with a line break also checks Jet's LIKE (first line the pattern, the rest the text)
// against SQLite's own LIKE where the two agree: ASCII text, which both compare without case.
#include <sqlite3.h>

#include <cstdint>

#include "fuzz_check.h"
#include "platform/jetdb.h"

namespace {

sqlite3* schema() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d,
                     "CREATE TABLE tblpart(id INTEGER PRIMARY KEY, typenr TEXT, manufacturer TEXT);"
                     "CREATE TABLE tblVariant(id INTEGER);"
                     "CREATE TABLE tblFunctionTemplate(id INTEGER);",
                     nullptr, nullptr, nullptr);
        // The collation the translation names; its order does not matter for preparing.
        sqlite3_create_collation(d, "JETTEXT", SQLITE_UTF16_ALIGNED, nullptr,
                                 [](void*, int, const void*, int, const void*) { return 0; });
        return d;
    }();
    return db;
}

// The string literals of a statement in their order ('' inside one stands for an apostrophe).
QStringList literals(const QString& sql) {
    QStringList out;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql[i] == u'[') {  // a bracketed name hides what is inside it
            const qsizetype close = sql.indexOf(u']', i);
            if (close < 0) break;
            i = close;
            continue;
        }
        if (sql[i] != u'\'') continue;
        QString lit;
        for (++i; i < sql.size(); ++i) {
            if (sql[i] == u'\'') {
                if (i + 1 < sql.size() && sql[i + 1] == u'\'') {
                    lit += u'\'';
                    ++i;
                    continue;
                }
                break;
            }
            lit += sql[i];
        }
        out << lit;
    }
    return out;
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString sql = volnor::jet::translateStatement(text);
    if (!text.contains(u'[')) FUZZ_CHECK(literals(sql) == literals(text));
    FUZZ_CHECK(sql.count(u'\'') == text.count(u'\''));

    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare16_v2(schema(), sql.utf16(), int(sql.size() * 2), &st, nullptr) != SQLITE_OK)
        FUZZ_CHECK(sqlite3_errmsg(schema())[0] != '\0');
    sqlite3_finalize(st);

    const qsizetype nl = text.indexOf(u'\n');
    if (nl < 0 || !isAscii(text) || text.contains(QChar(0))) return 0;
    const QString pattern = text.left(nl), subject = text.mid(nl + 1);
    const bool ours = volnor::jet::likeMatches(pattern, subject);
    sqlite3_stmt* like = nullptr;
    sqlite3_prepare_v2(schema(), "SELECT ?2 LIKE ?1", -1, &like, nullptr);
    const QByteArray p = pattern.toUtf8(), s = subject.toUtf8();
    sqlite3_bind_text(like, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(like, 2, s.constData(), int(s.size()), SQLITE_TRANSIENT);
    FUZZ_CHECK(sqlite3_step(like) == SQLITE_ROW);
    const bool theirs = sqlite3_column_int(like, 0) == 1;
    sqlite3_finalize(like);
    FUZZ_CHECK(ours == theirs);
    return 0;
}

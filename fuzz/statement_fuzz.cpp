// The stand-in's reading of Jet statement text: the translation never crashes, keeps every
// string literal as it was, and what it gives SQLite either prepares or fails with a message.
// An input with a line break also checks Jet's LIKE (first line the pattern, the rest the text)
// against SQLite's own LIKE where the two agree: ASCII text, which both compare without case.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/posix/jet_statement.h"

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
        sqlite3_create_collation(d, std::string(volnor::posix::kJetCollation).c_str(),
                                 SQLITE_UTF16_ALIGNED, nullptr,
                                 [](void*, int, const void*, int, const void*) { return 0; });
        return d;
    }();
    return db;
}

// The string literals of a statement in their order ('' inside one stands for an apostrophe).
std::vector<std::string> literals(const std::string& sql) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == '[') {  // a bracketed name hides what is inside it
            const std::size_t close = sql.find(']', i);
            if (close == std::string::npos) break;
            i = close;
            continue;
        }
        if (sql[i] != '\'') continue;
        std::string lit;
        for (++i; i < sql.size(); ++i) {
            if (sql[i] == '\'') {
                if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                    lit += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            lit += sql[i];
        }
        out.push_back(lit);
    }
    return out;
}

bool isAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string sql = volnor::posix::translateStatement(text);
    if (text.find('[') == std::string::npos) FUZZ_CHECK(literals(sql) == literals(text));
    FUZZ_CHECK(std::count(sql.begin(), sql.end(), '\'') ==
               std::count(text.begin(), text.end(), '\''));

    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(schema(), sql.data(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        FUZZ_CHECK(sqlite3_errmsg(schema())[0] != '\0');
    sqlite3_finalize(st);

    const std::size_t nl = text.find('\n');
    if (nl == std::string::npos || !isAscii(text) || text.find('\0') != std::string::npos) return 0;
    const std::string pattern = text.substr(0, nl), subject = text.substr(nl + 1);
    const bool ours = volnor::posix::likeMatches(pattern, subject);
    sqlite3_stmt* like = nullptr;
    sqlite3_prepare_v2(schema(), "SELECT ?2 LIKE ?1", -1, &like, nullptr);
    sqlite3_bind_text(like, 1, pattern.data(), int(pattern.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(like, 2, subject.data(), int(subject.size()), SQLITE_TRANSIENT);
    FUZZ_CHECK(sqlite3_step(like) == SQLITE_ROW);
    const bool theirs = sqlite3_column_int(like, 0) == 1;
    sqlite3_finalize(like);
    FUZZ_CHECK(ours == theirs);
    return 0;
}

#pragma once
// Small real SQLite files for the parts-database tests, and a direct look into them.
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "partsdb/maintenance.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/posix/file_search.h"
#include "platform/posix/jet_engine.h"
#include "platform/text.h"
#include "support/files.h"
#include "support/recorders.h"

namespace volnor::test {

struct PartRow {
    int id;
    std::optional<std::string> typenr;
    std::string manufacturer;
};

// The engine's connection string for a file, with a password when one is given.
inline std::string conn(const fs::path& path, const std::string& password = {}) {
    std::string s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + utf8Of(path);
    if (!password.empty()) s += ";Jet OLEDB:Database Password=" + password;
    return s;
}

// The text of the volnor::Error that `f` throws, or "<no error>".
inline std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.text();
    }
    return "<no error>";
}

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// Whether `text` contains `part`, letter case ignored in the alphabets of the sample data: Latin
// and the Russian Cyrillic block. Written apart from the engine's folding, to check it.
inline bool containsNoCase(std::string_view text, std::string_view part) {
    auto fold = [](std::string_view s) {
        std::u16string out = toUtf16(s);
        for (char16_t& c : out) {
            if ((c >= u'A' && c <= u'Z') || (c >= 0x410 && c <= 0x42F))
                c = char16_t(c + 0x20);
            else if (c >= 0x400 && c <= 0x40F)
                c = char16_t(c + 0x50);
        }
        return out;
    };
    return fold(text).find(fold(part)) != std::u16string::npos;
}

// Equal, letter case ignored as containsNoCase ignores it.
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return utf16Length(a) == utf16Length(b) && containsNoCase(a, b);
}

inline void execOn(const fs::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string text = err ? err : "error";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(text);
    }
    sqlite3_close(db);
}

inline std::string sqlText(const std::optional<std::string>& v) {
    if (!v) return "NULL";
    // Appended piece by piece: GCC 12 warns (-Wrestrict) about "'" + std::string at -O3.
    std::string out = "'";
    out += replaceAll(*v, "'", "''");
    out += '\'';
    return out;
}

// tblpart with the given rows, and one variant and one function template for each part.
inline void makePartsDb(const fs::path& path, const std::vector<PartRow>& rows,
                        bool withVariants = true) {
    std::string sql =
        "CREATE TABLE tblpart(id INTEGER PRIMARY KEY, typenr TEXT, manufacturer TEXT);"
        "CREATE TABLE tblFunctionTemplate(id INTEGER);";
    if (withVariants) sql += "CREATE TABLE tblVariant(id INTEGER);";
    for (const auto& r : rows) {
        const std::string id = std::to_string(r.id);
        sql += "INSERT INTO tblpart VALUES(" + id + "," + sqlText(r.typenr) + "," +
               sqlText(r.manufacturer) + ");";
        sql += "INSERT INTO tblFunctionTemplate VALUES(" + id + ");";
        if (withVariants) sql += "INSERT INTO tblVariant VALUES(" + id + ");";
    }
    execOn(path, sql);
}

// The first column of every row the query yields, as text ("NULL" for a null).
inline std::vector<std::string> column(const fs::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out.push_back(t ? t : "NULL");
        }
    } else {
        out.push_back(std::string("ERROR: ") + sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

inline std::vector<std::string> ids(const fs::path& path, const char* table) {
    return column(path, std::string("SELECT id FROM ") + table + " ORDER BY id");
}

// A file's size and a hash of its bytes ("" when it cannot be read): equal for equal content.
inline std::string fileHash(const fs::path& path) {
    const std::string bytes = readFile(path);
    if (bytes.empty()) return {};
    return std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
}

// A full disk without a small file system: while it lives, no file of this process grows beyond
// `bytes`; a write past that fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit small = saved_;
        small.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("setrlimit");
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit saved_ {};
    void (*oldHandler_)(int);
};

inline std::uintmax_t fileSize(const fs::path& path) {
    std::error_code ec;
    return fs::file_size(path, ec);
}

// The parts-database commands over the real engine and file search, as the window holds them,
// with drive C: in a folder of the test's own.
class PartsCommandsTest : public ::testing::Test {
protected:
    PartsCommandsTest() : paths(dir.file("drive")), parts(dialogs, engine, files, paths) {}

    TempDir dir;
    RecordingDialogs dialogs;
    posix::JetEngine engine;
    posix::PosixFileSearch files;
    WinPaths paths;
    partsdb::PartsMaintenance parts;
};

}  // namespace volnor::test

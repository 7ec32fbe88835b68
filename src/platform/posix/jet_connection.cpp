// The stand-in's connection: opening a database by the provider's rules, statements with named
// parameters, transactions.
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <system_error>

#include "partsdb/connection_string.h"
#include "platform/error.h"
#include "platform/posix/jet_engine.h"
#include "platform/posix/jet_sqlite.h"
#include "platform/posix/jet_statement.h"
#include "platform/posix/jet_texts.h"
#include "platform/text.h"

namespace volnor::posix {
namespace jet {
namespace {

namespace fs = std::filesystem;

// Who holds a database open with a lock we cannot get past reports "busy" after this long.
constexpr int kBusyTimeoutMs = 1000;

std::string errorText(sqlite3* db) { return sqlite3_errmsg(db); }

// An Access database (Jet's .mdb or ACE's .accdb) says so at byte 4 of its first page.
bool isAccessFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[19] = {};
    if (!in.read(header, sizeof header)) return false;
    const std::string_view signature(header + 4, 15);
    return signature == "Standard Jet DB" || signature == "Standard ACE DB";
}

}  // namespace

Target parseTarget(const std::string& connectionString) {
    const auto options = partsdb::parseConnectionString(connectionString);
    auto value = [&](const char* key) {
        const auto it = options.find(key);
        return it == options.end() ? std::string() : it->second;
    };
    const std::string provider = value("provider");
    if (!equalsNoCase(provider, partsdb::kJetProvider))
        throw Error(text::unknownProvider(provider));
    const std::string user = value("user id");
    if (!user.empty() && !equalsNoCase(user, "Admin")) throw Error(text::unknownUser(user));
    const std::string path = value("data source");
    if (path.empty()) throw Error(text::noDataSource());
    std::error_code ec;
    fs::path file = fs::absolute(pathOf(path), ec);
    if (ec) file = pathOf(path);
    return {file.lexically_normal(), value("jet oledb:database password")};
}

int failureCode(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db);
    if ((code & 0xff) == SQLITE_IOERR) {
        // A write past the file size limit reads as an I/O error; it is as full a disk to the user.
        const int system = sqlite3_system_errno(db);
        if (system == ENOSPC || system == EDQUOT || system == EFBIG) return SQLITE_FULL;
    }
    return code;
}

sqlite3* openFile(const fs::path& file, int flags, std::string& error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return db;
}

std::string storedPassword(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT password FROM " + std::string(kPasswordTable);
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return {};  // no such table: no password
    }
    std::string out;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        if (text) out = text;
    }
    sqlite3_finalize(st);
    return out;
}

void setDatabasePassword(sqlite3* db, const fs::path& file, const std::string& password) {
    auto fail = [&] { throw Error(text::passwordNotWritten(file, errorText(db))); };
    const std::string table(kPasswordTable);
    if (sqlite3_exec(db, ("DROP TABLE IF EXISTS " + table).c_str(), nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        fail();
    if (password.empty()) return;
    if (sqlite3_exec(db, ("CREATE TABLE " + table + "(password TEXT)").c_str(), nullptr, nullptr,
                     nullptr) != SQLITE_OK)
        fail();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, ("INSERT INTO " + table + " VALUES (?)").c_str(), -1, &st,
                           nullptr) != SQLITE_OK)
        fail();
    sqlite3_bind_text(st, 1, password.data(), int(password.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) fail();
}

sqlite3* openDatabase(const Target& target) {
    const fs::path& file = target.file;
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) throw Error(text::notFound(file));
    if (fs::is_directory(status)) throw Error(text::folderNotFile(file));
    // An empty file is a valid SQLite database but no Access one.
    if (!fs::is_regular_file(status) || fs::file_size(file, ec) == 0)
        throw Error(text::notADatabase(file));
    if (isAccessFile(file)) throw Error(text::accessDatabase(file));
    std::string why;
    // Read-write where the file allows it: only a writer may roll back a journal a crash left.
    sqlite3* db = openFile(file, SQLITE_OPEN_READWRITE, why);
    if (!db) throw Error(text::cannotOpen(file, why));
    // The first read also rolls back a journal that a crash left (a read-write open may).
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        const int code = failureCode(db);
        why = errorText(db);
        sqlite3_close(db);
        throw Error(text::openFailed(file, code, why));
    }
    if (storedPassword(db) != target.password) {
        sqlite3_close(db);
        throw Error(text::wrongPassword(file));
    }
    registerJetText(db);
    return db;
}

}  // namespace jet

namespace {

class JetConnection : public db::Connection {
public:
    JetConnection() = default;
    ~JetConnection() override { close(); }
    JetConnection(const JetConnection&) = delete;
    JetConnection& operator=(const JetConnection&) = delete;

    void open(const std::string& connectionString) override {
        close();
        const jet::Target target = jet::parseTarget(connectionString);
        db_ = jet::openDatabase(target);
        file_ = target.file;
    }

    void close() override {
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
    }

    bool isOpen() const override { return db_ != nullptr; }

    void beginTransaction() override { run("BEGIN"); }
    void commit() override { run("COMMIT"); }
    void rollback() override {
        if (db_ && !sqlite3_get_autocommit(db_)) run("ROLLBACK");
    }

    int execute(const std::string& jetSql,
                const std::map<std::string, std::string>& parameters) override {
        if (!db_) throw Error(jet::text::connectionClosed());
        const std::string sql = translateStatement(jetSql);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            fail();
        }
        struct Finalizer {
            sqlite3_stmt* st;
            ~Finalizer() { sqlite3_finalize(st); }
        } finalizer{st};
        for (int k = 1; k <= sqlite3_bind_parameter_count(st); ++k) {
            const char* written = sqlite3_bind_parameter_name(st, k);
            const std::string name = written && *written ? std::string(written + 1) : std::string();
            const auto it = std::find_if(parameters.begin(), parameters.end(), [&](const auto& p) {
                return jet::equalsNoCase(p.first, name);
            });
            if (it == parameters.end()) throw Error(jet::text::missingParameter(name));
            sqlite3_bind_text(st, k, it->second.data(), int(it->second.size()), SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) fail();
        return sqlite3_changes(db_);
    }

private:
    [[noreturn]] void fail() const {
        const std::string msg = sqlite3_errmsg(db_);
        // "no such table: [schema.]name" is the provider's missing input table.
        constexpr std::string_view kNoTable = "no such table: ";
        if (msg.size() > kNoTable.size() && msg.compare(0, kNoTable.size(), kNoTable) == 0) {
            std::string table = msg.substr(kNoTable.size());
            const std::size_t dot = table.find('.');
            if (dot != std::string::npos && dot > 0 && dot + 1 < table.size() &&
                std::all_of(table.begin(), table.begin() + std::ptrdiff_t(dot), [](char c) {
                    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z');
                }))
                table.erase(0, dot + 1);
            if (table.find('\n') == std::string::npos)
                throw Error(jet::text::missingTable(file_, table));
        }
        throw Error(jet::text::statementFailed(file_, jet::failureCode(db_), msg));
    }

    void run(const char* sql) {
        if (!db_) throw Error(jet::text::connectionClosed());
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    }

    sqlite3* db_ = nullptr;
    std::filesystem::path file_;
};

}  // namespace

std::unique_ptr<db::Connection> JetEngine::connection() {
    return std::make_unique<JetConnection>();
}

void setDatabasePassword(const std::filesystem::path& file, const std::string& password) {
    std::string why;
    sqlite3* db = jet::openFile(file, SQLITE_OPEN_READWRITE, why);
    if (!db) throw Error(jet::text::cannotOpen(file, why));
    try {
        jet::setDatabasePassword(db, file, password);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

}  // namespace volnor::posix

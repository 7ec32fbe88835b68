// The stand-in's compaction engine: a hold on the source, a checked copy written with
// VACUUM INTO, and the copy put in the source's place in one rename.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/error.h"
#include "platform/posix/jet_engine.h"
#include "platform/posix/jet_sqlite.h"
#include "platform/posix/jet_texts.h"
#include "platform/posix/open_files.h"
#include "platform/text.h"

namespace volnor::posix {
namespace {

namespace fs = std::filesystem;

// The database file with the journal, WAL and shared-memory files SQLite makes beside it.
void removeFiles(const fs::path& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::error_code ec;
        fs::remove(fs::path(path.native() + suffix), ec);
    }
}

// fsync of a file or a folder; false when it cannot be opened or synced.
bool syncToDisk(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// It holds the source exclusively from before the first page it reads until it is destroyed, so
// a writer with an open transaction makes it fail and no writer can commit in between.
class JetCompaction : public db::Compaction {
public:
    explicit JetCompaction(const std::string& sourceConnection);
    ~JetCompaction() override { sqlite3_close(db_); }
    JetCompaction(const JetCompaction&) = delete;
    JetCompaction& operator=(const JetCompaction&) = delete;

    void writeCopy(const std::string& destConnection) override;
    void replaceSource(const fs::path& copy) override;

private:
    sqlite3* db_ = nullptr;
    fs::path file_;
    int ownHandles_ = 0;  // the descriptors of the source this compaction opened itself
};

JetCompaction::JetCompaction(const std::string& sourceConnection) {
    const jet::Target source = jet::parseTarget(sourceConnection);
    file_ = source.file;
    const int before = openHolders(file_).ownHandles;
    db_ = jet::openDatabase(source);
    ownHandles_ = openHolders(file_).ownHandles - before;
    auto fail = [&](const std::string& text) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(text);
    };
    auto why = [&] { return std::string(sqlite3_errmsg(db_)); };
    auto pragma = [&](const char* sql) {
        sqlite3_stmt* st = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            if (text) out = text;
        }
        sqlite3_finalize(st);
        return asciiLower(out);
    };
    // A WAL file beside the copy's name would be read into the copy: fold it in and go back to
    // the plain journal, which needs the database to be free of every other connection.
    if (pragma("PRAGMA journal_mode") == "wal" && pragma("PRAGMA journal_mode=DELETE") != "delete")
        fail(jet::text::walNotFolded(file_, why()));
    // In exclusive locking mode a lock once taken is kept until the connection closes.
    if (sqlite3_exec(db_, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(jet::text::noExclusiveHold(file_, why()));
    const bool readOnly = sqlite3_db_readonly(db_, "main") == 1;
    const char* take = readOnly ? "SELECT count(*) FROM sqlite_master" : "BEGIN EXCLUSIVE";
    if (sqlite3_exec(db_, take, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(jet::text::sourceBusy(file_, why()));
    if (!readOnly) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

void JetCompaction::writeCopy(const std::string& destConnection) {
    const jet::Target dest = jet::parseTarget(destConnection);
    const fs::path& destFile = dest.file;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(destFile, ec))) throw Error(jet::text::copyExists(destFile));
    // On failure no file of the copy stays.
    try {
        sqlite3_stmt* st = nullptr;
        const std::string destName = destFile.native();
        int rc = sqlite3_prepare_v2(db_, "VACUUM INTO ?", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(st, 1, destName.data(), int(destName.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
        }
        const std::string why = sqlite3_errmsg(db_);
        const int code = jet::failureCode(db_);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw Error(jet::text::copyNotWritten(destFile, file_, code, why));

        std::string openError;
        sqlite3* copy = jet::openFile(destFile, SQLITE_OPEN_READWRITE, openError);
        if (!copy) throw Error(jet::text::copyNotOpened(destFile, file_, openError));
        try {
            if (jet::storedPassword(copy) != dest.password)
                jet::setDatabasePassword(copy, destFile, dest.password);
        } catch (...) {
            sqlite3_close(copy);
            throw;
        }
        sqlite3_close(copy);
        if (!syncToDisk(destFile)) throw Error(jet::text::copyNotSynced(destFile, file_));

        copy = jet::openFile(destFile, SQLITE_OPEN_READONLY, openError);
        std::string verdict = openError;
        if (copy) {
            sqlite3_prepare_v2(copy, "PRAGMA integrity_check", -1, &st, nullptr);
            if (sqlite3_step(st) == SQLITE_ROW) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                verdict = text ? text : "";
            }
            sqlite3_finalize(st);
            sqlite3_close(copy);
        }
        if (verdict != "ok") throw Error(jet::text::copyCheckFailed(destFile, file_, verdict));
    } catch (...) {
        removeFiles(destFile);
        throw;
    }
}

void JetCompaction::replaceSource(const fs::path& copy) {
    // The users' platform deletes no file that is read-only or open in another program.
    if (sqlite3_db_readonly(db_, "main") == 1) throw Error(jet::text::sourceReadOnly(file_));
    const FileHolders holders = openHolders(file_);
    std::vector<std::string> others;
    for (const std::int64_t pid : holders.pids)
        if (pid != ::getpid() || holders.ownHandles > ownHandles_)
            others.push_back(std::to_string(pid));
    if (!others.empty()) throw Error(jet::text::sourceHeldOpen(file_, join(others, ", ")));

    // A journal still beside the source is no live one, which would need a lock that the hold
    // excludes: a crash left it empty or with a cleared header. It must not stay beside the copy.
    std::error_code ec;
    fs::remove(fs::path(file_.native() + "-journal"), ec);

    struct stat st {};
    if (::stat(file_.c_str(), &st) == 0) {
        // chown first: it may clear the set-id bits that chmod then puts back.
        if (::chown(copy.c_str(), st.st_uid, st.st_gid) != 0)
            (void)!::chown(copy.c_str(), uid_t(-1), st.st_gid);
        (void)!::chmod(copy.c_str(), st.st_mode & 07777);
    }
    if (::rename(copy.c_str(), file_.c_str()) != 0)
        throw Error(jet::text::sourceNotReplaced(file_, std::strerror(errno)));
    syncToDisk(file_.parent_path());
}

}  // namespace

std::unique_ptr<db::Compaction> JetEngine::compaction(const std::string& sourceConnection) {
    return std::make_unique<JetCompaction>(sourceConnection);
}

void JetEngine::removeDatabaseFiles(const fs::path& path) { removeFiles(path); }

}  // namespace volnor::posix

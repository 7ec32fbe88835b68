// Compaction of a database that others use, that a crash left unfinished, that is in WAL mode,
// that is shared with wider permissions, and whose copy does not fit on the disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "platform/posix/file_search.h"
#include "platform/posix/jet_engine.h"
#include "sampledb/sampledb.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using namespace volnor::test;

namespace {

using Names = std::vector<std::string>;

// A connection of "another program" to the same file.
class OtherConnection {
public:
    explicit OtherConnection(const fs::path& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~OtherConnection() { sqlite3_close(db_); }
    int exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// Another process that merely holds the file open: `sleep` with the file as its standard input.
class Holder {
public:
    explicit Holder(const fs::path& file) {
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = ::open(file.c_str(), O_RDONLY);
            if (fd < 0 || ::dup2(fd, 0) < 0) _exit(127);
            ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Holder() { stop(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    pid_t pid() const { return pid_; }
    // Whether the process holds the file by now; waits up to 5 s for its start.
    bool holds(const fs::path& file) const {
        struct stat target {};
        if (::stat(file.c_str(), &target) != 0) return false;
        const std::string stdinLink = "/proc/" + std::to_string(pid_) + "/fd/0";
        for (int i = 0; i < 500; ++i) {
            struct stat st {};
            if (::stat(stdinLink.c_str(), &st) == 0 && st.st_ino == target.st_ino &&
                st.st_dev == target.st_dev)
                return true;
            ::usleep(10'000);
        }
        return false;
    }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

class CompactionSafety : public PartsCommandsTest {
protected:
    CompactionSafety() {
        db = dir.file("data/ESS_part001.mdb");
        fs::create_directories(db.parent_path());
        fs::create_directories(paths.native(std::string(kMacroFolder)));
    }
    void makeSample(int count = 500) { sampledb::makeSampleDatabase(db, count); }
    void connect() {
        dialogs.nextFiles.push_back(utf8Of(db));
        parts.chooseDatabase();
        dialogs.shown.clear();
    }
    void compactInPlace() { parts.CompactDatabase_JRO(utf8Of(db), {}, {}); }
    Names folder() const { return entryNames(db.parent_path()); }
    bool inFolder(const std::string& name) const {
        const Names names = folder();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    int partsWithId(int id) const {
        return std::stoi(
            column(db, "SELECT count(*) FROM tblpart WHERE id=" + std::to_string(id)).at(0));
    }

    fs::path db;
};

const Names kOnlyTheDatabase{"ESS_part001.mdb"};
constexpr auto kInsert =
    "INSERT INTO tblpart(id,typenr,manufacturer) VALUES(900001,'fremd','Nordlicht')";

}  // namespace

TEST_F(CompactionSafety, AWriterWithAnOpenTransactionMakesItFailAndKeepsItsRow) {
    makeSample();
    connect();
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<ShownBox::Kind> boxes;
    };
    const Case cases[] = {
        {"compaction in place", [&] { compactInPlace(); }, {ShownBox::Kind::Message}},
        {"group removal of a node without an entry",
         [&] { parts.removeGroup("Узел без записи в таблице"); },
         {ShownBox::Kind::Message, ShownBox::Kind::Confirm}},
    };
    int id = 900001;
    for (const auto& c : cases) {
        dialogs.shown.clear();
        OtherConnection writer(db);
        ASSERT_EQ(writer.exec("BEGIN IMMEDIATE"), SQLITE_OK);
        ASSERT_EQ(writer.exec("INSERT INTO tblpart(id,typenr,manufacturer) VALUES(" +
                              std::to_string(id) + ",'fremd','Nordlicht')"),
                  SQLITE_OK);
        c.run();
        std::vector<ShownBox::Kind> kinds;
        for (const auto& b : dialogs.shown) kinds.push_back(b.kind);
        ASSERT_EQ(kinds, c.boxes) << c.name;
        EXPECT_TRUE(contains(dialogs.shown[0].text, "занята") &&
                    contains(dialogs.shown[0].text, utf8Of(db)))
            << dialogs.shown[0].text;
        EXPECT_EQ(writer.exec("COMMIT"), SQLITE_OK) << c.name;
        EXPECT_EQ(partsWithId(id), 1) << c.name;
        EXPECT_EQ(folder(), kOnlyTheDatabase) << c.name;
        ++id;
    }
    EXPECT_TRUE(parts.ADOConnection1().connected());
}

TEST_F(CompactionSafety, AFileThatAnotherHolderKeepsOpenIsNotReplaced) {
    makeSample();
    const std::string before = fileHash(db);
    {
        // Another connection of this process, idle between its statements.
        OtherConnection idle(db);
        ASSERT_EQ(idle.exec("SELECT count(*) FROM tblpart"), SQLITE_OK);
        compactInPlace();
        ASSERT_EQ(dialogs.texts().size(), 1u);
        EXPECT_TRUE(contains(dialogs.texts()[0], "открыт другой программой")) << dialogs.texts()[0];
        EXPECT_EQ(fileHash(db), before);
        EXPECT_EQ(folder(), kOnlyTheDatabase);
        // Its writes still land in the file under the user's name.
        ASSERT_EQ(idle.exec(kInsert), SQLITE_OK);
    }
    EXPECT_EQ(partsWithId(900001), 1);

    // Another process that merely holds the file open.
    const std::string held = fileHash(db);
    dialogs.shown.clear();
    {
        Holder holder(db);
        ASSERT_TRUE(holder.holds(db));
        const pid_t pid = holder.pid();
        compactInPlace();
        holder.stop();
        ASSERT_EQ(dialogs.texts().size(), 1u);
        EXPECT_TRUE(contains(dialogs.texts()[0], "открыт другой программой") &&
                    contains(dialogs.texts()[0], std::to_string(pid)))
            << dialogs.texts()[0];
    }
    EXPECT_EQ(fileHash(db), held);
    EXPECT_EQ(folder(), kOnlyTheDatabase);

    // Once nobody holds it, the same compaction goes through.
    dialogs.shown.clear();
    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
    EXPECT_EQ(partsWithId(900001), 1);
}

TEST_F(CompactionSafety, AWalDatabaseIsFoldedInAndNothingIsLeftBesideIt) {
    makeSample();
    {
        // A program that leaves its WAL file behind, holding rows the database file lacks.
        OtherConnection wal(db);
        ASSERT_EQ(wal.exec("PRAGMA journal_mode=WAL"), SQLITE_OK);
        sqlite3_db_config(wal.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        ASSERT_EQ(wal.exec(kInsert), SQLITE_OK);
    }
    ASSERT_TRUE(inFolder("ESS_part001.mdb-wal"));
    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
    EXPECT_EQ(partsWithId(900001), 1);
    EXPECT_EQ(column(db, "PRAGMA journal_mode"), Names{"delete"});
    EXPECT_EQ(folder(), kOnlyTheDatabase);
}

TEST_F(CompactionSafety, AJournalLeftByACrashIsRolledBackFirst) {
    makeSample();
    const Names rows = column(db, "SELECT id FROM tblpart ORDER BY id");
    // A writer dies after its changes reached the file: a tiny cache spills them before commit.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* raw = nullptr;
        sqlite3_open(db.c_str(), &raw);
        sqlite3_exec(raw,
                     "PRAGMA cache_size=1; BEGIN; DELETE FROM tblpart; DELETE FROM tblVariant;",
                     nullptr, nullptr, nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(inFolder("ESS_part001.mdb-journal"));

    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
    EXPECT_EQ(folder(), kOnlyTheDatabase);
    EXPECT_EQ(column(db, "SELECT id FROM tblpart ORDER BY id"), rows);
    EXPECT_EQ(column(db, "PRAGMA integrity_check"), Names{"ok"});
}

TEST_F(CompactionSafety, TheReplacedFileKeepsThePermissionsAndOwnerOfTheSource) {
    makeSample(50);
    for (const mode_t mode : {0666, 0640, 0604}) {
        ASSERT_EQ(::chmod(db.c_str(), mode), 0);
        // Only a privileged process may give a file to someone else.
        const bool giveAway = ::geteuid() == 0;
        if (giveAway) {
            ASSERT_EQ(::chown(db.c_str(), 4321, 4321), 0);
        }
        dialogs.shown.clear();
        compactInPlace();
        EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
        struct stat st {};
        ASSERT_EQ(::stat(db.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        if (giveAway) {
            EXPECT_EQ(st.st_uid, 4321u);
            EXPECT_EQ(st.st_gid, 4321u);
        }
        EXPECT_EQ(folder(), kOnlyTheDatabase);
    }
}

TEST_F(CompactionSafety, ACopyThatDoesNotFitLeavesTheSourceAndNoFileOfTheCopy) {
    makeSample(3000);
    const std::string before = fileHash(db);
    ASSERT_GT(fileSize(db), 256u * 1024);
    {
        // The disk is full once the copy reaches 64 KiB.
        const FileSizeLimit full(64 * 1024);
        compactInPlace();
    }
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::Message);
    EXPECT_EQ(dialogs.shown[0].text.rfind("Не удалось записать сжатую копию", 0), 0u)
        << dialogs.shown[0].text;
    EXPECT_EQ(fileHash(db), before);
    EXPECT_EQ(folder(), kOnlyTheDatabase);
}

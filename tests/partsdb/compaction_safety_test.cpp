// Compaction of a database that others use, that a crash left unfinished, that is in WAL mode,
// that is shared with wider permissions, and whose copy does not fit on the disk.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "partsdb/sampledb.h"
#include "platform/jetdb.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using volnor::test::column;
using volnor::test::fileHash;
using volnor::test::ShownBox;

namespace {

// A connection of "another program" to the same file.
class OtherConnection {
public:
    explicit OtherConnection(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~OtherConnection() { sqlite3_close(db_); }
    int exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class CompactionSafety : public ::testing::Test {
protected:
    CompactionSafety() : paths(dir.filePath(QStringLiteral("drive"))), parts(dialogs, paths) {
        db = dir.filePath(QStringLiteral("data/ESS_part001.mdb"));
        QDir().mkpath(QFileInfo(db).path());
        QDir().mkpath(paths.native(kMacroFolder.toString()));
    }
    void makeSample(int count = 500) { makeSampleDatabase(db, count); }
    void connect() {
        dialogs.nextFiles.push_back(db);
        parts.ToolButton7Click();
        dialogs.shown.clear();
    }
    void compactInPlace() { parts.CompactDatabase_JRO(db, QString(), QString()); }
    QStringList folder() const {
        return QDir(QFileInfo(db).path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    int partsWithId(int id) const {
        return column(db, QStringLiteral("SELECT count(*) FROM tblpart WHERE id=%1").arg(id))
            .value(0)
            .toInt();
    }

    QTemporaryDir dir;
    volnor::test::RecordingDialogs dialogs;
    WinPaths paths;
    PartsMaintenance parts;
    QString db;
};

const QStringList kOnlyTheDatabase{QStringLiteral("ESS_part001.mdb")};
constexpr auto kInsert = "INSERT INTO tblpart(id,typenr,manufacturer) VALUES(900001,'fremd','Nordlicht')";

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
         [&] { parts.N1Click(QStringLiteral("Узел без записи в таблице")); },
         {ShownBox::Kind::Message, ShownBox::Kind::Confirm}},
    };
    int id = 900001;
    for (const auto& c : cases) {
        dialogs.shown.clear();
        OtherConnection writer(db);
        ASSERT_EQ(writer.exec("BEGIN IMMEDIATE"), SQLITE_OK);
        const QString insert =
            QStringLiteral("INSERT INTO tblpart(id,typenr,manufacturer) VALUES(%1,'fremd','Nordlicht')").arg(id);
        ASSERT_EQ(writer.exec(insert.toUtf8().constData()), SQLITE_OK);
        c.run();
        std::vector<ShownBox::Kind> kinds;
        for (const auto& b : dialogs.shown) kinds.push_back(b.kind);
        ASSERT_EQ(kinds, c.boxes) << c.name;
        EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("занята")) &&
                    dialogs.shown[0].text.contains(db))
            << dialogs.shown[0].text.toStdString();
        EXPECT_EQ(writer.exec("COMMIT"), SQLITE_OK) << c.name;
        EXPECT_EQ(partsWithId(id), 1) << c.name;
        EXPECT_EQ(folder(), kOnlyTheDatabase) << c.name;
        ++id;
    }
    EXPECT_TRUE(parts.ADOConnection1().connected());
}

TEST_F(CompactionSafety, AFileThatAnotherHolderKeepsOpenIsNotReplaced) {
    makeSample();
    const QByteArray before = fileHash(db);
    {
        // Another connection of this process, idle between its statements.
        OtherConnection idle(db);
        ASSERT_EQ(idle.exec("SELECT count(*) FROM tblpart"), SQLITE_OK);
        compactInPlace();
        ASSERT_EQ(dialogs.texts().size(), 1);
        EXPECT_TRUE(dialogs.texts()[0].contains(QStringLiteral("открыт другой программой")))
            << dialogs.texts()[0].toStdString();
        EXPECT_EQ(fileHash(db), before);
        EXPECT_EQ(folder(), kOnlyTheDatabase);
        // Its writes still land in the file under the user's name.
        ASSERT_EQ(idle.exec(kInsert), SQLITE_OK);
    }
    EXPECT_EQ(partsWithId(900001), 1);

    // Another process that merely holds the file open.
    const QByteArray held = fileHash(db);
    dialogs.shown.clear();
    QProcess holder;
    holder.setStandardInputFile(db);
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted());
    const qint64 pid = holder.processId();
    compactInPlace();
    holder.kill();
    holder.waitForFinished();
    ASSERT_EQ(dialogs.texts().size(), 1);
    EXPECT_TRUE(dialogs.texts()[0].contains(QStringLiteral("открыт другой программой")) &&
                dialogs.texts()[0].contains(QString::number(pid)))
        << dialogs.texts()[0].toStdString();
    EXPECT_EQ(fileHash(db), held);
    EXPECT_EQ(folder(), kOnlyTheDatabase);

    // Once nobody holds it, the same compaction goes through.
    dialogs.shown.clear();
    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
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
    ASSERT_TRUE(folder().contains(QStringLiteral("ESS_part001.mdb-wal")));
    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
    EXPECT_EQ(partsWithId(900001), 1);
    EXPECT_EQ(column(db, QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    EXPECT_EQ(folder(), kOnlyTheDatabase);
}

TEST_F(CompactionSafety, AJournalLeftByACrashIsRolledBackFirst) {
    makeSample();
    const QStringList rows = column(db, QStringLiteral("SELECT id FROM tblpart ORDER BY id"));
    // A writer dies after its changes reached the file: a tiny cache spills them before commit.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(db).constData(), &raw);
        sqlite3_exec(raw, "PRAGMA cache_size=1; BEGIN; DELETE FROM tblpart; DELETE FROM tblVariant;",
                     nullptr, nullptr, nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(folder().contains(QStringLiteral("ESS_part001.mdb-journal")));

    compactInPlace();
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
    EXPECT_EQ(folder(), kOnlyTheDatabase);
    EXPECT_EQ(column(db, QStringLiteral("SELECT id FROM tblpart ORDER BY id")), rows);
    EXPECT_EQ(column(db, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
}

TEST_F(CompactionSafety, TheReplacedFileKeepsThePermissionsAndOwnerOfTheSource) {
    makeSample(50);
    const QByteArray path = QFile::encodeName(db);
    for (const mode_t mode : {0666, 0640, 0604}) {
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
        // Only a privileged process may give a file to someone else.
        const bool giveAway = ::geteuid() == 0;
        if (giveAway) {
            ASSERT_EQ(::chown(path.constData(), 4321, 4321), 0);
        }
        dialogs.shown.clear();
        compactInPlace();
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
        struct stat st {};
        ASSERT_EQ(::stat(path.constData(), &st), 0);
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
    const QByteArray before = fileHash(db);
    ASSERT_GT(QFileInfo(db).size(), 256 * 1024);
    {
        // The disk is full once the copy reaches 64 KiB: writes beyond fail with EFBIG.
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        compactInPlace();
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
    }
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::Message);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(QStringLiteral("Не удалось записать сжатую копию")))
        << dialogs.shown[0].text.toStdString();
    EXPECT_EQ(fileHash(db), before);
    EXPECT_EQ(folder(), kOnlyTheDatabase);
}

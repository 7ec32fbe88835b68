#include "partsdb/maintenance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "partsdb/dbfixture.h"
#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using volnor::test::fileHash;
using volnor::test::ids;
using volnor::test::makePartsDb;
using volnor::test::PartRow;
using volnor::test::ShownBox;
using volnor::test::writeFile;

namespace {

class Maintenance : public ::testing::Test {
protected:
    Maintenance() : paths(dir.filePath(QStringLiteral("drive"))), parts(dialogs, paths) {
        macros = paths.native(kMacroFolder.toString());
        QDir().mkpath(macros);
    }

    QString file(const QString& name) const { return dir.filePath(name); }

    // Chooses `path` in the file chooser and connects to it.
    void connectTo(const QString& path) {
        dialogs.nextFiles.push_back(path);
        parts.ToolButton7Click();
        dialogs.shown.clear();
    }

    void makeMacros(const QStringList& names) {
        for (const auto& n : names) writeFile(macros + n);
    }
    QStringList macroFiles() const {
        return QDir(macros).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    std::vector<ShownBox::Kind> kinds() const {
        std::vector<ShownBox::Kind> out;
        for (const auto& b : dialogs.shown) out.push_back(b.kind);
        return out;
    }

    QTemporaryDir dir;
    volnor::test::RecordingDialogs dialogs;
    WinPaths paths;
    PartsMaintenance parts;
    QString macros;
};

const std::vector<PartRow> kRows = {
    {1, QStringLiteral("ВА47-29 3P 16A"), QStringLiteral("ВОЛНОР")},   // pattern at the start
    {2, QStringLiteral("MX ва47-29 C"), QStringLiteral("ВОЛНОР")},     // middle, lower case
    {3, QStringLiteral("Автомат ВА47-29"), QStringLiteral("волнор")},  // end
    {4, std::nullopt, QStringLiteral("ВОЛНОР")},                       // no type number
    {5, QStringLiteral("ВА47-100"), QStringLiteral("ВОЛНОР")},
    {6, QStringLiteral("S201-C16"), QStringLiteral("Nordlicht")},
    {7, QStringLiteral("KV-12"), QStringLiteral("VOLNOR")},
};

}  // namespace

TEST_F(Maintenance, ConnectionTemplateHasSeventeenOptionsAndThePlaceholder) {
    const QString t = connectionTemplate();
    EXPECT_EQ(t.size(), 526);
    EXPECT_EQ(t.count(u';'), 17);
    EXPECT_TRUE(t.endsWith(u';'));
    EXPECT_EQ(parts.ADOConnection1().databaseFile(), "mybase");
    EXPECT_FALSE(parts.ADOConnection1().connected());
    EXPECT_FALSE(parts.n1Visible());
}

TEST_F(Maintenance, ChoosingTheDatabaseConnectsAndAlwaysRestoresTheCurrentDirectory) {
    const QString spaced = file("My Base dir/MYBASE parts.mdb");
    QDir().mkpath(QFileInfo(spaced).path());
    makePartsDb(spaced, kRows);
    const QString second = file("second.mdb");
    makePartsDb(second, {});
    const QString start = QDir::currentPath();

    struct Case {
        std::optional<QString> chosen;
        bool throws;
        bool connected;
        QString dataSource;
    };
    const Case cases[] = {
        {std::nullopt, false, false, QStringLiteral("mybase")},  // cancelled: nothing changes
        {spaced, false, true, spaced},
        {second, false, true, second},  // a second choice moves the connection
        {file("missing.mdb"), true, false, file("missing.mdb")},
        {std::nullopt, false, false, file("missing.mdb")},
        {spaced, false, true, spaced},  // a valid file after a failed one
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        dialogs.nextFiles.push_back(c.chosen);
        // The chooser may leave the process elsewhere; the command must bring it back.
        QDir::setCurrent(dir.path());
        const QString before = QDir::currentPath();
        if (c.throws)
            EXPECT_THROW(parts.ToolButton7Click(), Error);
        else
            parts.ToolButton7Click();
        EXPECT_EQ(QDir::currentPath(), before);
        EXPECT_EQ(parts.ADOConnection1().connected(), c.connected);
        EXPECT_EQ(parts.ADOConnection1().databaseFile(), c.dataSource);
        EXPECT_EQ(dialogs.texts(),
                  c.connected ? QStringList{kConnectedText.toString()} : QStringList{});
    }
    QDir::setCurrent(start);
    EXPECT_EQ(dialogs.chooserTitles.first(), "Подключение базы данных Eplan");
    EXPECT_EQ(dialogs.chooserFilters.first(), "Eplan MDB base (*.mdb)");
    QString expected = connectionTemplate();
    expected.replace(QStringLiteral("\"mybase\""), u'"' + spaced + u'"');
    EXPECT_EQ(parts.ADOConnection1().connectionString(), expected);
}

TEST_F(Maintenance, AValidFileWithoutThePartsTablesConnectsAndFailsOnRemoval) {
    const QString other = file("other.mdb");
    volnor::test::execOn(other, QStringLiteral("CREATE TABLE t(x)"));
    connectTo(other);
    EXPECT_TRUE(parts.ADOConnection1().connected());
    try {
        parts.clearsql(QStringLiteral("AB"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("tblFunctionTemplate"))) << e.what();
    }
}

TEST_F(Maintenance, QueryRebuildsParametersFromTheTextAndOpensAClosedConnection) {
    const QString db = file("p.mdb");
    makePartsDb(db, kRows);
    connectTo(db);
    parts.ADOConnection1().setConnected(false);
    AdoQuery& q = parts.ADOQuery1();
    q.sqlClear();
    q.sqlAdd(QStringLiteral("DELETE * from tblpart  where [tblpart].[manufacturer]=:k1"));
    EXPECT_EQ(q.paramNames(), QStringList{"k1"});
    EXPECT_THROW(q.setParam(QStringLiteral("k2"), QStringLiteral("x")), Error);
    q.setParam(QStringLiteral("k1"), QStringLiteral("vOlNoR"));
    EXPECT_EQ(q.execSql(), 1);
    EXPECT_TRUE(parts.ADOConnection1().connected());
    q.sqlClear();
    q.sqlAdd(QStringLiteral("DELETE * from tblpart where typenr = ':k1'"));
    EXPECT_TRUE(q.paramNames().isEmpty());
}

TEST_F(Maintenance, ClearsqlRemovesMatchingPartsWithTheirRowsWhateverTheLetterCase) {
    struct Case {
        const char* pattern;
        QStringList left;
    };
    const Case cases[] = {
        {"ВА47-29", {"4", "5", "6", "7"}},  // start, middle and end; lower-case type number too
        {"ва47-29", {"4", "5", "6", "7"}},
        {"ва47", {"4", "6", "7"}},
        {"C16", {"1", "2", "3", "4", "5", "7"}},
        {"нет такого", {"1", "2", "3", "4", "5", "6", "7"}},
    };
    for (const auto& c : cases) {
        const QString db = file(QStringLiteral("c%1.mdb").arg(&c - cases));
        makePartsDb(db, kRows);
        connectTo(db);
        parts.clearsql(QString::fromUtf8(c.pattern));
        parts.clearsql(QString::fromUtf8(c.pattern));  // a second call finds nothing more
        EXPECT_EQ(ids(db, "tblpart"), c.left) << c.pattern;
        EXPECT_EQ(ids(db, "tblVariant"), c.left) << c.pattern;
        EXPECT_EQ(ids(db, "tblFunctionTemplate"), c.left) << c.pattern;
    }
    EXPECT_EQ(parts.ADOQuery1().sqlText(),
              "DELETE * from tblpart  where [tblpart].[typenr]like '%нет такого%'");
}

TEST_F(Maintenance, AFailingStatementLeavesThatPatternsRowsAndKeepsEarlierRemovals) {
    // Without tblVariant the second statement fails; with the trigger the third one does.
    const QString noVariants = file("novariant.mdb");
    makePartsDb(noVariants, kRows, false);
    const QString trigger = file("trigger.mdb");
    makePartsDb(trigger, kRows);
    volnor::test::execOn(trigger,
                         QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON tblpart WHEN "
                                        "old.typenr LIKE '%29%' BEGIN SELECT RAISE(ABORT, "
                                        "'part is protected'); END;"));
    const QStringList all = {"1", "2", "3", "4", "5", "6", "7"};
    const QStringList withoutS201 = {"1", "2", "3", "4", "5", "7"};
    connectTo(noVariants);
    EXPECT_THROW(parts.clearsql(QStringLiteral("ВА47-29")), Error);
    EXPECT_EQ(ids(noVariants, "tblpart"), all);
    EXPECT_EQ(ids(noVariants, "tblFunctionTemplate"), all);

    connectTo(trigger);
    parts.clearsql(QStringLiteral("S201"));  // an earlier pattern that succeeds
    EXPECT_THROW(parts.clearsql(QStringLiteral("ВА47-29")), Error);
    for (const char* table : {"tblpart", "tblVariant", "tblFunctionTemplate"})
        EXPECT_EQ(ids(trigger, table), withoutS201) << table;
    // No transaction was left open: the next pattern works and stays.
    parts.clearsql(QStringLiteral("KV-12"));
    parts.ADOConnection1().setConnected(false);
    EXPECT_EQ(ids(trigger, "tblpart"), QStringList({"1", "2", "3", "4", "5"}));
}

TEST_F(Maintenance, DfileTakesTheCountedTokensAndMatchesNamesExactly) {
    const QStringList files = {"VA47_a.ema", "va47_b.ema", "KM_c.ema",
                               "KM_d.EMA",   "VA47.txt",   "other.ema"};
    struct Case {
        int number;
        const char* list;
        QStringList left;
    };
    const Case cases[] = {
        {0, "VA47;KM;", files},
        {-5, ".ema;", files},
        {1, "VA47;KM;", {"KM_c.ema", "KM_d.EMA", "VA47.txt", "other.ema", "va47_b.ema"}},
        {2, "VA47;KM;", {"VA47.txt", "other.ema", "va47_b.ema"}},
        {9, "VA47;KM;", {"VA47.txt", "other.ema", "va47_b.ema"}},  // more than tokens
        {3, "VA47;VA47;KM", {"KM_c.ema", "KM_d.EMA", "VA47.txt", "other.ema", "va47_b.ema"}},
        {1, "KM", files},                                                    // no ";" at all
        {2, ";KM;", {"VA47.txt", "VA47_a.ema", "other.ema", "va47_b.ema"}},  // empty token
        {1, ".ema;", {"KM_d.EMA", "VA47.txt"}},                              // every .ema file
        {2147483647, "other;", {"KM_c.ema", "KM_d.EMA", "VA47.txt", "VA47_a.ema", "va47_b.ema"}},
    };
    for (const auto& c : cases) {
        QDir(macros).removeRecursively();
        QDir().mkpath(macros);
        makeMacros(files);
        parts.dfile(c.number, QString::fromUtf8(c.list));
        QStringList expected = c.left;
        expected.sort();
        EXPECT_EQ(macroFiles(), expected) << c.number << " " << c.list;
    }
}

TEST_F(Maintenance, DfileLeavesAMatchingDirectoryAndToleratesAMissingFolder) {
    QDir().mkpath(macros + QStringLiteral("VA47 dir.ema"));
    makeMacros({"VA47_a.ema"});
    parts.dfile(1, QStringLiteral("VA47;"));
    EXPECT_EQ(macroFiles(), QStringList{"VA47 dir.ema"});
    QDir(macros).removeRecursively();
    parts.dfile(1, QStringLiteral("VA47;"));
    EXPECT_FALSE(QFileInfo::exists(macros));
}

TEST_F(Maintenance, ContextMenuItemAppearsWithTheFirstCurrentNodeAndStays) {
    EXPECT_FALSE(parts.TreeView1ContextPopup(std::nullopt));
    EXPECT_FALSE(parts.TreeView1ContextPopup(QString()));
    EXPECT_TRUE(parts.TreeView1ContextPopup(QStringLiteral("Модульное оборудование")));
    EXPECT_TRUE(parts.TreeView1ContextPopup(std::nullopt));
    EXPECT_TRUE(parts.n1Visible());
}

TEST_F(Maintenance, CompactionInPlaceLeavesOneSmallerFileUnderTheName) {
    const QString db = file("place.mdb");
    makePartsDb(db, kRows);
    volnor::test::execOn(db, QStringLiteral("CREATE TABLE f(t);WITH RECURSIVE n(i) AS (SELECT 1 "
                                            "UNION ALL SELECT i+1 FROM n WHERE i<500) INSERT INTO "
                                            "f SELECT randomblob(300) FROM n; DELETE FROM f;"));
    const qint64 before = QFileInfo(db).size();
    parts.CompactDatabase_JRO(db, QString(), QString());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_LT(QFileInfo(db).size(), before);
    EXPECT_EQ(ids(db, "tblpart").size(), 7);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"place.mdb"});
}

TEST_F(Maintenance, CompactionOfABareNameWorksInTheCurrentDirectory) {
    const QString start = QDir::currentPath();
    QDir::setCurrent(dir.path());
    makePartsDb(QStringLiteral("bare.mdb"), kRows);
    parts.CompactDatabase_JRO(QStringLiteral("bare.mdb"), QString(), QString());
    QDir::setCurrent(start);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"bare.mdb"});
    EXPECT_EQ(ids(file("bare.mdb"), "tblpart").size(), 7);
}

TEST_F(Maintenance, CompactionToAGivenDestinationReplacesAnOldOneAndKeepsTheSource) {
    const QString db = file("src.mdb");
    makePartsDb(db, kRows);
    const QByteArray source = fileHash(db);
    const QString dest = file("dest.mdb");
    writeFile(dest, "an older file of that name");
    parts.CompactDatabase_JRO(db, dest, QString());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(fileHash(db), source);
    EXPECT_EQ(ids(dest, "tblpart").size(), 7);
}

TEST_F(Maintenance, CompactionWithAPasswordGivesACopyWithTheSamePassword) {
    const QString db = file("pw.mdb");
    makePartsDb(db, kRows);
    {
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(db).constData(), &raw);
        jet::setDatabasePassword(raw, QStringLiteral("s3cret"));
        sqlite3_close(raw);
    }
    parts.CompactDatabase_JRO(db, QString(), QStringLiteral("s3cret"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
    jet::Connection c;
    EXPECT_THROW(c.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + db),
                 Error);
    c.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database "
                          "Password=s3cret")
               .arg(db));
    EXPECT_TRUE(c.isOpen());
}

TEST_F(Maintenance, AFailedCompactionShowsOneMessageAndLeavesTheSource) {
    const QString db = file("keep.mdb");
    makePartsDb(db, kRows);
    const QString notDb = file("text.mdb");
    writeFile(notDb, "not a database, just text that fills more than a header would");
    const QString folderDest = file("taken");
    QDir().mkpath(folderDest + QStringLiteral("/inside"));
    struct Case {
        QString db, dest, password;
    };
    const Case cases[] = {
        {notDb, {}, {}},                // the engine fails
        {db, {}, QStringLiteral("x")},  // wrong password
        {file("missing.mdb"), {}, {}},
        {db, folderDest, {}},  // the destination is a folder and cannot be replaced
        {db, db, {}},          // the destination is the source itself
    };
    for (const auto& c : cases) {
        const QByteArray dbHash = fileHash(db), notDbHash = fileHash(notDb);
        dialogs.shown.clear();
        parts.CompactDatabase_JRO(c.db, c.dest, c.password);
        ASSERT_EQ(kinds(), std::vector{ShownBox::Kind::Message}) << c.db.toStdString();
        EXPECT_FALSE(dialogs.shown[0].text.isEmpty());
        EXPECT_EQ(fileHash(db), dbHash);
        EXPECT_EQ(fileHash(notDb), notDbHash);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"keep.mdb", "text.mdb"}))
            << dialogs.shown[0].text.toStdString();
    }
}

// The group removal and the removal of all maker parts, on sample databases made from the removal
// table itself.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "partsdb/sampledb.h"
#include "platform/error.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using volnor::test::column;
using volnor::test::fileHash;
using volnor::test::ids;
using volnor::test::ShownBox;

namespace {

QStringList patternsOf(const RemovalEntry& e) {
    QStringList out;
    for (const auto& s : e.steps)
        if (s.kind == RemovalStep::Kind::ClearSql) out << s.text;
    return out;
}

QStringList tokensOf(const RemovalEntry& e) {
    QStringList out;
    for (const auto& s : e.steps)
        if (s.kind == RemovalStep::Kind::DFile)
            out << s.text.split(u';', Qt::SkipEmptyParts).mid(0, s.count);
    return out;
}

bool containsAny(const QString& text, const QStringList& parts, Qt::CaseSensitivity cs) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const QString& p) { return text.contains(p, cs); });
}

class GroupRemoval : public ::testing::Test {
protected:
    GroupRemoval() : paths(dir.filePath(QStringLiteral("drive"))), parts(dialogs, paths) {
        macros = paths.native(kMacroFolder.toString());
        db = dir.filePath(QStringLiteral("data/ESS_part001.mdb"));
        QDir().mkpath(QFileInfo(db).path());
    }

    void makeSample(int count, int files) {
        sample = makeSampleDatabase(db, count);
        makeMacroFolder(macros, files);
    }
    void connect() {
        dialogs.nextFiles.push_back(db);
        parts.ToolButton7Click();
        dialogs.shown.clear();
    }
    // id|typenr of every part; "" for a null type number.
    QStringList partRows() const {
        return column(db,
                      QStringLiteral("SELECT id||'|'||ifnull(typenr,'') FROM tblpart ORDER BY id"));
    }
    QStringList keptIds(const QStringList& rows, const QStringList& patterns) const {
        QStringList out;
        for (const QString& r : rows) {
            const QString typenr = r.section(u'|', 1);
            if (typenr.isEmpty() || !containsAny(typenr, patterns, Qt::CaseInsensitive))
                out << r.section(u'|', 0, 0);
        }
        return out;
    }
    QStringList distinctIds(const char* table) const {
        return column(
            db, QStringLiteral("SELECT DISTINCT id FROM %1 ORDER BY id").arg(QLatin1String(table)));
    }
    QStringList macroFiles() const { return QDir(macros).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    volnor::test::RecordingDialogs dialogs;
    WinPaths paths;
    PartsMaintenance parts;
    QString macros;
    QString db;
    SampleCounts sample;
};

const RemovalEntry& entryWithMacros() {
    for (const auto& e : removalTable())
        if (!tokensOf(e).isEmpty()) return e;
    return removalTable().front();
}

}  // namespace

TEST_F(GroupRemoval, RemovesTheEntrysPartsAndMacroFilesThenCompactsAndReports) {
    makeSample(3000, 300);
    connect();
    const RemovalEntry& entry = entryWithMacros();
    const QStringList kept = keptIds(partRows(), patternsOf(entry));
    QStringList keptFiles;
    for (const QString& f : macroFiles())
        if (!containsAny(f, tokensOf(entry), Qt::CaseSensitive)) keptFiles << f;
    ASSERT_LT(kept.size(), 3000);
    const qint64 before = QFileInfo(db).size();

    parts.N1Click(entry.key);

    EXPECT_EQ(ids(db, "tblpart"), kept);
    EXPECT_EQ(distinctIds("tblVariant"), kept);
    EXPECT_EQ(distinctIds("tblFunctionTemplate"), kept);
    EXPECT_EQ(macroFiles(), keptFiles);
    EXPECT_LT(QFileInfo(db).size(), before);
    EXPECT_EQ(QDir(QFileInfo(db).path()).entryList(QDir::Files), QStringList{"ESS_part001.mdb"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(dialogs.shown[0].text, "Удаление завершено успешно!");
    EXPECT_TRUE(parts.ADOConnection1().connected());
}

TEST_F(GroupRemoval, ANodeWithoutAnEntryDeletesNothingYetCompactsAndReports) {
    makeSample(1000, 50);
    connect();
    volnor::test::execOn(db, QStringLiteral("CREATE TABLE scratch(b); WITH RECURSIVE n(i) AS "
                                            "(SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) "
                                            "INSERT INTO scratch SELECT randomblob(500) FROM n; "
                                            "DROP TABLE scratch;"));
    const QStringList rows = partRows();
    const QStringList files = macroFiles();
    const qint64 before = QFileInfo(db).size();

    parts.N1Click(QStringLiteral("Узел без записи в таблице"));

    EXPECT_EQ(partRows(), rows);
    EXPECT_EQ(macroFiles(), files);
    EXPECT_LT(QFileInfo(db).size(), before);
    EXPECT_EQ(dialogs.texts(), QStringList{"Удаление завершено успешно!"});
}

TEST_F(GroupRemoval, ASubGroupAndThenItsGroupLeaveNothingOfTheGroup) {
    const auto& table = removalTable();
    const RemovalEntry* sub = nullptr;
    const RemovalEntry* group = nullptr;
    for (size_t g = 0; g < table.size() && !group; ++g)
        for (size_t s = 0; s < g && !group; ++s) {
            const QStringList own = patternsOf(table[g]);
            const QStringList inner = patternsOf(table[s]);
            if (std::all_of(inner.begin(), inner.end(),
                            [&](const QString& p) { return own.contains(p); }) &&
                inner.size() < own.size()) {
                sub = &table[s];
                group = &table[g];
            }
        }
    if (!group) GTEST_SKIP() << "the removal table has no group above another entry";
    makeSample(3000, 100);
    connect();
    const QStringList rows = partRows();

    parts.N1Click(sub->key);
    EXPECT_EQ(ids(db, "tblpart"), keptIds(rows, patternsOf(*sub)));
    parts.N1Click(group->key);
    EXPECT_EQ(ids(db, "tblpart"), keptIds(rows, patternsOf(*group)));
    EXPECT_EQ(distinctIds("tblVariant"), keptIds(rows, patternsOf(*group)));
    EXPECT_EQ(dialogs.texts().size(), 2);
}

TEST_F(GroupRemoval, AFailingStatementEndsTheCommandBeforeCompactionAndReport) {
    makeSample(500, 20);
    connect();
    volnor::test::execOn(db,
                         QStringLiteral("CREATE TRIGGER no_delete BEFORE DELETE ON tblpart BEGIN "
                                        "SELECT RAISE(ABORT, 'parts are protected'); END;"));
    const QByteArray before = fileHash(db);
    const QStringList files = macroFiles();
    try {
        parts.N1Click(removalTable().front().key);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("parts are protected"))) << e.what();
    }
    EXPECT_EQ(fileHash(db), before);  // the triple rolled back, and no compaction ran
    EXPECT_EQ(macroFiles(), files);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(GroupRemoval, BeforeAnyDatabaseIsChosenTheCommandsFailOnThePlaceholder) {
    makeMacroFolder(macros, 20);
    const QStringList files = macroFiles();
    const QString start = QDir::currentPath();
    QDir::setCurrent(dir.path());
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<ShownBox::Kind> boxes;
    };
    const Case cases[] = {
        {"entry", [&] { parts.N1Click(removalTable().front().key); }, {}},
        // The compaction of the placeholder fails and says so; reopening then fails.
        {"no entry",
         [&] { parts.N1Click(QStringLiteral("Узел без записи")); },
         {ShownBox::Kind::Message}},
        {"all", [&] { parts.ToolButton4Click(); }, {}},
        {"clearsql", [&] { parts.clearsql(QStringLiteral("AB")); }, {}},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        try {
            c.run();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("mybase"))) << c.name << ": " << e.what();
        }
        std::vector<ShownBox::Kind> kinds;
        for (const auto& b : dialogs.shown) kinds.push_back(b.kind);
        EXPECT_EQ(kinds, c.boxes) << c.name;
        EXPECT_EQ(macroFiles(), files) << c.name;
        EXPECT_FALSE(parts.ADOConnection1().connected());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{});
    QDir::setCurrent(start);
}

TEST_F(GroupRemoval, RemovalOfAllTakesEveryMakerPartAndEveryMacroFileButNotCompaction) {
    makeSample(2000, 100);
    QFile::rename(macros + QStringLiteral("readme.txt"), macros + QStringLiteral("no token.ema"));
    test::writeFile(macros + QStringLiteral("notes.txt"));
    connect();
    const qint64 size = QFileInfo(db).size();

    for (int run = 0; run < 2; ++run) {
        dialogs.shown.clear();
        parts.ToolButton4Click();
        const QStringList makers =
            column(db, QStringLiteral("SELECT DISTINCT manufacturer FROM tblpart"));
        for (const QString& m : makers)
            EXPECT_NE(m.compare(QStringLiteral("ВОЛНОР"), Qt::CaseInsensitive), 0)
                << m.toStdString();
        EXPECT_TRUE(makers.contains(QStringLiteral("VOLNOR")));
        EXPECT_EQ(column(db, QStringLiteral("SELECT count(*) FROM tblpart")).value(0).toInt(),
                  sample.latinParts + sample.otherParts);
        EXPECT_EQ(distinctIds("tblVariant"), ids(db, "tblpart"));
        EXPECT_EQ(distinctIds("tblFunctionTemplate"), ids(db, "tblpart"));
        EXPECT_EQ(macroFiles(), QStringList{"notes.txt"});
        EXPECT_EQ(dialogs.texts(), QStringList{"Удаление завершено успешно!"});
        EXPECT_TRUE(parts.ADOConnection1().connected());
        EXPECT_EQ(QFileInfo(db).size(), size);
    }
    EXPECT_EQ(parts.ADOQuery1().sqlText(),
              "DELETE * from tblpart  where [tblpart].[manufacturer]=:k1");
}

TEST_F(GroupRemoval, RemovalOfAllThatFailsMidwayChangesNothing) {
    makeSample(300, 10);
    volnor::test::execOn(db, QStringLiteral("DROP TABLE tblVariant"));
    connect();
    const QByteArray before = fileHash(db);
    EXPECT_THROW(parts.ToolButton4Click(), Error);
    EXPECT_EQ(fileHash(db), before);
    EXPECT_FALSE(macroFiles().isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SampleDb, MakerPartsMatchThePatternsAndOthersNever) {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("s.mdb"));
    const SampleCounts c = makeSampleDatabase(db, 1000);
    EXPECT_EQ(c.makerParts + c.latinParts + c.otherParts, 1000);
    EXPECT_GT(c.nullTypenr, 0);
    EXPECT_GT(c.latinParts, 0);
    QStringList patterns;
    for (const auto& e : removalTable()) patterns << patternsOf(e);
    const QStringList rows =
        column(db, QStringLiteral("SELECT manufacturer||'|'||ifnull(typenr,'') FROM tblpart"));
    int matching = 0;
    for (const QString& r : rows) {
        const QString maker = r.section(u'|', 0, 0), typenr = r.section(u'|', 1);
        const bool isMaker = maker.compare(QStringLiteral("ВОЛНОР"), Qt::CaseInsensitive) == 0;
        if (typenr.isEmpty()) continue;
        EXPECT_EQ(containsAny(typenr, patterns, Qt::CaseInsensitive), isMaker) << r.toStdString();
        matching += isMaker;
    }
    EXPECT_EQ(matching, c.makerParts - c.nullTypenr);
    EXPECT_EQ(column(db, QStringLiteral("SELECT count(*) FROM tblVariant")).value(0).toInt(),
              c.variants);
    EXPECT_THROW(makeSampleDatabase(db, 1), Error);

    const QStringList names = makeMacroFolder(dir.filePath(QStringLiteral("m")), 40);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("m"))).entryList(QDir::Files).size(), names.size());
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [](const QString& n) { return n.endsWith(QStringLiteral(".EMA")); }));
}

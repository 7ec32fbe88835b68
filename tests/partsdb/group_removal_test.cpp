// The group removal and the removal of all maker parts, on sample databases made from the removal
// table itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "platform/posix/file_search.h"
#include "platform/posix/jet_engine.h"
#include "sampledb/sampledb.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using namespace volnor::test;
using volnor::sampledb::makeMacroFolder;
using volnor::sampledb::makeSampleDatabase;
using volnor::sampledb::SampleCounts;

namespace {

using Names = std::vector<std::string>;

Names patternsOf(const RemovalEntry& e) {
    Names out;
    for (const auto& s : e.steps)
        if (s.kind == RemovalStep::Kind::ClearSql) out.push_back(s.text);
    return out;
}

Names tokensOf(const RemovalEntry& e) {
    Names out;
    for (const auto& s : e.steps)
        if (s.kind == RemovalStep::Kind::DFile) {
            const Names tokens = split(s.text, ';', true);
            out.insert(out.end(), tokens.begin(),
                       tokens.begin() + std::min<std::ptrdiff_t>(s.count, std::ssize(tokens)));
        }
    return out;
}

bool containsAnyNoCase(const std::string& text, const Names& parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return containsNoCase(text, p); });
}

bool containsAny(const std::string& text, const Names& parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return contains(text, p); });
}

bool has(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// "a|b" split at its first "|".
std::pair<std::string, std::string> halves(const std::string& row) {
    const std::size_t bar = row.find('|');
    return {row.substr(0, bar), row.substr(bar + 1)};
}

class GroupRemoval : public PartsCommandsTest {
protected:
    GroupRemoval() {
        macros = paths.native(std::string(kMacroFolder));
        db = dir.file("data/ESS_part001.mdb");
        fs::create_directories(db.parent_path());
    }

    void makeSample(int count, int macroFiles) {
        sample = makeSampleDatabase(db, count);
        makeMacroFolder(macros, macroFiles);
    }
    void connect() {
        dialogs.nextFiles.push_back(utf8Of(db));
        parts.chooseDatabase();
        dialogs.shown.clear();
    }
    // id|typenr of every part; "" for a null type number.
    Names partRows() const {
        return column(db, "SELECT id||'|'||ifnull(typenr,'') FROM tblpart ORDER BY id");
    }
    Names keptIds(const Names& rows, const Names& patterns) const {
        Names out;
        for (const std::string& r : rows) {
            const auto [id, typenr] = halves(r);
            if (typenr.empty() || !containsAnyNoCase(typenr, patterns)) out.push_back(id);
        }
        return out;
    }
    Names distinctIds(const char* table) const {
        return column(db, std::string("SELECT DISTINCT id FROM ") + table + " ORDER BY id");
    }
    // The files of the macro folder, sorted.
    Names macroFiles() const {
        Names out;
        for (const std::string& name : entryNames(macros))
            if (fs::is_regular_file(macros / pathOf(name))) out.push_back(name);
        return out;
    }

    fs::path macros;
    fs::path db;
    SampleCounts sample;
};

const RemovalEntry& entryWithMacros() {
    for (const auto& e : removalTable())
        if (!tokensOf(e).empty()) return e;
    return removalTable().front();
}

}  // namespace

TEST_F(GroupRemoval, RemovesTheEntrysPartsAndMacroFilesThenCompactsAndReports) {
    makeSample(3000, 300);
    connect();
    const RemovalEntry& entry = entryWithMacros();
    const Names kept = keptIds(partRows(), patternsOf(entry));
    Names keptFiles;
    for (const std::string& f : macroFiles())
        if (!containsAny(f, tokensOf(entry))) keptFiles.push_back(f);
    ASSERT_LT(kept.size(), 3000u);
    const auto before = fileSize(db);

    parts.removeGroup(entry.key);

    EXPECT_EQ(ids(db, "tblpart"), kept);
    EXPECT_EQ(distinctIds("tblVariant"), kept);
    EXPECT_EQ(distinctIds("tblFunctionTemplate"), kept);
    EXPECT_EQ(macroFiles(), keptFiles);
    EXPECT_LT(fileSize(db), before);
    EXPECT_EQ(entryNames(db.parent_path()), Names{"ESS_part001.mdb"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(dialogs.shown[0].text, "Удаление завершено успешно!");
    EXPECT_TRUE(parts.ADOConnection1().connected());
}

TEST_F(GroupRemoval, ANodeWithoutAnEntryDeletesNothingYetCompactsAndReports) {
    makeSample(1000, 50);
    connect();
    execOn(db,
           "CREATE TABLE scratch(b); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
           "WHERE i<300) INSERT INTO scratch SELECT randomblob(500) FROM n; DROP TABLE scratch;");
    const Names rows = partRows();
    const Names files = macroFiles();
    const auto before = fileSize(db);

    parts.removeGroup("Узел без записи в таблице");

    EXPECT_EQ(partRows(), rows);
    EXPECT_EQ(macroFiles(), files);
    EXPECT_LT(fileSize(db), before);
    EXPECT_EQ(dialogs.texts(), Names{"Удаление завершено успешно!"});
}

TEST_F(GroupRemoval, ASubGroupAndThenItsGroupLeaveNothingOfTheGroup) {
    const auto& table = removalTable();
    const RemovalEntry* sub = nullptr;
    const RemovalEntry* group = nullptr;
    for (size_t g = 0; g < table.size() && !group; ++g)
        for (size_t s = 0; s < g && !group; ++s) {
            const Names own = patternsOf(table[g]);
            const Names inner = patternsOf(table[s]);
            if (std::all_of(inner.begin(), inner.end(),
                            [&](const std::string& p) { return has(own, p); }) &&
                inner.size() < own.size()) {
                sub = &table[s];
                group = &table[g];
            }
        }
    if (!group) GTEST_SKIP() << "the removal table has no group above another entry";
    makeSample(3000, 100);
    connect();
    const Names rows = partRows();

    parts.removeGroup(sub->key);
    EXPECT_EQ(ids(db, "tblpart"), keptIds(rows, patternsOf(*sub)));
    parts.removeGroup(group->key);
    EXPECT_EQ(ids(db, "tblpart"), keptIds(rows, patternsOf(*group)));
    EXPECT_EQ(distinctIds("tblVariant"), keptIds(rows, patternsOf(*group)));
    EXPECT_EQ(dialogs.texts().size(), 2u);
}

TEST_F(GroupRemoval, WithoutACurrentNodeNothingIsRemovedNorCompacted) {
    makeSample(300, 20);
    connect();
    const std::string before = fileHash(db);
    const Names files = macroFiles();
    parts.removeGroup(std::nullopt);
    EXPECT_EQ(fileHash(db), before);
    EXPECT_EQ(macroFiles(), files);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(parts.ADOConnection1().connected());
}

TEST_F(GroupRemoval, AFailingStatementEndsTheCommandBeforeCompactionAndReport) {
    makeSample(500, 20);
    connect();
    execOn(db,
           "CREATE TRIGGER no_delete BEFORE DELETE ON tblpart BEGIN SELECT RAISE(ABORT, 'parts "
           "are protected'); END;");
    const std::string before = fileHash(db);
    const Names files = macroFiles();
    try {
        parts.removeGroup(removalTable().front().key);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.text(), "parts are protected")) << e.what();
    }
    EXPECT_EQ(fileHash(db), before);  // the triple rolled back, and no compaction ran
    EXPECT_EQ(macroFiles(), files);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(GroupRemoval, BeforeAnyDatabaseIsChosenTheCommandsFailOnThePlaceholder) {
    makeMacroFolder(macros, 20);
    const Names files = macroFiles();
    const CurrentDir inside(dir.path());
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<ShownBox::Kind> boxes;
    };
    const Case cases[] = {
        {"entry", [&] { parts.removeGroup(removalTable().front().key); }, {}},
        // The compaction of the placeholder fails and says so; reopening then fails.
        {"no entry", [&] { parts.removeGroup("Узел без записи"); }, {ShownBox::Kind::Message}},
        {"all", [&] { parts.removeAllMakerParts(); }, {}},
        {"clearsql", [&] { parts.clearsql("AB"); }, {}},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        try {
            c.run();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Error& e) {
            EXPECT_TRUE(contains(e.text(), "mybase")) << c.name << ": " << e.what();
        }
        std::vector<ShownBox::Kind> kinds;
        for (const auto& b : dialogs.shown) kinds.push_back(b.kind);
        EXPECT_EQ(kinds, c.boxes) << c.name;
        EXPECT_EQ(macroFiles(), files) << c.name;
        EXPECT_FALSE(parts.ADOConnection1().connected());
    }
    EXPECT_EQ(entryNames(dir.path()), (Names{"data", "drive"}));  // no file left behind
}

TEST_F(GroupRemoval, RemovalOfAllTakesEveryMakerPartAndEveryMacroFileButNotCompaction) {
    makeSample(2000, 100);
    fs::rename(macros / "readme.txt", macros / "no token.ema");
    writeFile(macros / "notes.txt", "x");
    connect();
    const auto size = fileSize(db);

    for (int run = 0; run < 2; ++run) {
        dialogs.shown.clear();
        parts.removeAllMakerParts();
        const Names makers = column(db, "SELECT DISTINCT manufacturer FROM tblpart");
        for (const std::string& m : makers) EXPECT_FALSE(equalsNoCase(m, "ВОЛНОР")) << m;
        EXPECT_TRUE(has(makers, "VOLNOR"));
        EXPECT_EQ(column(db, "SELECT count(*) FROM tblpart").at(0),
                  std::to_string(sample.latinParts + sample.otherParts));
        EXPECT_EQ(distinctIds("tblVariant"), ids(db, "tblpart"));
        EXPECT_EQ(distinctIds("tblFunctionTemplate"), ids(db, "tblpart"));
        EXPECT_EQ(macroFiles(), Names{"notes.txt"});
        EXPECT_EQ(dialogs.texts(), Names{"Удаление завершено успешно!"});
        EXPECT_TRUE(parts.ADOConnection1().connected());
        EXPECT_EQ(fileSize(db), size);
    }
    EXPECT_EQ(parts.ADOQuery1().sqlText(),
              "DELETE * from tblpart  where [tblpart].[manufacturer]=:k1");
}

TEST_F(GroupRemoval, RemovalOfAllThatFailsMidwayChangesNothing) {
    makeSample(300, 10);
    execOn(db, "DROP TABLE tblVariant");
    connect();
    const std::string before = fileHash(db);
    EXPECT_THROW(parts.removeAllMakerParts(), Error);
    EXPECT_EQ(fileHash(db), before);
    EXPECT_FALSE(macroFiles().empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SampleDb, MakerPartsMatchThePatternsAndOthersNever) {
    TempDir dir;
    const fs::path db = dir.file("s.mdb");
    const SampleCounts c = makeSampleDatabase(db, 1000);
    EXPECT_EQ(c.makerParts + c.latinParts + c.otherParts, 1000);
    EXPECT_GT(c.nullTypenr, 0);
    EXPECT_GT(c.latinParts, 0);
    Names patterns;
    for (const auto& e : removalTable())
        for (const std::string& p : patternsOf(e)) patterns.push_back(p);
    const Names rows = column(db, "SELECT manufacturer||'|'||ifnull(typenr,'') FROM tblpart");
    int matching = 0;
    for (const std::string& r : rows) {
        const auto [maker, typenr] = halves(r);
        const bool isMaker = equalsNoCase(maker, "ВОЛНОР");
        if (typenr.empty()) continue;
        EXPECT_EQ(containsAnyNoCase(typenr, patterns), isMaker) << r;
        matching += isMaker;
    }
    EXPECT_EQ(matching, c.makerParts - c.nullTypenr);
    EXPECT_EQ(column(db, "SELECT count(*) FROM tblVariant").at(0), std::to_string(c.variants));
    EXPECT_THROW(makeSampleDatabase(db, 1), Error);

    const Names names = makeMacroFolder(dir.file("m"), 40);
    EXPECT_EQ(entryNames(dir.file("m")).size(), names.size());
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& n) {
        return n.size() > 4 && n.compare(n.size() - 4, 4, ".EMA") == 0;
    }));

    // A password given to the sample is the one the engine asks for.
    const fs::path locked = dir.file("pw.mdb");
    makeSampleDatabase(locked, 10, "pw");
    const auto connection = posix::JetEngine().connection();
    EXPECT_THROW(connection->open(conn(locked)), Error);
    EXPECT_NO_THROW(connection->open(conn(locked, "pw")));
}

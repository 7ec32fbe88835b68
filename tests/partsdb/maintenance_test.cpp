#include "partsdb/maintenance.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "partsdb/connection_string.h"
#include "partsdb/dbfixture.h"
#include "partsdb/removal_table.h"
#include "platform/posix/file_search.h"
#include "platform/posix/jet_engine.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using namespace volnor::test;

namespace {

using Names = std::vector<std::string>;

class Maintenance : public PartsCommandsTest {
protected:
    Maintenance() {
        macros = paths.native(std::string(kMacroFolder));
        fs::create_directories(macros);
    }

    fs::path file(std::string_view name) const { return dir.file(name); }

    // Chooses `path` in the file chooser and connects to it.
    void connectTo(const fs::path& path) {
        dialogs.nextFiles.push_back(utf8Of(path));
        parts.chooseDatabase();
        dialogs.shown.clear();
    }

    void makeMacros(const Names& names) {
        for (const auto& n : names) writeFile(macros / pathOf(n), "x");
    }
    Names macroFiles() const { return entryNames(macros); }
    std::vector<ShownBox::Kind> kinds() const {
        std::vector<ShownBox::Kind> out;
        for (const auto& b : dialogs.shown) out.push_back(b.kind);
        return out;
    }

    fs::path macros;
};

const std::vector<PartRow> kRows = {
    {1, "ВА47-29 3P 16A", "ВОЛНОР"},   // pattern at the start
    {2, "MX ва47-29 C", "ВОЛНОР"},     // middle, lower case
    {3, "Автомат ВА47-29", "волнор"},  // end
    {4, std::nullopt, "ВОЛНОР"},       // no type number
    {5, "ВА47-100", "ВОЛНОР"},        {6, "S201-C16", "Nordlicht"}, {7, "KV-12", "VOLNOR"},
};

}  // namespace

TEST_F(Maintenance, ConnectionTemplateHasSeventeenOptionsAndThePlaceholder) {
    // Parsed as the provider parses it: a lost quote or ";" would merge or split options.
    const std::string t = connectionTemplate();
    const auto options = parseConnectionString(t);
    EXPECT_EQ(options.size(), 17u);
    EXPECT_EQ(std::count(t.begin(), t.end(), ';'), 17);
    const std::pair<const char*, const char*> expected[] = {
        {"provider", "Microsoft.Jet.OLEDB.4.0"},
        {"user id", "Admin"},
        {"data source", "mybase"},
        {"mode", "Share Deny None"},
        {"jet oledb:database password", ""},
        {"jet oledb:engine type", "5"},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(options.contains(key)) << key;
        EXPECT_EQ(options.at(key), value) << key;
    }
    EXPECT_EQ(parts.ADOConnection1().databaseFile(), "mybase");
    EXPECT_FALSE(parts.ADOConnection1().connected());
    EXPECT_FALSE(parts.groupRemovalVisible());
}

TEST_F(Maintenance, ChoosingTheDatabaseConnectsAndAlwaysRestoresTheCurrentDirectory) {
    const fs::path spaced = file("My Base dir/MYBASE parts.mdb");
    fs::create_directories(spaced.parent_path());
    makePartsDb(spaced, kRows);
    const fs::path second = file("second.mdb");
    makePartsDb(second, {});
    const std::string missing = utf8Of(file("missing.mdb"));

    struct Case {
        std::optional<std::string> chosen;
        bool throws;
        bool connected;
        std::string dataSource;
    };
    const Case cases[] = {
        {std::nullopt, false, false, "mybase"},  // cancelled: nothing changes
        {utf8Of(spaced), false, true, utf8Of(spaced)},
        {utf8Of(second), false, true, utf8Of(second)},  // a second choice moves the connection
        {missing, true, false, missing},
        {std::nullopt, false, false, missing},
        {utf8Of(spaced), false, true, utf8Of(spaced)},  // a valid file after a failed one
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        dialogs.nextFiles.push_back(c.chosen);
        // The chooser may leave the process elsewhere; the command must bring it back.
        const CurrentDir inside(dir.path());
        const fs::path before = fs::current_path();
        if (c.throws)
            EXPECT_THROW(parts.chooseDatabase(), Error);
        else
            parts.chooseDatabase();
        EXPECT_EQ(fs::current_path(), before);
        EXPECT_EQ(parts.ADOConnection1().connected(), c.connected);
        EXPECT_EQ(parts.ADOConnection1().databaseFile(), c.dataSource);
        EXPECT_EQ(dialogs.texts(), c.connected ? Names{std::string(kConnectedText)} : Names{});
    }
    EXPECT_EQ(dialogs.chooserTitles.front(), "Подключение базы данных Eplan");
    EXPECT_EQ(dialogs.chooserFilters.front(), "Eplan MDB base|*.mdb");
    const std::string expected =
        replaceAll(connectionTemplate(), "\"mybase\"", "\"" + utf8Of(spaced) + "\"");
    EXPECT_EQ(parts.ADOConnection1().connectionString(), expected);
}

TEST_F(Maintenance, AValidFileWithoutThePartsTablesConnectsAndFailsOnRemoval) {
    const fs::path other = file("other.mdb");
    execOn(other, "CREATE TABLE t(x)");
    connectTo(other);
    EXPECT_TRUE(parts.ADOConnection1().connected());
    try {
        parts.clearsql("AB");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.text(), "tblFunctionTemplate")) << e.what();
    }
}

TEST_F(Maintenance, QueryRebuildsParametersFromTheTextAndOpensAClosedConnection) {
    const fs::path db = file("p.mdb");
    makePartsDb(db, kRows);
    connectTo(db);
    parts.ADOConnection1().setConnected(false);
    AdoQuery& q = parts.ADOQuery1();
    q.sqlClear();
    q.sqlAdd("DELETE * from tblpart  where [tblpart].[manufacturer]=:k1");
    EXPECT_EQ(q.paramNames(), Names{"k1"});
    EXPECT_THROW(q.setParam("k2", "x"), Error);
    q.setParam("K1", "vOlNoR");  // names without regard to case
    EXPECT_EQ(q.execSql(), 1);
    EXPECT_TRUE(parts.ADOConnection1().connected());

    // Names inside literals are none; an apostrophe without its closing one hides nothing.
    struct Case {
        const char* sql;
        Names names;
    };
    const Case cases[] = {
        {"DELETE * from tblpart where typenr = ':k1'", {}},
        {"x = 'a'':k1' and y=:k2", {"k2"}},
        {"x = :a_1 and y = :B2 and z=:a_1", {"B2", "a_1"}},
        {"x = ': y = :k3", {"k3"}},
        {"x = : and y = :", {}},
    };
    for (const auto& c : cases) {
        q.sqlClear();
        q.sqlAdd(c.sql);
        EXPECT_EQ(q.paramNames(), c.names) << c.sql;
    }
    // The text is its lines, joined by line breaks.
    q.sqlClear();
    q.sqlAdd("DELETE * from tblpart");
    q.sqlAdd("where id=:k4");
    EXPECT_EQ(q.sqlText(), "DELETE * from tblpart\nwhere id=:k4");
    EXPECT_EQ(q.paramNames(), Names{"k4"});
}

TEST_F(Maintenance, ClearsqlRemovesMatchingPartsWithTheirRowsWhateverTheLetterCase) {
    struct Case {
        const char* pattern;
        Names left;
    };
    const Case cases[] = {
        {"ВА47-29", {"4", "5", "6", "7"}},  // start, middle and end; lower-case type number too
        {"ва47-29", {"4", "5", "6", "7"}},
        {"ва47", {"4", "6", "7"}},
        {"C16", {"1", "2", "3", "4", "5", "7"}},
        {"нет такого", {"1", "2", "3", "4", "5", "6", "7"}},
    };
    for (const auto& c : cases) {
        const fs::path db = file("c" + std::to_string(&c - cases) + ".mdb");
        makePartsDb(db, kRows);
        connectTo(db);
        parts.clearsql(c.pattern);
        parts.clearsql(c.pattern);  // a second call finds nothing more
        EXPECT_EQ(ids(db, "tblpart"), c.left) << c.pattern;
        EXPECT_EQ(ids(db, "tblVariant"), c.left) << c.pattern;
        EXPECT_EQ(ids(db, "tblFunctionTemplate"), c.left) << c.pattern;
    }
    EXPECT_EQ(parts.ADOQuery1().sqlText(),
              "DELETE * from tblpart  where [tblpart].[typenr]like '%нет такого%'");
}

TEST_F(Maintenance, AFailingStatementLeavesThatPatternsRowsAndKeepsEarlierRemovals) {
    // Without tblVariant the second statement fails; with the trigger the third one does.
    const fs::path noVariants = file("novariant.mdb");
    makePartsDb(noVariants, kRows, false);
    const fs::path trigger = file("trigger.mdb");
    makePartsDb(trigger, kRows);
    execOn(trigger,
           "CREATE TRIGGER keep BEFORE DELETE ON tblpart WHEN old.typenr LIKE '%29%' BEGIN "
           "SELECT RAISE(ABORT, 'part is protected'); END;");
    const Names all = {"1", "2", "3", "4", "5", "6", "7"};
    const Names withoutS201 = {"1", "2", "3", "4", "5", "7"};
    connectTo(noVariants);
    EXPECT_THROW(parts.clearsql("ВА47-29"), Error);
    EXPECT_EQ(ids(noVariants, "tblpart"), all);
    EXPECT_EQ(ids(noVariants, "tblFunctionTemplate"), all);

    connectTo(trigger);
    parts.clearsql("S201");  // an earlier pattern that succeeds
    EXPECT_THROW(parts.clearsql("ВА47-29"), Error);
    for (const char* table : {"tblpart", "tblVariant", "tblFunctionTemplate"})
        EXPECT_EQ(ids(trigger, table), withoutS201) << table;
    // No transaction was left open: the next pattern works and stays.
    parts.clearsql("KV-12");
    parts.ADOConnection1().setConnected(false);
    EXPECT_EQ(ids(trigger, "tblpart"), (Names{"1", "2", "3", "4", "5"}));
}

TEST_F(Maintenance, DfileTakesTheCountedTokensAndMatchesNamesExactly) {
    const Names files = {"VA47_a.ema", "va47_b.ema", "KM_c.ema",
                         "KM_d.EMA",   "VA47.txt",   "other.ema"};
    struct Case {
        int number;
        const char* list;
        Names left;
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
        fs::remove_all(macros);
        fs::create_directories(macros);
        makeMacros(files);
        parts.dfile(c.number, c.list);
        Names expected = c.left;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(macroFiles(), expected) << c.number << " " << c.list;
    }
}

TEST_F(Maintenance, DfileLeavesAMatchingDirectoryAndToleratesAMissingFolder) {
    fs::create_directories(macros / "VA47 dir.ema");
    makeMacros({"VA47_a.ema"});
    parts.dfile(1, "VA47;");
    EXPECT_EQ(macroFiles(), Names{"VA47 dir.ema"});
    fs::remove_all(macros);
    parts.dfile(1, "VA47;");
    EXPECT_FALSE(fs::exists(macros));
}

TEST_F(Maintenance, ContextMenuItemAppearsWithTheFirstCurrentNodeAndStays) {
    EXPECT_FALSE(parts.contextMenuVisible(std::nullopt));
    EXPECT_FALSE(parts.contextMenuVisible(std::string()));
    EXPECT_TRUE(parts.contextMenuVisible("Модульное оборудование"));
    EXPECT_TRUE(parts.contextMenuVisible(std::nullopt));
    EXPECT_TRUE(parts.groupRemovalVisible());
}

TEST_F(Maintenance, CompactionInPlaceLeavesOneSmallerFileUnderTheName) {
    const fs::path db = file("place.mdb");
    makePartsDb(db, kRows);
    execOn(db,
           "CREATE TABLE f(t);WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE "
           "i<500) INSERT INTO f SELECT randomblob(300) FROM n; DELETE FROM f;");
    const auto before = fileSize(db);
    parts.CompactDatabase_JRO(utf8Of(db), {}, {});
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_LT(fileSize(db), before);
    EXPECT_EQ(ids(db, "tblpart").size(), 7u);
    EXPECT_EQ(entryNames(dir.path()), (Names{"drive", "place.mdb"}));
}

TEST_F(Maintenance, CompactionOfABareNameWorksInTheCurrentDirectory) {
    {
        const CurrentDir inside(dir.path());
        makePartsDb("bare.mdb", kRows);
        parts.CompactDatabase_JRO("bare.mdb", {}, {});
    }
    EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
    EXPECT_EQ(entryNames(dir.path()), (Names{"bare.mdb", "drive"}));
    EXPECT_EQ(ids(file("bare.mdb"), "tblpart").size(), 7u);
}

TEST_F(Maintenance, CompactionToAGivenDestinationReplacesAnOldOneAndKeepsTheSource) {
    const fs::path db = file("src.mdb");
    makePartsDb(db, kRows);
    const std::string source = fileHash(db);
    const fs::path dest = file("dest.mdb");
    writeFile(dest, "an older file of that name");
    parts.CompactDatabase_JRO(utf8Of(db), utf8Of(dest), {});
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(fileHash(db), source);
    EXPECT_EQ(ids(dest, "tblpart").size(), 7u);
}

TEST_F(Maintenance, CompactionWithAPasswordGivesACopyWithTheSamePassword) {
    const fs::path db = file("pw.mdb");
    makePartsDb(db, kRows);
    posix::setDatabasePassword(db, "s3cret");
    parts.CompactDatabase_JRO(utf8Of(db), {}, "s3cret");
    EXPECT_TRUE(dialogs.shown.empty()) << join(dialogs.texts(), "|");
    const auto c = engine.connection();
    EXPECT_THROW(c->open(conn(db)), Error);
    c->open(conn(db, "s3cret"));
    EXPECT_TRUE(c->isOpen());
}

TEST_F(Maintenance, AFailedCompactionShowsOneMessageAndLeavesTheSource) {
    const fs::path db = file("keep.mdb");
    makePartsDb(db, kRows);
    const fs::path notDb = file("text.mdb");
    writeFile(notDb, "not a database, just text that fills more than a header would");
    const fs::path folderDest = file("taken");
    fs::create_directories(folderDest / "inside");
    struct Case {
        std::string db, dest, password;
    };
    const Case cases[] = {
        {utf8Of(notDb), {}, {}},  // the engine fails
        {utf8Of(db), {}, "x"},    // wrong password
        {utf8Of(file("missing.mdb")), {}, {}},
        {utf8Of(db), utf8Of(folderDest), {}},  // a folder, which cannot be replaced
        {utf8Of(db), utf8Of(db), {}},          // the destination is the source itself
        {utf8Of(db), utf8Of(dir.path()) + "/./keep.mdb", {}},  // the same, written otherwise
    };
    for (const auto& c : cases) {
        const std::string dbHash = fileHash(db), notDbHash = fileHash(notDb);
        dialogs.shown.clear();
        parts.CompactDatabase_JRO(c.db, c.dest, c.password);
        ASSERT_EQ(kinds(), std::vector{ShownBox::Kind::Message}) << c.db;
        EXPECT_FALSE(dialogs.shown[0].text.empty());
        EXPECT_EQ(fileHash(db), dbHash);
        EXPECT_EQ(fileHash(notDb), notDbHash);
        EXPECT_EQ(entryNames(dir.path()), (Names{"drive", "keep.mdb", "taken", "text.mdb"}))
            << dialogs.shown[0].text;
    }
}

TEST_F(Maintenance, AnInPlaceCompactionWithoutItsTemporaryFileSaysSoAndCreatesNothing) {
    // The database's folder is a file: no temporary file can be made beside the database.
    const fs::path notAFolder = file("plain.txt");
    writeFile(notAFolder, "x");
    const std::string db = utf8Of(notAFolder) + "/parts.mdb";
    parts.CompactDatabase_JRO(db, {}, {});
    ASSERT_EQ(kinds(), std::vector{ShownBox::Kind::Message});
    EXPECT_TRUE(contains(dialogs.shown[0].text, "Не удалось создать временный файл") &&
                contains(dialogs.shown[0].text, inQuotes(utf8Of(notAFolder) + "/")))
        << dialogs.shown[0].text;
    EXPECT_EQ(readFile(notAFolder), "x");
    EXPECT_EQ(entryNames(dir.path()), (Names{"drive", "plain.txt"}));
}

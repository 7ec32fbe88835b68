// The database stand-in: Jet's LIKE and text comparison in statements, opening by the provider's
// rules, passwords, errors, transactions and the compaction engine.
#include "platform/posix/jet_engine.h"

#include <gtest/gtest.h>

#include "partsdb/dbfixture.h"
#include "platform/posix/jet_statement.h"

using namespace volnor;
using namespace volnor::test;
using volnor::posix::JetEngine;

namespace {

class JetDb : public ::testing::Test {
protected:
    fs::path file(std::string_view name) const { return dir.file(name); }

    // The compaction engine writing `dest` from `source`, as a compaction to a destination does.
    void compact(const std::string& source, const std::string& dest) {
        engine.compaction(source)->writeCopy(dest);
    }

    TempDir dir;
    JetEngine engine;
};

}  // namespace

// Statements decide ASCII part numbers on the stored bytes and everything else by the full case
// folding: both roads must give the same answers as the matcher, across alphabets too.
TEST_F(JetDb, LikeFollowsJetWildcardsWithoutRegardToCase) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"%ва47%", "ВА47-29", true},
        {"%ВА47%", "ва47-29", true},
        {"%ёж%", "ЁЖИК", true},
        {"a_c", "ABC", true},
        {"a_c", "ac", false},
        {"a%", "a", true},
        {"%29", "ВА47-29", true},
        {"%29", "ВА47-290", false},
        {"%a%b%", "xAyBz", true},
        {"%ab%", "a b", false},
        {"", "", true},
        {"%", "", true},
        {"%ab-1%", "xAB-12", true},
        {"%AB-1%", "xab-12", true},
        {"%ab-1%", "xAB-2", false},
        {"%ab-1%", "ab-", false},
        {"%ва47%", "VA47-29", false},  // Latin look-alikes are other letters
        {"%\u212A1%", "k1", true},     // the Kelvin sign folds to an ASCII letter
        {"%k1%", "\u212A1", true},
        {"%\u017F%", "S", true},  // long s
        {"%é%", "É", true},
        {"%[x]%", "A[X]", true},
        {"_", "ж", true},  // one character, however many bytes it takes
    };
    const fs::path db = file("like.mdb");
    for (const auto& c : cases) {
        EXPECT_EQ(posix::likeMatches(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
        fs::remove(db);
        makePartsDb(db, {{1, c.text, "M"}});
        const auto connection = engine.connection();
        connection->open(conn(db));
        EXPECT_EQ(connection->execute("DELETE * from tblpart  where [tblpart].[typenr]like '" +
                                      std::string(c.pattern) + "'"),
                  c.match ? 1 : 0)
            << "in a statement: " << c.pattern << " ~ " << c.text;
    }
}

TEST_F(JetDb, TranslationRewritesJetsFormsAndLeavesLiteralsAlone) {
    struct Case {
        const char* jet;
        const char* sqlite;
    };
    const Case cases[] = {
        {"DELETE * from tblpart  where [tblpart].[typenr]like '%ВА47%'",
         "DELETE from tblpart  where \"tblpart\".\"typenr\"like '%ВА47%'"},
        {"  delete\t*\nFROM t", "  delete FROM t"},
        {"DELETE *from t", "DELETE *from t"},      // "*" needs blanks on both sides
        {"DELETE * fromage", "DELETE * fromage"},  // "from" is a whole word
        {"SELECT 'DELETE * from [x]'", "SELECT 'DELETE * from [x]'"},
        {"DELETE * from t where [m]=:k1", "DELETE from t where \"m\"=:k1 COLLATE JETTEXT"},
        {"x = 'it''s' and y=:имя2 ", "x = 'it''s' COLLATE JETTEXT and y=:имя2 COLLATE JETTEXT "},
        {"a<=:k and b!='x' and c==:k", "a<=:k and b!='x' and c==:k"},
        {"a= 'open", "a= 'open"},  // no collation after an unterminated literal
        {"[open", "[open"},
    };
    for (const auto& c : cases) EXPECT_EQ(posix::translateStatement(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetDb, OpenRefusesWhatIsNoUsableDatabaseAndNamesTheFile) {
    const fs::path good = file("good.mdb");
    makePartsDb(good, {});
    const fs::path text = file("text.mdb");
    writeFile(text, "this is no database at all, just some text to fill a page");
    const fs::path empty = file("empty.mdb");
    writeFile(empty, "");
    struct Case {
        std::string connection;
        std::string mustContain;
    };
    const Case cases[] = {
        {conn(file("missing.mdb")), utf8Of(file("missing.mdb"))},
        {conn(text), utf8Of(text)},
        {conn(empty), utf8Of(empty)},
        {conn(dir.path()), utf8Of(dir.path())},
        {"Provider=SQLOLEDB;Data Source=" + utf8Of(good), "SQLOLEDB"},
        {conn(good) + ";User ID=guest", "«guest»"},
        {conn(good, "secret"), utf8Of(good)},
    };
    for (const auto& c : cases) {
        const auto connection = engine.connection();
        const std::string why = errorOf([&] { connection->open(c.connection); });
        EXPECT_TRUE(contains(why, c.mustContain)) << c.connection << " -> " << why;
        EXPECT_FALSE(connection->isOpen());
    }
}

TEST_F(JetDb, PasswordMustMatchAndSurvivesCompaction) {
    const fs::path db = file("pw.mdb");
    makePartsDb(db, {{1, "A", "M"}});
    posix::setDatabasePassword(db, "Geheim");
    const auto c = engine.connection();
    EXPECT_NE(errorOf([&] { c->open(conn(db)); }), "<no error>");
    EXPECT_NE(errorOf([&] { c->open(conn(db, "geheim")); }), "<no error>");
    EXPECT_EQ(errorOf([&] { c->open(conn(db, "Geheim")); }), "<no error>");
    c->close();

    const fs::path copy = file("copy.mdb");
    compact(conn(db, "Geheim"), conn(copy, "Geheim"));
    EXPECT_NE(errorOf([&] { c->open(conn(copy)); }), "<no error>");
    EXPECT_EQ(errorOf([&] { c->open(conn(copy, "Geheim")); }), "<no error>");
}

TEST_F(JetDb, APasswordThatCannotBeWrittenIsAnErrorNamingTheFile) {
    const fs::path db = file("held.mdb");
    makePartsDb(db, {});
    sqlite3* holder = nullptr;
    sqlite3_open(db.c_str(), &holder);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string why = errorOf([&] { posix::setDatabasePassword(db, "pw"); });
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(contains(why, utf8Of(db))) << why;
    const auto c = engine.connection();
    EXPECT_EQ(errorOf([&] { c->open(conn(db)); }), "<no error>");  // still without a password
}

TEST_F(JetDb, LockedDatabaseIsReportedWithItsName) {
    const fs::path db = file("locked.mdb");
    makePartsDb(db, {});
    sqlite3* holder = nullptr;
    sqlite3_open(db.c_str(), &holder);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto c = engine.connection();
    const std::string text = errorOf([&] { c->open(conn(db)); });
    EXPECT_TRUE(contains(text, utf8Of(db)) && contains(text, "занята")) << text;
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(errorOf([&] { c->open(conn(db)); }), "<no error>");
}

TEST_F(JetDb, RunsTheProgramsStatementFormsWithJetTextSemantics) {
    const fs::path db = file("parts.mdb");
    makePartsDb(db, {{1, "x", "ВОЛНОР"},
                     {2, "x", "волнор"},
                     {3, "x", "VOLNOR"},
                     {4, "x", ""},
                     {5, "x", "ВОЛНОР "}});
    execOn(db, "UPDATE tblpart SET manufacturer=NULL WHERE id=4");
    const auto c = engine.connection();
    c->open(conn(db));
    const std::map<std::string, std::string> k1{{"k1", "ВОЛНОР"}};
    EXPECT_EQ(c->execute("DELETE * from tblVariant  where id in (select id from tblpart where "
                         "[tblpart].[manufacturer]=:k1)",
                         k1),
              2);
    EXPECT_EQ(c->execute("DELETE * from tblpart  where [tblpart].[manufacturer]=:K1", k1), 2);
    EXPECT_EQ(ids(db, "tblpart"), (std::vector<std::string>{"3", "4", "5"}));
    EXPECT_EQ(ids(db, "tblVariant"), (std::vector<std::string>{"3", "4", "5"}));
    // Literals keep brackets and apostrophes; "=" against a literal ignores case as well.
    EXPECT_EQ(c->execute("DELETE * from tblpart where [manufacturer] = 'volnor' or typenr = "
                         "'[x]'''"),
              1);
    EXPECT_EQ(ids(db, "tblpart"), (std::vector<std::string>{"4", "5"}));
}

TEST_F(JetDb, ErrorsCarryTheProvidersTextAndTransactionsRollBack) {
    const fs::path db = file("parts.mdb");
    makePartsDb(db, {{1, "ab", "M"}});
    const auto c = engine.connection();
    c->open(conn(db));
    const std::string missing = errorOf([&] { c->execute("DELETE * from tblNope"); });
    EXPECT_TRUE(contains(missing, "«tblNope»") && contains(missing, utf8Of(db))) << missing;
    EXPECT_TRUE(contains(errorOf([&] { c->execute("DELETE * from tblpart where id=:x"); }), "«x»"));

    c->beginTransaction();
    EXPECT_EQ(c->execute("DELETE * from tblpart"), 1);
    c->rollback();
    EXPECT_EQ(ids(db, "tblpart"), std::vector<std::string>{"1"});
    // No collation or function of the stand-in is written into the schema.
    EXPECT_FALSE(
        contains(column(db, "SELECT group_concat(sql) FROM sqlite_master").at(0), "JETTEXT"));
}

TEST_F(JetDb, CompactionWritesACheckedCopyAndLeavesTheSource) {
    const fs::path db = file("big.mdb");
    makePartsDb(db, {});
    execOn(db,
           "CREATE TABLE filler(t TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000) INSERT "
           "INTO filler SELECT hex(randomblob(200)) FROM n;"
           "DELETE FROM filler WHERE rowid > 10;"
           "INSERT INTO tblpart VALUES(7,'t','m');");
    const std::string before = fileHash(db);
    const fs::path copy = file("small.mdb");
    compact(conn(db), conn(copy));
    EXPECT_EQ(fileHash(db), before);
    EXPECT_LT(fileSize(copy), fileSize(db));
    EXPECT_EQ(ids(copy, "tblpart"), std::vector<std::string>{"7"});
    EXPECT_EQ(column(copy, "SELECT count(*) FROM filler"), std::vector<std::string>{"10"});
}

TEST_F(JetDb, CompactionFailuresCarryATextAndLeaveNoCopy) {
    const fs::path db = file("src.mdb");
    makePartsDb(db, {});
    const fs::path text = file("text.mdb");
    writeFile(text, "plain text, no database here, only words and more words");
    const fs::path existing = file("existing.mdb");
    writeFile(existing, "keep me");
    struct Case {
        std::string source, dest, mustContain;
        fs::path destAfter;  // the destination file that must not exist afterwards, if any
    };
    const Case cases[] = {
        {conn(file("none.mdb")), conn(file("d1.mdb")), utf8Of(file("none.mdb")), file("d1.mdb")},
        {conn(text), conn(file("d2.mdb")), utf8Of(text), file("d2.mdb")},
        {conn(db, "pw"), conn(file("d3.mdb"), "pw"), "Пароль", file("d3.mdb")},
        {conn(db), conn(existing), utf8Of(existing), {}},
        {conn(db), conn(file("no/such/folder/d4.mdb")), utf8Of(file("no/such/folder/d4.mdb")), {}},
    };
    for (const auto& c : cases) {
        const std::string why = errorOf([&] { compact(c.source, c.dest); });
        EXPECT_TRUE(contains(why, c.mustContain)) << why;
        if (!c.destAfter.empty()) {
            EXPECT_FALSE(fs::exists(c.destAfter)) << why;
        }
    }
    EXPECT_EQ(readFile(existing), "keep me");
    EXPECT_EQ(entryNames(dir.path()),
              (std::vector<std::string>{"existing.mdb", "src.mdb", "text.mdb"}));
}

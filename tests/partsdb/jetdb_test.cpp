#include "platform/jetdb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "partsdb/dbfixture.h"
#include "platform/error.h"

using namespace volnor;
using volnor::test::column;
using volnor::test::fileHash;
using volnor::test::ids;
using volnor::test::makePartsDb;

namespace {

QString conn(const QString& path, const QString& password = {}) {
    QString s = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
    if (!password.isEmpty()) s += QStringLiteral(";Jet OLEDB:Database Password=") + password;
    return s;
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

class JetDb : public ::testing::Test {
protected:
    QString file(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

}  // namespace

TEST(ConnectionString, ParsesOleDbRules) {
    const auto o = jet::parseConnectionString(QStringLiteral(
        "PROVIDER=Microsoft.Jet.OLEDB.4.0; user id = Admin ;Data Source=\"C:\\a b\\x;y.mdb\";"
        "Jet OLEDB:Database Password=\"he said \"\"hi\"\"\";Empty=\"\";;Bare=v"));
    EXPECT_EQ(o.at("provider"), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(o.at("user id"), "Admin");
    EXPECT_EQ(o.at("data source"), "C:\\a b\\x;y.mdb");
    EXPECT_EQ(o.at("jet oledb:database password"), "he said \"hi\"");
    EXPECT_EQ(o.at("empty"), "");
    EXPECT_EQ(o.at("bare"), "v");
}

TEST(ConnectionString, RejectsMalformedOptions) {
    for (const char* bad : {"Data Source=\"open", "Provider=x;junk;", "Data Source=\"a\"b;"})
        EXPECT_NE(errorOf([&] { jet::parseConnectionString(QString::fromUtf8(bad)); }),
                  "<no error>")
            << bad;
}

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
        {"%\u212A1%", "k1", true},  // the Kelvin sign folds to an ASCII letter
        {"%k1%", "\u212A1", true},
        {"%\u017F%", "S", true},  // long s
        {"%é%", "É", true},
        {"%[x]%", "A[X]", true},
    };
    const QString db = file("like.mdb");
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QString pattern = QString::fromUtf8(c.pattern);
        EXPECT_EQ(jet::likeMatches(pattern, text), c.match) << c.pattern << " ~ " << c.text;
        QFile::remove(db);
        makePartsDb(db, {{1, text, QStringLiteral("M")}});
        jet::Connection connection;
        connection.open(conn(db));
        EXPECT_EQ(connection.execute(QStringLiteral("DELETE * from tblpart  where "
                                                    "[tblpart].[typenr]like '") +
                                     pattern + u'\''),
                  c.match ? 1 : 0)
            << "in a statement: " << c.pattern << " ~ " << c.text;
    }
}

TEST_F(JetDb, OpenRefusesWhatIsNoUsableDatabaseAndNamesTheFile) {
    const QString good = file("good.mdb");
    makePartsDb(good, {});
    const QString text = file("text.mdb");
    volnor::test::writeFile(text, "this is no database at all, just some text to fill a page");
    const QString empty = file("empty.mdb");
    volnor::test::writeFile(empty, "");
    struct Case {
        QString connection;
        QString mustContain;
    };
    const Case cases[] = {
        {conn(file("missing.mdb")), file("missing.mdb")},
        {conn(text), text},
        {conn(empty), empty},
        {conn(dir.path()), dir.path()},
        {QStringLiteral("Provider=SQLOLEDB;Data Source=") + good, QStringLiteral("SQLOLEDB")},
        {conn(good) + QStringLiteral(";User ID=guest"), QStringLiteral("account")},
        {conn(good, QStringLiteral("secret")), good},
    };
    for (const auto& c : cases) {
        jet::Connection connection;
        EXPECT_TRUE(errorOf([&] { connection.open(c.connection); }).contains(c.mustContain))
            << c.connection.toStdString() << " -> "
            << errorOf([&] { connection.open(c.connection); }).toStdString();
        EXPECT_FALSE(connection.isOpen());
    }
}

TEST_F(JetDb, PasswordMustMatchAndSurvivesCompaction) {
    const QString db = file("pw.mdb");
    makePartsDb(db, {{1, QStringLiteral("A"), QStringLiteral("M")}});
    {
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(db).constData(), &raw);
        jet::setDatabasePassword(raw, QStringLiteral("Geheim"));
        sqlite3_close(raw);
    }
    jet::Connection c;
    EXPECT_NE(errorOf([&] { c.open(conn(db)); }), "<no error>");
    EXPECT_NE(errorOf([&] { c.open(conn(db, QStringLiteral("geheim"))); }), "<no error>");
    EXPECT_EQ(errorOf([&] { c.open(conn(db, QStringLiteral("Geheim"))); }), "<no error>");
    c.close();

    const QString copy = file("copy.mdb");
    jet::compactDatabase(conn(db, QStringLiteral("Geheim")), conn(copy, QStringLiteral("Geheim")));
    EXPECT_NE(errorOf([&] { c.open(conn(copy)); }), "<no error>");
    EXPECT_EQ(errorOf([&] { c.open(conn(copy, QStringLiteral("Geheim"))); }), "<no error>");
}

TEST_F(JetDb, LockedDatabaseIsReportedWithItsName) {
    const QString db = file("locked.mdb");
    makePartsDb(db, {});
    sqlite3* holder = nullptr;
    sqlite3_open(QFile::encodeName(db).constData(), &holder);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    jet::Connection c;
    const QString text = errorOf([&] { c.open(conn(db)); });
    EXPECT_TRUE(text.contains(db) && text.contains(QStringLiteral("exclusively")))
        << text.toStdString();
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(errorOf([&] { c.open(conn(db)); }), "<no error>");
}

TEST_F(JetDb, RunsTheProgramsStatementFormsWithJetTextSemantics) {
    const QString db = file("parts.mdb");
    makePartsDb(db, {{1, QStringLiteral("x"), QStringLiteral("ВОЛНОР")},
                     {2, QStringLiteral("x"), QStringLiteral("волнор")},
                     {3, QStringLiteral("x"), QStringLiteral("VOLNOR")},
                     {4, QStringLiteral("x"), QString()},
                     {5, QStringLiteral("x"), QStringLiteral("ВОЛНОР ")}});
    volnor::test::execOn(db, QStringLiteral("UPDATE tblpart SET manufacturer=NULL WHERE id=4"));
    jet::Connection c;
    c.open(conn(db));
    const std::map<QString, QString> k1{{QStringLiteral("k1"), QStringLiteral("ВОЛНОР")}};
    EXPECT_EQ(c.execute(QStringLiteral("DELETE * from tblVariant  where id in (select id from "
                                       "tblpart where [tblpart].[manufacturer]=:k1)"),
                        k1),
              2);
    EXPECT_EQ(
        c.execute(QStringLiteral("DELETE * from tblpart  where [tblpart].[manufacturer]=:K1"), k1),
        2);
    EXPECT_EQ(ids(db, "tblpart"), QStringList({"3", "4", "5"}));
    EXPECT_EQ(ids(db, "tblVariant"), QStringList({"3", "4", "5"}));
    // Literals keep brackets and apostrophes; "=" against a literal ignores case as well.
    EXPECT_EQ(c.execute(QStringLiteral("DELETE * from tblpart where [manufacturer] = 'volnor' or "
                                       "typenr = '[x]'''")),
              1);
    EXPECT_EQ(ids(db, "tblpart"), QStringList({"4", "5"}));
}

TEST_F(JetDb, ErrorsCarryTheProvidersTextAndTransactionsRollBack) {
    const QString db = file("parts.mdb");
    makePartsDb(db, {{1, QStringLiteral("ab"), QStringLiteral("M")}});
    jet::Connection c;
    c.open(conn(db));
    const QString missing = errorOf([&] { c.execute(QStringLiteral("DELETE * from tblNope")); });
    EXPECT_TRUE(missing.contains(QStringLiteral("'tblNope'")) && missing.contains(db))
        << missing.toStdString();
    EXPECT_TRUE(errorOf([&] {
                    c.execute(QStringLiteral("DELETE * from tblpart where id=:x"));
                }).contains(QStringLiteral("'x'")));

    c.beginTransaction();
    EXPECT_EQ(c.execute(QStringLiteral("DELETE * from tblpart")), 1);
    c.rollback();
    EXPECT_EQ(ids(db, "tblpart"), QStringList({"1"}));
    // No collation or function of the stand-in is written into the schema.
    EXPECT_FALSE(column(db, QStringLiteral("SELECT group_concat(sql) FROM sqlite_master"))
                     .join(u' ')
                     .contains(QStringLiteral("JETTEXT")));
}

TEST_F(JetDb, CompactionWritesACheckedCopyAndLeavesTheSource) {
    const QString db = file("big.mdb");
    makePartsDb(db, {});
    volnor::test::execOn(db, QStringLiteral("CREATE TABLE filler(t TEXT);"
                                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 "
                                            "FROM n WHERE i<2000) INSERT INTO filler "
                                            "SELECT hex(randomblob(200)) FROM n;"
                                            "DELETE FROM filler WHERE rowid > 10;"
                                            "INSERT INTO tblpart VALUES(7,'t','m');"));
    const QByteArray before = fileHash(db);
    const QString copy = file("small.mdb");
    jet::compactDatabase(conn(db), conn(copy));
    EXPECT_EQ(fileHash(db), before);
    EXPECT_LT(QFileInfo(copy).size(), QFileInfo(db).size());
    EXPECT_EQ(ids(copy, "tblpart"), QStringList({"7"}));
    EXPECT_EQ(column(copy, QStringLiteral("SELECT count(*) FROM filler")), QStringList({"10"}));
}

TEST_F(JetDb, CompactionFailuresCarryATextAndLeaveNoCopy) {
    const QString db = file("src.mdb");
    makePartsDb(db, {});
    const QString text = file("text.mdb");
    volnor::test::writeFile(text, "plain text, no database here, only words and more words");
    const QString existing = file("existing.mdb");
    volnor::test::writeFile(existing, "keep me");
    struct Case {
        QString source, dest, mustContain;
        QString destAfter;  // the destination file that must not exist afterwards, if any
    };
    const Case cases[] = {
        {conn(file("none.mdb")), conn(file("d1.mdb")), file("none.mdb"), file("d1.mdb")},
        {conn(text), conn(file("d2.mdb")), text, file("d2.mdb")},
        {conn(db, QStringLiteral("pw")), conn(file("d3.mdb"), QStringLiteral("pw")),
         QStringLiteral("password"), file("d3.mdb")},
        {conn(db), conn(existing), existing, {}},
        {conn(db), conn(file("no/such/folder/d4.mdb")), file("no/such/folder/d4.mdb"), {}},
    };
    for (const auto& c : cases) {
        const QString why = errorOf([&] { jet::compactDatabase(c.source, c.dest); });
        EXPECT_TRUE(why.contains(c.mustContain)) << why.toStdString();
        if (!c.destAfter.isEmpty()) {
            EXPECT_FALSE(QFileInfo::exists(c.destAfter)) << why.toStdString();
        }
    }
    EXPECT_EQ(fileHash(existing), QCryptographicHash::hash("keep me", QCryptographicHash::Sha256));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // src, text, existing
}

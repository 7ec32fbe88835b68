// What the user reads when the parts-database commands, the database engine or the compaction
// fail: every failure the tests can bring about, as the window would show it (the error report
// or the compaction's message box), in Russian and naming the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/app.h"
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

namespace {

using Texts = std::vector<std::string>;

// A connection of another program that holds the database with an open transaction.
class Writer {
public:
    Writer(const fs::path& path, const char* begin) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        ok_ = sqlite3_exec(db_, begin, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Writer() { sqlite3_close(db_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    bool ok() const { return ok_; }

private:
    sqlite3* db_ = nullptr;
    bool ok_ = false;
};

// The first page of an Access file: a version number, then the engine's signature.
std::string accessHeader(std::string_view signature) {
    std::string page(2048, '\0');
    page[1] = '\x01';
    page.replace(4, signature.size(), signature);
    return page;
}

// What makes `text` no Russian text, empty when it is one: it must hold Cyrillic letters, and no
// two Latin words in a row once the names and the technical detail in brackets are taken out.
std::string englishIn(std::string text, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (!name.empty()) text = replaceAll(text, name, " ");
    std::string plain;
    int depth = 0;
    for (const char c : text) {
        if (c == '(') ++depth;
        if (depth == 0) plain += c;
        if (c == ')' && depth > 0) --depth;
    }
    const std::u16string units = toUtf16(plain);
    if (std::none_of(units.begin(), units.end(),
                     [](char16_t c) { return c >= 0x400 && c <= 0x4FF; }))
        return "no Cyrillic in: " + plain;
    for (const char* mark : {"«", "»", "—"}) plain = replaceAll(plain, mark, " ");
    std::string previous;
    for (std::string word : split(plain, ' ', true)) {
        while (!word.empty() && std::string_view(".,:;!?").find(word.back()) != std::string::npos)
            word.pop_back();
        const bool latin = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        });
        if (latin && !previous.empty()) return previous + " " + word;
        previous = latin ? word : std::string();
    }
    return {};
}

class UserTexts : public PartsCommandsTest {
protected:
    UserTexts() {
        fs::create_directories(paths.native(std::string(kMacroFolder)));
    }

    fs::path file(std::string_view name) const { return dir.file(name); }

    // What the window shows while `run` runs: the message boxes, then the error report.
    Texts shown(const std::function<void()>& run) {
        dialogs.shown.clear();
        Texts out;
        try {
            run();
        } catch (...) {
            out.push_back(app::errorReportText(std::current_exception()));
        }
        Texts boxes;
        for (const ShownBox& box : dialogs.shown)
            if (box.kind == ShownBox::Kind::Message) boxes.push_back(box.text);
        out.insert(out.begin(), boxes.begin(), boxes.end());
        return out;
    }

    // "путь к базе" with `path`: it fails, the connection stays closed and the current directory
    // is the one before.
    void choose(const fs::path& path) {
        const CurrentDir inside(dir.path());
        dialogs.nextFiles.push_back(utf8Of(path));
        try {
            parts.chooseDatabase();
        } catch (...) {
            EXPECT_EQ(fs::current_path(), dir.path());
            EXPECT_FALSE(parts.ADOConnection1().connected());
            EXPECT_EQ(parts.ADOConnection1().databaseFile(), utf8Of(path));
            throw;
        }
        ADD_FAILURE() << "connected to " << path;
    }
    void connect(const fs::path& path) {
        dialogs.nextFiles.push_back(utf8Of(path));
        parts.chooseDatabase();
    }
    void compact(const fs::path& db, const std::string& dest = {}, const std::string& pw = {}) {
        parts.CompactDatabase_JRO(utf8Of(db), dest, pw);
    }

};

}  // namespace

TEST_F(UserTexts, EveryFailureIsShownInRussianAndNamesItsFile) {
    const fs::path parts3 = file("Базы деталей/ESS_part001.mdb");
    fs::create_directories(parts3.parent_path());
    sampledb::makeSampleDatabase(parts3, 300);
    auto sample = [&](const char* name, int count = 300) {
        const fs::path db = file(name);
        sampledb::makeSampleDatabase(db, count);
        return db;
    };
    const fs::path text = file("text.mdb");
    writeFile(text, "no database here, only some words that fill more than a header");
    const fs::path jet = file("jet.mdb");
    writeFile(jet, accessHeader("Standard Jet DB"));
    const fs::path ace = file("ace.accdb");
    writeFile(ace, accessHeader("Standard ACE DB"));
    const fs::path noTables = file("other.mdb");
    execOn(noTables, "CREATE TABLE t(x)");
    const fs::path locked = file("locked.mdb");
    const fs::path notAFolder = file("plain.txt");
    writeFile(notAFolder, "x");
    const fs::path folderDest = file("taken");
    fs::create_directories(folderDest);
    const std::string firstKey = removalTable().front().key;

    struct Case {
        const char* name;
        std::function<Texts()> run;
        std::string file;     // the file every text names; empty for none
        std::string mention;  // a further word the text must hold
    };
    const Case cases[] = {
        {"chosen file missing", [&] { return shown([&] { choose(file("нет.mdb")); }); },
         utf8Of(file("нет.mdb")), "не найден"},
        {"chosen file is text", [&] { return shown([&] { choose(text); }); }, utf8Of(text),
         "не является базой данных"},
        {"chosen file is empty",
         [&] {
             writeFile(file("empty.mdb"), "");
             return shown([&] { choose(file("empty.mdb")); });
         },
         utf8Of(file("empty.mdb")), "не является базой данных"},
        {"chosen file is a folder", [&] { return shown([&] { choose(folderDest); }); },
         utf8Of(folderDest), "папка"},
        {"chosen Access file (Jet)", [&] { return shown([&] { choose(jet); }); }, utf8Of(jet),
         "Windows"},
        {"chosen Access file (ACE)", [&] { return shown([&] { choose(ace); }); }, utf8Of(ace),
         "Windows"},
        {"chosen database has a password",
         [&] {
             const fs::path db = sample("pw.mdb");
             posix::setDatabasePassword(db, "geheim");
             return shown([&] { choose(db); });
         },
         utf8Of(file("pw.mdb")), "Пароль"},
        {"chosen database is locked by a writer",
         [&] {
             makePartsDb(locked, {});
             const Writer writer(locked, "BEGIN EXCLUSIVE");
             EXPECT_TRUE(writer.ok());
             return shown([&] { choose(locked); });
         },
         utf8Of(locked), "занята"},
        {"removal from a database without the parts tables",
         [&] {
             connect(noTables);
             return shown([&] { parts.removeGroup(firstKey); });
         },
         utf8Of(noTables), "«tblFunctionTemplate»"},
        {"removal while a writer holds the database",
         [&] {
             connect(parts3);
             const Writer writer(parts3, "BEGIN IMMEDIATE");
             EXPECT_TRUE(writer.ok());
             return shown([&] { parts.removeAllMakerParts(); });
         },
         utf8Of(parts3), "занята"},
        {"removal on a full disk",
         [&] {
             const fs::path db = sample("full.mdb", 2000);
             connect(db);
             const FileSizeLimit full(4096);
             return shown([&] { parts.removeAllMakerParts(); });
         },
         utf8Of(file("full.mdb")), ""},
        {"group removal before any choice",
         [&] {
             PartsMaintenance fresh(dialogs, engine, files, paths);
             return shown([&] { fresh.removeGroup(firstKey); });
         },
         "", "«путь к базе»"},
        {"group removal of a node without an entry before any choice",
         [&] {
             PartsMaintenance fresh(dialogs, engine, files, paths);
             return shown([&] { fresh.removeGroup("Узел без записи в таблице"); });
         },
         "", "«путь к базе»"},
        {"removal of all before any choice",
         [&] {
             PartsMaintenance fresh(dialogs, engine, files, paths);
             return shown([&] { fresh.removeAllMakerParts(); });
         },
         "", "«путь к базе»"},
        {"compaction of a missing file", [&] { return shown([&] { compact(file("нет.mdb")); }); },
         utf8Of(file("нет.mdb")), ""},
        {"compaction of an Access file", [&] { return shown([&] { compact(jet); }); }, utf8Of(jet),
         "Windows"},
        {"compaction with a wrong password",
         [&] { return shown([&] { compact(parts3, {}, "x"); }); }, utf8Of(parts3), ""},
        {"compaction while a writer holds the database",
         [&] {
             const Writer writer(parts3, "BEGIN IMMEDIATE");
             EXPECT_TRUE(writer.ok());
             return shown([&] { compact(parts3); });
         },
         utf8Of(parts3), "занята"},
        {"compaction while another connection keeps the file open",
         [&] {
             const Writer idle(parts3, "SELECT count(*) FROM tblpart");
             EXPECT_TRUE(idle.ok());
             return shown([&] { compact(parts3); });
         },
         utf8Of(parts3), "открыт другой программой"},
        {"compaction on a full disk",
         [&] {
             const fs::path db = sample("big.mdb", 3000);
             const FileSizeLimit full(64 * 1024);
             return shown([&] { compact(db); });
         },
         utf8Of(file("big.mdb")), "не хватает места"},
        {"compaction without room for its temporary file",
         [&] { return shown([&] { compact(notAFolder / "parts.mdb"); }); }, utf8Of(notAFolder), ""},
        {"compaction onto the database itself",
         [&] { return shown([&] { compact(parts3, utf8Of(parts3)); }); }, utf8Of(parts3), ""},
        {"compaction onto a folder",
         [&] { return shown([&] { compact(parts3, utf8Of(folderDest)); }); }, utf8Of(folderDest),
         ""},
        {"group removal whose compaction finds a writer",
         [&] {
             connect(parts3);
             Writer writer(parts3, "BEGIN IMMEDIATE");
             EXPECT_TRUE(writer.ok());
             return shown([&] { parts.removeGroup("Узел без записи в таблице"); });
         },
         utf8Of(parts3), "сжатие не выполнено"},
    };
    for (const auto& c : cases) {
        const Texts texts = c.run();
        ASSERT_FALSE(texts.empty()) << c.name << ": nothing shown";
        for (const std::string& t : texts) {
            EXPECT_EQ(englishIn(t, {c.file}), "") << c.name << ": " << t;
            EXPECT_TRUE(contains(t, c.file)) << c.name << ": " << t;
        }
        EXPECT_TRUE(contains(texts.back(), c.mention)) << c.name << ": " << texts.back();
    }
    // The check itself tells English from Russian with a technical detail.
    EXPECT_NE(englishIn("Unrecognized database format «/x».", {"/x"}), "");
    EXPECT_NE(englishIn("База «/x» занята. Make sure it exists.", {"/x"}), "");
    EXPECT_EQ(englishIn("База «/x» занята (database is locked).", {"/x"}), "");
}

// An Access file is known by its signature at byte 4 alone.
TEST_F(UserTexts, AnAccessFileIsKnownByTheSignatureAtItsPlace) {
    struct Case {
        const char* name;
        std::string bytes;
        bool access;
    };
    const Case cases[] = {
        {"Jet", accessHeader("Standard Jet DB"), true},
        {"ACE", accessHeader("Standard ACE DB"), true},
        {"header only", accessHeader("Standard Jet DB").substr(0, 19), true},
        {"cut short", accessHeader("Standard Jet DB").substr(0, 18), false},
        {"elsewhere", "xx" + accessHeader("Standard Jet DB"), false},
        {"other case", accessHeader("standard jet db"), false},
    };
    const fs::path db = file("ESS_part001.mdb");
    for (const auto& c : cases) {
        writeFile(db, c.bytes);
        const auto connection = engine.connection();
        const std::string why = errorOf([&] { connection->open(conn(db)); });
        EXPECT_EQ(contains(why, "Access"), c.access) << c.name << ": " << why;
        EXPECT_TRUE(contains(why, utf8Of(db))) << c.name << ": " << why;
    }
}

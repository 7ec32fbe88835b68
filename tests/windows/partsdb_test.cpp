// The parts-database commands over ADO under Wine, which has neither the Jet 4.0 provider nor
// JRO: every command that needs the database says so in Russian, naming the provider, leaves the
// database and its folder as they were, and the program goes on. And the compaction's own file
// handling around JRO, which runs here for real.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "platform/file_search.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32/ado_engine.h"
#include "support/files.h"

namespace volnor::test {
namespace {

using Names = std::vector<std::string>;

// Modal boxes answered in advance and recorded: a box would block the test.
class RecordedDialogs : public Dialogs {
public:
    void confirm(const std::string& text) override { shown.push_back("confirm: " + text); }
    void warning(const std::string& text) override { shown.push_back("warning: " + text); }
    void showMessage(const std::string& text) override { shown.push_back("message: " + text); }
    void errorReport(const std::string&, const std::string& text) override {
        shown.push_back("error: " + text);
    }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override {
        return chosen;
    }
    std::optional<std::string> chosen;
    Names shown;
};

// The macro folder's search: a command that stops at the database never gets to it.
class CountedSearch : public FileSearch {
public:
    Names find(const fs::path&, std::string_view) const override {
        ++searches;
        return {};
    }
    mutable int searches = 0;
};

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.text();
    }
    return "<no error>";
}

std::string conn(const fs::path& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + utf8Of(file);
}

// The first page of a Jet 4.0 file, enough to be taken for one; no provider reads it here.
std::string jetBytes() {
    std::string bytes("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24);
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>(i * 7));
    return bytes;
}

// A handle as another program's Jet holds the database: reading and writing, sharing both.
class HeldOpen {
public:
    explicit HeldOpen(const fs::path& file)
        : handle_(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class PartsDbUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        // The window's thread is a single-threaded apartment; so is the test's.
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        writeFile(database, bytes);
    }
    void TearDown() override {
        parts.reset();
        CoUninitialize();
    }

    std::string providerText() const {
        return "База данных «" + utf8Of(database) +
               "» не открыта: в системе нет поставщика данных «Microsoft.Jet.OLEDB.4.0» "
               "(HRESULT 0x800401F3). Удаление деталей из базы требует поставщика Jet 4.0, "
               "который входит в состав Windows для 32-разрядных программ; без него удалять "
               "детали из базы нельзя.";
    }
    std::string engineText() const {
        return "Базу данных «" + utf8Of(database) +
               "» не удалось сжать: в системе нет компонента сжатия «JRO.JetEngine» (Microsoft "
               "Jet and Replication Objects) (HRESULT 0x800401F3). Этот компонент входит в "
               "состав Windows для 32-разрядных программ; без него удалять детали из базы "
               "нельзя. База данных «" +
               utf8Of(database) + "» осталась как была, только не сжата.";
    }

    // The database and its folder exactly as the test made them.
    void expectUntouched(const char* what) const {
        EXPECT_EQ(readFile(database), bytes) << what;
        EXPECT_EQ(entryNames(database.parent_path()), Names{"ESS_part001.mdb"}) << what;
    }

    TempDir dir;
    // As the system's file chooser gives it, and as the engine names it.
    const fs::path database = dir.file("База деталей/ESS_part001.mdb").lexically_normal();
    const std::string bytes = jetBytes();
    win32::AdoEngine engine;
    RecordedDialogs dialogs;
    CountedSearch search;
    std::optional<partsdb::PartsMaintenance> parts{std::in_place, dialogs, engine, search,
                                                   WinPaths(dir.file("C"))};
};

TEST_F(PartsDbUnderWine, EveryCommandSaysTheProviderIsMissingAndChangesNothing) {
    std::string groupWithEntry = partsdb::removalTable().front().key;
    struct Case {
        const char* what;
        std::function<void()> run;
        Names shown;  // the boxes before the error, which ends the command
    };
    const Case cases[] = {
        {"путь к базе", [&] { parts->chooseDatabase(); }, {}},
        {"Удаление группы", [&] { parts->removeGroup(groupWithEntry); }, {}},
        {"удалить всю базу", [&] { parts->removeAllMakerParts(); }, {}},
        // Nothing to delete, so the compaction comes first, which fails and says so; then
        // opening the database again fails.
        {"Удаление группы без своих деталей",
         [&] { parts->removeGroup("Узел без записи"); },
         {"message: " + engineText()}},
    };
    dialogs.chosen = utf8Of(database);
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    // Twice each: a failed command leaves the program able to run the next one the same way.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            dialogs.shown.clear();
            EXPECT_EQ(errorOf(c.run), providerText()) << c.what;
            EXPECT_EQ(dialogs.shown, c.shown) << c.what;
            EXPECT_FALSE(parts->ADOConnection1().connected()) << c.what;
            EXPECT_EQ(fs::current_path(ec), current) << c.what;
            expectUntouched(c.what);
        }
    }
    EXPECT_EQ(search.searches, 0);  // no macro file was looked at, let alone deleted
    // The failed choice kept the chosen file as the data source.
    EXPECT_EQ(parts->ADOConnection1().databaseFile(), utf8Of(database));
}

TEST_F(PartsDbUnderWine, WhatIsNoDatabaseFileIsSaidBeforeTheProvider) {
    const fs::path missing = dir.file("База деталей/нет такой.mdb").lexically_normal();
    const fs::path folder = database.parent_path();
    const auto connection = engine.connection();
    struct Case {
        const char* what;
        std::function<void()> run;
        std::string text;
    };
    const Case cases[] = {
        {"a missing file", [&] { connection->open(conn(missing)); },
         "Файл базы данных «" + utf8Of(missing) +
             "» не найден. Выберите файл базы деталей (обычно ESS_part001.mdb) и подключите его "
             "заново."},
        {"a folder", [&] { connection->open(conn(folder)); },
         "«" + utf8Of(folder) +
             "» — папка, а не файл базы данных. Выберите файл базы деталей (обычно "
             "ESS_part001.mdb) и подключите его заново."},
        {"no data source", [&] { connection->open("Provider=Microsoft.Jet.OLEDB.4.0;"); },
         "В строке подключения не указан файл базы данных. Выберите файл базы деталей (обычно "
         "ESS_part001.mdb) и подключите его заново."},
        {"a statement on a closed connection",
         [&] { connection->execute("DELETE * from tblpart", {}); },
         "Подключение к базе данных закрыто, команда не выполнена. Подключите базу заново."},
        {"a transaction on a closed connection", [&] { connection->beginTransaction(); },
         "Подключение к базе данных закрыто, команда не выполнена. Подключите базу заново."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(c.run), c.text) << c.what;
        EXPECT_FALSE(connection->isOpen()) << c.what;
    }
    EXPECT_NO_THROW(connection->rollback());  // outside a transaction it does nothing
    expectUntouched("after all");
}

TEST_F(PartsDbUnderWine, CompactionWithoutJroWritesNoCopy) {
    const fs::path copy = dir.file("База деталей/mdb1.tmp").lexically_normal();
    const auto compaction = engine.compaction(conn(database));
    EXPECT_EQ(errorOf([&] { compaction->writeCopy(conn(copy)); }), engineText());
    expectUntouched("after the failed copy");
}

// The hold: a program that has the database open for writing (EPLAN's Jet) makes the compaction
// refuse before it starts, and the replacement refuse where the copy cannot take its place.
TEST_F(PartsDbUnderWine, TheCopyReplacesTheSourceOnlyWhenNothingHoldsIt) {
    const fs::path copy = dir.file("База деталей/mdb2.tmp").lexically_normal();
    const std::string compacted = "compacted copy";
    {
        const HeldOpen eplan(database);
        ASSERT_TRUE(eplan.held());
        EXPECT_EQ(errorOf([&] { engine.compaction(conn(database)); }),
                  "База данных «" + utf8Of(database) +
                      "» открыта другой программой (например, EPLAN); сжатие не выполнено. "
                      "Закройте эту программу и повторите команду.");
    }
    struct Case {
        const char* what;
        bool readOnly;
        bool heldAfterwards;  // opened by another program once the compaction has begun
        std::string text;     // empty: the copy takes the source's place
    };
    const Case cases[] = {
        {"read-only source", true, false,
         "Файл «" + utf8Of(database) +
             "» доступен только для чтения: сжатая копия не может его заменить. Снимите с "
             "файла атрибут «Только чтение» и повторите команду."},
        {"opened meanwhile", false, true,
         "Файл «" + utf8Of(database) +
             "» открыт другой программой: сжатая копия не может его "
             "заменить ("},
        {"free", false, false, ""},
    };
    for (const Case& c : cases) {
        writeFile(copy, compacted);
        const auto compaction = engine.compaction(conn(database));
        if (c.readOnly) SetFileAttributesW(database.c_str(), FILE_ATTRIBUTE_READONLY);
        std::optional<HeldOpen> other;
        if (c.heldAfterwards) other.emplace(database);
        const std::string error = errorOf([&] { compaction->replaceSource(copy); });
        other.reset();
        SetFileAttributesW(database.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.text.empty()) {
            EXPECT_EQ(error, "<no error>") << c.what;
            EXPECT_EQ(readFile(database), compacted) << c.what;
            EXPECT_FALSE(fs::exists(copy)) << c.what;
        } else {
            EXPECT_EQ(error.substr(0, c.text.size()), c.text) << c.what << ": " << error;
            EXPECT_EQ(readFile(database), bytes) << c.what;
            EXPECT_EQ(readFile(copy), compacted) << c.what;
        }
    }
}

TEST_F(PartsDbUnderWine, RemovingADatabaseTakesItsLockFileWithIt) {
    const fs::path copy = dir.file("База деталей/mdb3.tmp");
    writeFile(copy, "copy");
    writeFile(dir.file("База деталей/mdb3.ldb"), "lock");
    engine.removeDatabaseFiles(copy);
    expectUntouched("after the removal");
}

}  // namespace
}  // namespace volnor::test

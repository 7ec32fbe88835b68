// The system side of the platform through Windows' own functions: INI files, the short date
// format and the core's date rules through it, file search with a mask, the fixed paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "platform/ansi_codec.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32/file_search.h"
#include "platform/win32/ini_files.h"
#include "platform/win32/shell.h"
#include "platform/win32/system.h"
#include "platform/win32/wide.h"
#include "support/files.h"
#include "update/dates.h"

namespace volnor::test {
namespace {

using win32::wide;

std::string ansi(std::string_view utf8) { return *utf8ToAnsi(utf8); }

std::string utf16(std::string_view utf8) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : toUtf16(utf8)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

class Ini : public ::testing::Test {
protected:
    fs::path file(const char* name) const { return dir.file(name); }
    TempDir dir;
    win32::WinIniFiles files;
};

TEST_F(Ini, ReadsWithThePlatformsRules) {
    const std::string x3000(3000, 'x');
    const std::string x2047(2047, 'x');
    // Outside the basic plane: two UTF-16 units, which the cut keeps out whole.
    const std::string emoji = "\xF0\x9F\x99\x82";
    struct Case {
        const char* what;
        std::optional<std::string> content;  // nothing: no file
        const char* section;
        const char* key;
        std::string value;  // read with the default "d"
    };
    const Case cases[] = {
        {"no file", std::nullopt, "EPLAN", "DATE", "d"},
        {"no section", "[A]\r\nDATE=1\r\n", "EPLAN", "DATE", "d"},
        {"no key", "[EPLAN]\r\nMESS=1\r\n", "EPLAN", "DATE", "d"},
        {"an empty value is no default", "[EPLAN]\r\nDATE=\r\n", "EPLAN", "DATE", ""},
        {"plain", "[EPLAN]\r\nDATE=01.12.2026\r\n", "EPLAN", "DATE", "01.12.2026"},
        {"names without regard to case", "[eplan]\r\ndate=1\r\n", "EPLAN", "Date", "1"},
        // Wine folds the letter case of ASCII names only.
        {"Cyrillic names", ansi("[Раздел]\r\nКлюч=з\r\n"), "Раздел", "Ключ", "з"},
        {"a Windows-1251 value", ansi("[EPLAN]\r\nMESS=Новые серии щитов\r\n"), "EPLAN", "MESS",
         "Новые серии щитов"},
        {"UTF-16 with its mark", utf16("[EPLAN]\r\nMESS=Новости\r\n"), "eplan", "mess", "Новости"},
        {"blanks around the value", "[S]\r\nK =  v a l  \r\n", "S", "K", "v a l"},
        {"double quotes", "[S]\r\nK=\"abc\"\r\n", "S", "K", "abc"},
        {"single quotes", "[S]\r\nK='abc'\r\n", "S", "K", "abc"},
        {"an error page", "<html><body>Not here</body></html>", "EPLAN", "DATE", "d"},
        {"cut after 2047 units", "[S]\r\nK=" + x3000 + "\r\n", "S", "K", x2047},
        {"2047 units stay whole", "[S]\r\nK=" + x2047 + "\r\n", "S", "K", x2047},
        {"a pair cut in two stays out",
         utf16("[S]\r\nK=" + std::string(2046, 'x') + emoji + "y\r\n"), "S", "K",
         std::string(2046, 'x')},
        {"a pair that ends at the limit stays",
         utf16("[S]\r\nK=" + std::string(2045, 'x') + emoji + "y\r\n"), "S", "K",
         std::string(2045, 'x') + emoji},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file("a.ini"));
        if (c.content) writeFile(file("a.ini"), *c.content);
        EXPECT_EQ(files.readString(file("a.ini"), c.section, c.key, "d"), c.value);
    }
}

TEST_F(Ini, ReadsTheFileAgainEachTimeAndAFolderAsMissing) {
    const IniFile ini(files, file("a.ini"));
    writeFile(ini.path(), "[EPLAN]\r\nDATE=1\r\n");
    EXPECT_EQ(ini.ReadString("EPLAN", "DATE"), "1");
    writeFile(ini.path(), "[EPLAN]\r\nDATE=2\r\n");
    EXPECT_EQ(ini.ReadString("EPLAN", "DATE"), "2");
    EXPECT_EQ(IniFile(files, dir.path()).ReadString("EPLAN", "DATE", "d"), "d");
}

// A name without a folder means the current directory, not the Windows folder.
TEST_F(Ini, ARelativeNameIsInTheCurrentDirectory) {
    const CurrentDir current(dir.path());
    IniFile ini(files, "local.ini");
    ini.WriteString("Eplan", "DATEUPDATE", "10.12.2026");
    EXPECT_EQ(ini.ReadString("EPLAN", "DATEUPDATE"), "10.12.2026");
    EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"local.ini"});
}

TEST_F(Ini, AWriteReplacesTheFileWholeAndKeepsTheOtherKeys) {
    struct Case {
        const char* what;
        std::optional<std::string> before;  // nothing: no file yet
        std::string value;
    };
    const Case cases[] = {
        {"no file yet", std::nullopt, "10.12.2026"},
        {"replaced where it stands", "[EPLAN]\r\nA=1\r\nDATEUPDATE=01.01.2020\r\nB=2\r\n",
         "10.12.2026"},
        {"added to its section", "[X]\r\nB=2\r\n[EPLAN]\r\nA=1\r\n", "10.12.2026"},
        {"a Cyrillic value", "[EPLAN]\r\nA=1\r\nB=2\r\n", "Обновлено"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file("local.ini"));
        if (c.before) writeFile(file("local.ini"), *c.before);
        IniFile ini(files, file("local.ini"));
        ini.WriteString("Eplan", "DATEUPDATE", c.value);
        EXPECT_EQ(ini.ReadString("EPLAN", "dateupdate"), c.value);
        if (c.before) {
            EXPECT_EQ(ini.ReadString("EPLAN", "A"), "1");
            EXPECT_EQ(ini.ReadString(c.before->starts_with("[X]") ? "X" : "EPLAN", "B"), "2");
        }
        // In the code page, as the maker's server and Windows write INI files.
        EXPECT_NE(readFile(ini.path()).find(ansi("DATEUPDATE=" + c.value + "\r\n")),
                  std::string::npos)
            << readFile(ini.path());
        EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"local.ini"});
    }

    // A UTF-16 file stays one and takes what the code page lacks.
    writeFile(file("local.ini"), utf16("[EPLAN]\r\nA=1\r\n"));
    IniFile ini(files, file("local.ini"));
    ini.WriteString("Eplan", "MESS", "中");
    EXPECT_EQ(ini.ReadString("EPLAN", "MESS"), "中");
    EXPECT_TRUE(readFile(ini.path()).starts_with("\xFF\xFE"));
}

TEST_F(Ini, AWriteThatCannotBeDoneNamesTheFileAndChangesNothing) {
    const std::string kept = "[EPLAN]\r\nDATEUPDATE=01.01.2020\r\n";
    struct Case {
        const char* what;
        fs::path path;
        const char* value;
        DWORD attributes = FILE_ATTRIBUTE_NORMAL;
        bool held = false;  // open elsewhere without sharing
    };
    const Case cases[] = {
        {"a missing folder", file("no/such/local.ini"), "10.12.2026"},
        {"a folder in the way", dir.path(), "10.12.2026"},
        {"a read-only file", file("kept.ini"), "10.12.2026", FILE_ATTRIBUTE_READONLY},
        {"a file another program holds", file("kept.ini"), "10.12.2026", FILE_ATTRIBUTE_NORMAL,
         true},
        {"a value the code page lacks", file("kept.ini"), "中"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetFileAttributesW(file("kept.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
        writeFile(file("kept.ini"), kept);
        SetFileAttributesW(file("kept.ini").c_str(), c.attributes);
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.held)
            holder = CreateFileW(file("kept.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        IniFile ini(files, c.path);
        try {
            ini.WriteString("Eplan", "DATEUPDATE", c.value);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), "Unable to write to " + utf8Of(c.path));
        }
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        SetFileAttributesW(file("kept.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(readFile(file("kept.ini")), kept);
        EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"kept.ini"});
    }
}

using std::chrono::year_month_day;

year_month_day ymd(int y, unsigned m, unsigned d) {
    return year_month_day{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
}

// What Windows itself writes for the date in the user's short format.
std::string windowsShortDate(const year_month_day& date) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(static_cast<int>(date.year()));
    time.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
    time.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
    wchar_t text[80] = {};
    const int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text,
                                  80, nullptr);
    return n > 0 ? win32::narrow(std::wstring_view(text, n - 1)) : std::string("(none)");
}

TEST(Dates, TheUsersShortDateFormatIsWindowsOwn) {
    const ShortDateFormat format = win32::WinSystem().shortDateFormat();
    // Under the Russian locale of the tests.
    EXPECT_EQ(format, *ShortDateFormat::fromPicture("dd.MM.yyyy"));
    for (const year_month_day date : {ymd(2026, 12, 10), ymd(2026, 2, 1), ymd(2024, 2, 29),
                                      ymd(1999, 12, 31), ymd(2075, 1, 1)}) {
        const std::string windows = windowsShortDate(date);
        SCOPED_TRACE(windows);
        EXPECT_EQ(DateToStr(date, format), windows);
        EXPECT_EQ(StrToDate(windows, format, 2026), date);
    }
}

TEST(Dates, StrToDateTakesWhatTheUsersFormatGivesAndRejectsTheRest) {
    const ShortDateFormat format = win32::WinSystem().shortDateFormat();
    struct Case {
        const char* text;
        std::optional<year_month_day> date;
    };
    const Case cases[] = {
        {"10.12.2026", ymd(2026, 12, 10)},
        {"1.2.2026", ymd(2026, 2, 1)},
        {" 10.12.2026 ", ymd(2026, 12, 10)},
        {"10.12", ymd(2026, 12, 10)},
        {"10.12.26", ymd(2026, 12, 10)},
        {"12/10/2026", std::nullopt},
        {"2026-12-10", std::nullopt},
        {"31.04.2026", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.date) {
            EXPECT_EQ(StrToDate(c.text, format, 2026), *c.date);
            continue;
        }
        try {
            StrToDate(c.text, format, 2026);
            ADD_FAILURE() << "taken";
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), "'" + std::string(c.text) + "' is not a valid date");
        }
    }
}

TEST(System, TellsItsOwnFileAndTheLocalDate) {
    const win32::WinSystem system;
    const fs::path exe = system.executablePath();
    EXPECT_TRUE(exe.is_absolute()) << utf8Of(exe);
    EXPECT_TRUE(fs::is_regular_file(exe)) << utf8Of(exe);
    EXPECT_EQ(exe.filename(), "windows_platform_test.exe");
    // The date Windows writes for today is the date the system gives.
    const std::string shown = windowsShortDate(system.today());
    wchar_t text[80] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 80, nullptr);
    EXPECT_EQ(shown, win32::narrow(text));
}

TEST(FileSearch, MatchesMasksAsWindowsDoes) {
    const TempDir dir;
    for (const char* name : {"a.EDZ", "Щит.Edz", "щит2.edz", "x.zip", "Y.ZIP", "xy.zip", "b.txt"})
        writeFile(dir.file(name), "");
    fs::create_directory(dir.file("folder.edz"));
    writeFile(dir.file("hidden.edz"), "");
    SetFileAttributesW(dir.file("hidden.edz").c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs::create_directory(dir.file("Папка"));
    writeFile(dir.file("Папка/Ёлка.EDZ"), "");

    struct Case {
        fs::path folder;
        const char* mask;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {dir.path(), "*.edz", {"a.EDZ", "folder.edz", "hidden.edz", "Щит.Edz", "щит2.edz"}},
        {dir.path(), "*.zip", {"x.zip", "xy.zip", "Y.ZIP"}},
        {dir.path(), "?.zip", {"x.zip", "Y.ZIP"}},
        {dir.path(), "ЩИТ*", {"Щит.Edz", "щит2.edz"}},
        {dir.path(), "*.7z", {}},
        {dir.file("Папка"), "*.edz", {"Ёлка.EDZ"}},
        {dir.file("missing"), "*", {}},
    };
    const auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8Of(c.folder / c.mask));
        EXPECT_EQ(sorted(win32::WinFileSearch().find(c.folder, c.mask)), sorted(c.names));
    }
    // "." and ".." are no entries; an empty folder is the current directory.
    const CurrentDir current(dir.file("Папка"));
    EXPECT_EQ(win32::WinFileSearch().find({}, "*"), std::vector<std::string>{"Ёлка.EDZ"});
}

// Drive C: stands for itself: the parts data folder is made where EPLAN looks for it.
TEST(Paths, TheFixedPathsAreOnDriveCItselfAndRelativeNamesInTheCurrentDirectory) {
    const WinPaths paths(L"C:\\");
    const char kFolder[] = "C:\\Users\\Public\\EPLAN\\Data\\Элементы\\VOLNOR\\";
    std::error_code error;
    fs::create_directories(paths.native(kFolder), error);
    EXPECT_FALSE(error) << error.message();
    const DWORD attributes = GetFileAttributesW(wide(kFolder).c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // The macro removal searches such a folder.
    writeFile(paths.native(kFolder) / pathOf("Щит.ema"), "");
    EXPECT_EQ(win32::WinFileSearch().find(paths.native(kFolder), "*.EMA"),
              std::vector<std::string>{"Щит.ema"});
    fs::remove(paths.native(kFolder) / pathOf("Щит.ema"));

    // The shell gets the folder whole, with backslashes.
    const TempDir dir;
    const CurrentDir current(dir.path());
    const win32::WinShell shell(paths);
    EXPECT_EQ(shell.folderPath(".\\Щиты ABB").wstring(),
              (fs::current_path() / L"Щиты ABB").wstring());
    EXPECT_EQ(shell.folderPath(kFolder).wstring(), wide(kFolder));
}

// A scheme of the test's own, whose handler writes the URL it was given into a file.
class UrlHandler {
public:
    explicit UrlHandler(const fs::path& record) {
        const std::wstring command = L"cmd.exe /c echo %1> \"" + record.wstring() + L"\"";
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L"volnor-test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegSetValueExW(key, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2);
        RegCloseKey(key);
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L"volnor-test\\shell\\open\\command", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~UrlHandler() { RegDeleteTreeW(HKEY_CLASSES_ROOT, L"volnor-test"); }
};

TEST(Shell, HandsAUrlToItsRegisteredHandler) {
    const TempDir dir;
    const UrlHandler handler(dir.file("url.txt"));
    win32::WinShell(WinPaths(L"C:\\")).openUrl("volnor-test:eplan/update.7z?x=1");
    // The handler runs in a process of its own.
    for (int i = 0; i < 3000 && readFile(dir.file("url.txt")).empty(); ++i) Sleep(10);
    EXPECT_EQ(readFile(dir.file("url.txt")), "volnor-test:eplan/update.7z?x=1\r\n");
}

}  // namespace
}  // namespace volnor::test

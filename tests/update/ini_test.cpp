// INI files read and written with the platform's private-profile rules.
#include <gtest/gtest.h>

#include "platform/ansi_codec.h"
#include "platform/error.h"
#include "platform/posix/ini_files.h"
#include "platform/text.h"
#include "support/files.h"

namespace volnor {
namespace {

using posix::iniValue;
using posix::iniWithValue;

// Text in the users' code page, as the maker's server and Windows write INI files.
std::string ansi(std::string_view utf8) { return *utf8ToAnsi(utf8); }

std::string utf16(std::string_view utf8, bool littleEndian) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t c : toUtf16(utf8)) {
        const char lo = static_cast<char>(c & 0xFF);
        const char hi = static_cast<char>(c >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

// A literal with its NUL bytes.
template <std::size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::string shown(const std::optional<std::string>& value) {
    return value ? "\"" + *value + "\"" : "(missing)";
}

TEST(IniValue, FollowsThePlatformReadersRules) {
    const std::string x3000(3000, 'x');
    const std::string x2047(2047, 'x');
    // A character outside the basic plane takes two UTF-16 units: the cut keeps it out whole.
    const std::string emoji = "\xF0\x9F\x99\x82";
    struct Case {
        const char* what;
        std::string content;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"plain", "[EPLAN]\r\nDATE=01.12.2026\r\n", "EPLAN", "DATE", "01.12.2026"},
        {"section and key without regard to case", "[eplan]\r\ndate=1\r\n", "EPLAN", "Date", "1"},
        {"Cyrillic names without regard to case", ansi("[Раздел]\r\nКлюч=з\r\n"), "РАЗДЕЛ", "кЛЮЧ",
         "з"},
        {"Windows-1251 value", ansi("[EPLAN]\r\nMESS=Новые серии щитов\r\n"), "EPLAN", "MESS",
         "Новые серии щитов"},
        {"UTF-8 text read as Windows-1251", "[S]\r\nK=\xD0\xA9\r\n", "S", "K", "Р©"},
        {"blanks around the value", "[S]\r\nK = \t v a l \t\r\n", "S", "K", "v a l"},
        {"only spaces and tabs are blanks", "[S]\r\nK=\fa\v\r\n", "S", "K", "\fa\v"},
        {"blanks around names, text after the section's ]", "  [ EPLAN ] ; x\r\n\t K\t= v\r\n",
         "EPLAN", "K", "v"},
        {"the section ends at the last ]", "[a]b]\r\nK=1\r\n", "a]b", "K", "1"},
        {"double quotes", "[S]\r\nK=\"abc\"\r\n", "S", "K", "abc"},
        {"single quotes", "[S]\r\nK='abc'\r\n", "S", "K", "abc"},
        {"quoted blanks stay", "[S]\r\nK= \" a \" \r\n", "S", "K", " a "},
        {"quotes only as a pair around the whole", "[S]\r\nK=\"a\"b\"\r\n", "S", "K", "a\"b"},
        {"an opening quote alone", "[S]\r\nK=\"abc\r\n", "S", "K", "\"abc"},
        {"quotes that do not match", "[S]\r\nK=\"abc'\r\n", "S", "K", "\"abc'"},
        {"one quote", "[S]\r\nK=\"\r\n", "S", "K", "\""},
        {"two quotes", "[S]\r\nK=\"\"\r\n", "S", "K", ""},
        {"\"K=\" is an empty value", "[S]\r\nK=\r\n", "S", "K", ""},
        {"the value after the first =", "[S]\r\nK==a=b\r\n", "S", "K", "=a=b"},
        {"a line without = is no key", "[S]\r\nK\r\n", "S", "K", std::nullopt},
        {"... and the next key of the name counts", "[S]\r\nK\r\nK=2\r\n", "S", "K", "2"},
        {"the first key wins, even when empty", "[S]\r\nK=\r\nK=2\r\n", "S", "K", ""},
        {"only the first section of a name", "[S]\r\nA=1\r\n[s]\r\nB=2\r\n", "S", "B",
         std::nullopt},
        {"... which is searched", "[S]\r\nA=1\r\n[s]\r\nA=2\r\n", "S", "A", "1"},
        {"; starts no comment", "[S]\r\n;K=1\r\n", "S", ";K", "1"},
        {"# starts no comment", "[S]\r\n#K=2\r\n", "S", "#K", "2"},
        {"text after a value is part of it", "[S]\r\nK=3 ; note\r\n", "S", "K", "3 ; note"},
        {"[X without ] starts no section", "[EPLAN\r\nDATE=1\r\n", "EPLAN", "DATE", std::nullopt},
        {"... so its keys stay in the section before", "[S]\r\n[EPLAN\r\nDATE=1\r\n", "S", "DATE",
         "1"},
        {"keys before the first section belong to none", "DATE=1\r\n[EPLAN]\r\n", "EPLAN", "DATE",
         std::nullopt},
        {"a NUL ends the value", bytes("[S]\r\nK= ab \0cd\r\n"), "S", "K", "ab"},
        {"LF", "[S]\nA=1\nK=2\n", "S", "K", "2"},
        {"CR", "[S]\rA=1\rK=2", "S", "K", "2"},
        {"mixed line ends", "[S]\r\nA=1\rB=3\nK=2", "S", "K", "2"},
        {"CR CR LF is two line ends", "[S]\r\r\nK=2\r\n", "S", "K", "2"},
        {"UTF-16 little-endian with its mark", utf16("[EPLAN]\r\nMESS=Новости\r\n", true), "eplan",
         "mess", "Новости"},
        {"UTF-16 big-endian with its mark", utf16("[EPLAN]\r\nMESS=Новости\r\n", false), "EPLAN",
         "MESS", "Новости"},
        {"a UTF-8 mark is text of the first line", "\xEF\xBB\xBF[EPLAN]\r\nDATE=1\r\n", "EPLAN",
         "DATE", std::nullopt},
        {"a value is cut after 2047 characters", "[S]\r\nK=" + x3000 + "\r\n", "S", "K", x2047},
        {"2047 characters stay whole", "[S]\r\nK=" + x2047 + "\r\n", "S", "K", x2047},
        {"quotes go before the cut", "[S]\r\nK=\"" + x3000 + "\"\r\n", "S", "K", x2047},
        {"the cut counts UTF-16 units and keeps a pair out whole",
         utf16("[S]\r\nK=" + std::string(2046, 'x') + emoji + "y\r\n", true), "S", "K",
         std::string(2046, 'x')},
        {"... and keeps a pair that ends at the limit",
         utf16("[S]\r\nK=" + std::string(2045, 'x') + emoji + "y\r\n", true), "S", "K",
         std::string(2045, 'x') + emoji},
        {"missing section", "[A]\r\nK=1\r\n", "B", "K", std::nullopt},
        {"empty file", "", "EPLAN", "DATE", std::nullopt},
        {"an error page", "<html><body>Not here</body></html>", "EPLAN", "DATE", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shown(iniValue(c.content, c.section, c.key)), shown(c.value)) << c.what;
    }
}

TEST(IniWithValue, ChangesOneLineAndKeepsTheBytesOfEveryOther) {
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    // Every case writes DATEUPDATE=10.12.2026 under "Eplan".
    const Case cases[] = {
        {"no file yet", "", "[Eplan]\r\nDATEUPDATE=10.12.2026\r\n"},
        {"replaced where it stands, in a section of another case",
         "[EPLAN]\r\nA=1\r\nDATEUPDATE=01.01.2020\r\nB=2\r\n",
         "[EPLAN]\r\nA=1\r\nDATEUPDATE=10.12.2026\r\nB=2\r\n"},
        {"the key keeps its spelling, the line its end",
         "[eplan]\n  dateupdate = 01.01.2020 ; old\nB=2\n",
         "[eplan]\ndateupdate=10.12.2026\nB=2\n"},
        {"added after the section's last line, before blank lines and the next section",
         "[EPLAN]\r\nA=1\r\n\r\n[X]\r\nB=2\r\n",
         "[EPLAN]\r\nA=1\r\nDATEUPDATE=10.12.2026\r\n\r\n[X]\r\nB=2\r\n"},
        {"added to a section at the end without a line end", "[EPLAN]\r\nA=1",
         "[EPLAN]\r\nA=1\r\nDATEUPDATE=10.12.2026\r\n"},
        {"added to an empty section", "[EPLAN]\r\n[X]\r\n",
         "[EPLAN]\r\nDATEUPDATE=10.12.2026\r\n[X]\r\n"},
        {"the section added at the end", "[X]\nB=2\n",
         "[X]\nB=2\n[Eplan]\r\nDATEUPDATE=10.12.2026\r\n"},
        {"the section added after a last line without its end", "B=2",
         "B=2\r\n[Eplan]\r\nDATEUPDATE=10.12.2026\r\n"},
        {"only the first section of the name",
         "[EPLAN]\r\nA=1\r\n[Eplan]\r\nDATEUPDATE=01.01.2020\r\n",
         "[EPLAN]\r\nA=1\r\nDATEUPDATE=10.12.2026\r\n[Eplan]\r\nDATEUPDATE=01.01.2020\r\n"},
        {"the first key of the name, even an empty one",
         "[EPLAN]\r\nDATEUPDATE=\r\nDATEUPDATE=x\r\n",
         "[EPLAN]\r\nDATEUPDATE=10.12.2026\r\nDATEUPDATE=x\r\n"},
        {"other lines byte for byte: odd bytes, comments, half a section",
         "; \x98\xFF\r\n[EPLAN\r\n[EPLAN]\r\n#DATEUPDATE=1\r\nDATEUPDATE=2\rZ=\xC0\n",
         "; \x98\xFF\r\n[EPLAN\r\n[EPLAN]\r\n#DATEUPDATE=1\r\nDATEUPDATE=10.12.2026\rZ=\xC0\n"},
    };
    for (const Case& c : cases) {
        const auto after = iniWithValue(c.before, "Eplan", "DATEUPDATE", "10.12.2026");
        ASSERT_TRUE(after.has_value()) << c.what;
        EXPECT_EQ(*after, c.after) << c.what;
        EXPECT_EQ(shown(iniValue(*after, "EPLAN", "dateupdate")), shown("10.12.2026")) << c.what;
    }
}

TEST(IniWithValue, KeepsTheFilesEncoding) {
    const std::string before = utf16("[Раздел]\r\nK=старое\r\nL=1\r\n", true);
    const auto after = iniWithValue(before, "раздел", "k", "новое");
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(*after, utf16("[Раздел]\r\nK=новое\r\nL=1\r\n", true));

    // A Cyrillic value goes into an ANSI file in its code page.
    EXPECT_EQ(iniWithValue("[S]\r\n", "S", "K", "новое"), ansi("[S]\r\nK=новое\r\n"));
    // A character the code page lacks cannot go into an ANSI file; into a UTF-16 one it can.
    EXPECT_FALSE(iniWithValue("[S]\r\n", "S", "K", "中").has_value());
    EXPECT_TRUE(iniWithValue(before, "S", "K", "中").has_value());
}

class IniFileTest : public ::testing::Test {
protected:
    test::fs::path file(const char* name) const { return dir.file(name); }
    test::TempDir dir;
    posix::PosixIniFiles files;
};

TEST_F(IniFileTest, ReadsTheDefaultForWhatIsMissingAndTheFileAgainEachTime) {
    const IniFile missing(files, file("missing.ini"));
    EXPECT_EQ(missing.ReadString("EPLAN", "DATE"), "");
    EXPECT_EQ(missing.ReadString("EPLAN", "DATE", "d"), "d");
    const IniFile folder(files, dir.path());
    EXPECT_EQ(folder.ReadString("EPLAN", "DATE", "d"), "d");

    const IniFile ini(files, file("a.ini"));
    test::writeFile(ini.path(), "[EPLAN]\r\nDATE=\r\n");
    EXPECT_EQ(ini.ReadString("EPLAN", "DATE", "d"), "");
    EXPECT_EQ(ini.ReadString("EPLAN", "MESS", "d"), "d");
    test::writeFile(ini.path(), "[EPLAN]\r\nDATE=2\r\n");
    EXPECT_EQ(ini.ReadString("EPLAN", "DATE"), "2");
}

TEST_F(IniFileTest, WritesTheFileWholeAndCreatesIt) {
    IniFile ini(files, file("local.ini"));
    ini.WriteString("Eplan", "DATEUPDATE", "10.12.2026");
    EXPECT_EQ(test::readFile(ini.path()), "[Eplan]\r\nDATEUPDATE=10.12.2026\r\n");
    ini.WriteString("EPLAN", "dateupdate", "11.12.2026");
    EXPECT_EQ(test::readFile(ini.path()), "[Eplan]\r\nDATEUPDATE=11.12.2026\r\n");
    // Nothing is left beside it.
    EXPECT_EQ(test::entryNames(dir.path()), std::vector<std::string>{"local.ini"});
}

TEST_F(IniFileTest, ANewFileHasThePermissionsOfAPlainOneAndAReplacedFileKeepsItsOwn) {
    IniFile created(files, file("created.ini"));
    created.WriteString("Eplan", "DATEUPDATE", "10.12.2026");
    test::writeFile(file("plain"), "");
    EXPECT_EQ(test::fs::status(created.path()).permissions(),
              test::fs::status(file("plain")).permissions());

    IniFile ini(files, file("local.ini"));
    test::writeFile(ini.path(), "[EPLAN]\r\nDATEUPDATE=01.01.2020\r\n");
    const auto mode =
        test::fs::perms::owner_read | test::fs::perms::owner_write | test::fs::perms::group_read;
    test::fs::permissions(ini.path(), mode);
    ini.WriteString("Eplan", "DATEUPDATE", "10.12.2026");
    EXPECT_EQ(test::fs::status(ini.path()).permissions(), mode);
}

TEST_F(IniFileTest, AWriteThatCannotBeDoneNamesTheFileAndChangesNothing) {
    const test::fs::path existing = file("kept.ini");
    test::writeFile(existing, "[EPLAN]\r\nDATEUPDATE=01.01.2020\r\n");
    struct Case {
        const char* what;
        test::fs::path path;
        const char* value;
    };
    const Case cases[] = {
        {"missing folder", file("no/such/local.ini"), "10.12.2026"},
        {"a folder in the way", dir.path(), "10.12.2026"},
        {"a value the file's code page lacks", existing, "中"},
    };
    for (const Case& c : cases) {
        IniFile ini(files, c.path);
        try {
            ini.WriteString("Eplan", "DATEUPDATE", c.value);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), "Unable to write to " + utf8Of(c.path)) << c.what;
        }
    }
    EXPECT_EQ(test::readFile(existing), "[EPLAN]\r\nDATEUPDATE=01.01.2020\r\n");
    EXPECT_FALSE(test::fs::exists(file("no")));
    EXPECT_EQ(test::entryNames(dir.path()), std::vector<std::string>{"kept.ini"});
}

}  // namespace
}  // namespace volnor

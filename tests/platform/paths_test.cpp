#include "platform/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/posix/file_search.h"
#include "platform/posix/user_paths.h"
#include "platform/text.h"
#include "support/files.h"

using volnor::utf8Of;
using volnor::WinPaths;

TEST(WinPaths, MapsDriveCIntoTheDriveFolder) {
    const WinPaths paths("/tmp/drive/");
    EXPECT_EQ(utf8Of(paths.native("C:\\Users\\Public\\EPLAN\\Data\\Макросы\\VOLNOR\\")),
              "/tmp/drive/Users/Public/EPLAN/Data/Макросы/VOLNOR/");
    EXPECT_EQ(utf8Of(paths.native("c:\\x.mdb")), "/tmp/drive/x.mdb");
}

TEST(WinPaths, TranslatesRelativeNames) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {".\\a.zip", "a.zip"},
        {".\\Группа\\x.edz", "Группа/x.edz"},
        {"..\\a.zip", "../a.zip"},
        {"7z\\7z.exe", "7z/7z.exe"},
        {".\\", "."},
        {"..\\", "../"},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8Of(WinPaths::relative(c.in)), c.out) << c.in;
}

// The drive folder of a user's desktop lies in the user's data folder, which XDG_DATA_HOME
// names when it is an absolute path.
TEST(UserDriveFolder, LiesInTheUsersDataFolder) {
    const volnor::test::TempDir data;
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    EXPECT_EQ(volnor::posix::userDriveFolder(), data.path() / "VOLNOR" / "drive_c");
    ::unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(volnor::posix::userDriveFolder(),
              std::filesystem::path(home) / ".local/share/VOLNOR/drive_c");
    if (previous) ::setenv("XDG_DATA_HOME", previous->c_str(), 1);
}

TEST(PosixFileSearch, MatchesTheMaskWithoutRegardToCaseAndFindsEveryKind) {
    const volnor::test::TempDir dir;
    for (const char* name : {"a.zip", "B.ZIP", ".hidden.zip", "c.zip.txt", "d.edz"})
        volnor::test::writeFile(dir.file(name), "");
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder.zip")));
    const volnor::posix::PosixFileSearch search;
    std::vector<std::string> found = search.find(dir.path(), "*.zip");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{".hidden.zip", "B.ZIP", "a.zip", "folder.zip"}));
    EXPECT_TRUE(search.find(dir.file("missing"), "*").empty());
}

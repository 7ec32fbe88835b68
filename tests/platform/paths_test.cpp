#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/filesearch.h"

using volnor::WinPaths;

TEST(WinPaths, MapsDriveCIntoTheDriveFolder) {
    const WinPaths paths("/tmp/drive/");
    EXPECT_EQ(paths.native(QStringLiteral("C:\\Users\\Public\\EPLAN\\Data\\Макросы\\VOLNOR\\")),
              QStringLiteral("/tmp/drive/Users/Public/EPLAN/Data/Макросы/VOLNOR/"));
    EXPECT_EQ(paths.native(QStringLiteral("c:\\x.mdb")), QStringLiteral("/tmp/drive/x.mdb"));
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
    for (const auto& c : cases)
        EXPECT_EQ(WinPaths::relative(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(FindEntries, MatchesTheMaskWithoutRegardToCaseAndFindsEveryKind) {
    QTemporaryDir dir;
    for (const char* name : {"a.zip", "B.ZIP", ".hidden.zip", "c.zip.txt", "d.edz"}) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.zip")));
    QStringList found = volnor::findEntries(dir.path(), QStringLiteral("*.zip"));
    found.sort();
    EXPECT_EQ(found, (QStringList{".hidden.zip", "B.ZIP", "a.zip", "folder.zip"}));
    EXPECT_TRUE(volnor::findEntries(dir.filePath("missing"), QStringLiteral("*")).isEmpty());
}

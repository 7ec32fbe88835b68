// Command script files: their exact bytes, and failures that leave nothing half-written.
#include "download/script_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "catalogue/catalogue.h"
#include "platform/error.h"

namespace volnor {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(UnpackScript, HasFourCrLfLinesNamingTheArchive) {
    QTemporaryDir dir;
    const QString shortweb =
        catalogue::shortweb(QStringLiteral("https://vn.test/f/0412/vr-shrn-12.zip"));
    ASSERT_EQ(shortweb, QStringLiteral("vr-shrn-12.zip"));
    const QString path = dir.filePath(shortweb + QStringLiteral(".cmd"));
    writeScript(path, unpackScript(shortweb));
    EXPECT_EQ(readAll(path), QByteArray("cd 7z\\\r\n"
                                        "7z.exe x -r ..\\vr-shrn-12.zip -o..\\ -y\r\n"
                                        "cd ..\\\r\n"
                                        "del vr-shrn-12.zip\r\n"));
}

TEST(WriteScript, WritesTheCodePageWithoutBomAndReplacesAnOlderFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.cmd"));
    writeScript(path, {"a much longer first line than the next file has", "x", "y"});
    writeScript(path, {"del Щит.txt", "exit"});
    EXPECT_EQ(readAll(path), QByteArray("del \xD9\xE8\xF2.txt\r\nexit\r\n"));
}

TEST(WriteScript, AFailureNamesTheFileAndLeavesAnOlderOneAsItWas) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.cmd"));
    writeScript(existing, {"exit"});
    const QString folder = dir.filePath(QStringLiteral("in-the-way.cmd"));
    ASSERT_TRUE(QDir().mkdir(folder));
    struct Case {
        const char* what;
        QString path;
        QStringList lines;
    };
    const Case cases[] = {
        {"missing folder", dir.filePath(QStringLiteral("no/such/s.cmd")), {"exit"}},
        {"folder in the way", folder, {"exit"}},
        {"character outside the code page", existing, {"del 中.txt"}},
    };
    for (const Case& c : cases) {
        try {
            writeScript(c.path, c.lines);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Error& e) {
            EXPECT_TRUE(
                e.text().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(c.path)))
                << c.what << ": " << e.text().toStdString();
        }
    }
    EXPECT_EQ(readAll(existing), QByteArray("exit\r\n"));
    // Nothing written aside is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("in-the-way.cmd"), QStringLiteral("old.cmd")}));
}

}  // namespace
}  // namespace volnor

// Archives are outside input: whatever their entries say, unpacking writes nothing outside the
// program directory and leaves no link that leads out of it.
#include <gtest/gtest.h>

#include <QDirIterator>

#include "download/program_dir.h"
#include "download/script_file.h"

namespace volnor::test {
namespace {

class UnpackSafety : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(outside(QStringLiteral("outside"))));
        QFile victim(outside(QStringLiteral("outside/victim.txt")));
        ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
        victim.write("victim");
    }

    // Everything below the folder that holds the program directory, except the program
    // directory itself.
    QStringList outsideEntries() const {
        QStringList out;
        QDirIterator it(outside(QString()),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            if (!p.startsWith(dir().path())) out << p;
        }
        out.sort();
        return out;
    }

    QStringList linksLeadingOut() const {
        QStringList out;
        const QString root = QFileInfo(dir().path()).canonicalFilePath() + QLatin1Char('/');
        QDirIterator it(dir().path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            if (!info.isSymLink() || info.filePath() == path(QStringLiteral("7z/7z.exe"))) continue;
            // A link whose target does not exist yet is judged by where it would lead.
            const QString target =
                QDir::cleanPath(QDir(info.path()).absoluteFilePath(info.symLinkTarget()));
            const QString real =
                QFileInfo(target).exists() ? QFileInfo(target).canonicalFilePath() : target;
            if (!(real + QLatin1Char('/')).startsWith(root)) out << info.filePath() + " -> " + real;
        }
        return out;
    }
};

TEST_F(UnpackSafety, HostileEntriesStayInsideTheProgramDirectory) {
    const QString outsideDir = QFileInfo(outside(QStringLiteral("outside"))).absoluteFilePath();
    struct Case {
        const char* what;
        QList<ZipEntry> entries;
    };
    const Case cases[] = {
        {"parent folder", {{"../dotdot.txt", "x"}, {"../outside/victim.txt", "changed"}}},
        {"parent inside a path", {{"a/../../dotdot2.txt", "x"}, {"a/../../outside/new.txt", "x"}}},
        {"absolute path",
         {{outsideDir + "/abs.txt", "x"}, {outsideDir + "/victim.txt", "changed"}}},
        {"absolute link, then a file through it",
         {{"lnk", outsideDir.toUtf8(), true},
          {"lnk/through.txt", "x"},
          {"lnk/victim.txt", "changed"}}},
        {"relative link upwards, then a file through it",
         {{"up", "../../outside", true}, {"up/through.txt", "x"}, {"up/victim.txt", "changed"}}},
        {"link to an outside file, then the same name as a file",
         {{"esc", "../../outside/victim.txt", true}, {"esc", "changed"}}},
    };
    const QStringList before = outsideEntries();
    for (const Case& c : cases) {
        QList<ZipEntry> entries = c.entries;
        entries.append({QStringLiteral("ok.txt"), "ok"});
        write(QStringLiteral("evil.zip"), zip(entries));
        QFile::remove(path(QStringLiteral("ok.txt")));
        writeScript(path(QStringLiteral("evil.zip.cmd")), unpackScript(QStringLiteral("evil.zip")));
        runner().start(path(QStringLiteral("evil.zip.cmd")))->wait({});

        EXPECT_EQ(read(QStringLiteral("ok.txt")), QByteArray("ok"))
            << c.what << ": nothing unpacked";
        EXPECT_EQ(outsideEntries().join('\n').toStdString(), before.join('\n').toStdString())
            << c.what;
        QFile victim(outside(QStringLiteral("outside/victim.txt")));
        ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
        EXPECT_EQ(victim.readAll(), QByteArray("victim")) << c.what;
        EXPECT_EQ(linksLeadingOut().join('\n').toStdString(), "") << c.what;
    }
}

}  // namespace
}  // namespace volnor::test

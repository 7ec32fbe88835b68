// The product's shell seam: what reaches the desktop's URL handlers.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QUrl>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/text.h"
#include "support/files.h"
#include "ui/qt/qt_seams.h"
#include "ui/qt/qt_text.h"

namespace {

using volnor::ui::qs;

// Stands for the desktop's handlers: notes every URL handed to them.
class Handlers : public QObject {
    Q_OBJECT
public:
    Handlers() {
        for (const char* scheme : {"https", "ftp", "mailto", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "take");
    }
    ~Handlers() override {
        for (const char* scheme : {"https", "ftp", "mailto", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;

public slots:
    void take(const QUrl& url) { urls << url; }
};

TEST(QtShell, HandsUrlsToTheirSchemesAndFoldersAsLocalFiles) {
    const volnor::test::TempDir drive;
    Handlers handlers;
    volnor::ui::QtShell shell{volnor::WinPaths(drive.path())};

    shell.openUrl("https://vn.test/");
    shell.openUrl("ftp://ftp.vn.test:2121/eplan/Eplan.7z");
    shell.openUrl("mailto:Техподдержка ВОЛНОР<support@vn.test>?subject=Вопросы по Eplan");
    shell.openFolder(".\\Модульное оборудование");
    shell.openFolder("C:\\Users\\Public\\EPLAN\\Data\\Элементы\\VOLNOR\\");

    ASSERT_EQ(handlers.urls.size(), 5);
    EXPECT_EQ(handlers.urls[0], QUrl(QStringLiteral("https://vn.test/")));
    EXPECT_EQ(handlers.urls[1].port(), 2121);
    EXPECT_EQ(handlers.urls[1].path(), QStringLiteral("/eplan/Eplan.7z"));
    EXPECT_EQ(handlers.urls[2].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(handlers.urls[2].query(QUrl::FullyDecoded),
              QStringLiteral("subject=Вопросы по Eplan"));
    EXPECT_EQ(handlers.urls[3].toLocalFile(),
              QDir::current().absoluteFilePath(QStringLiteral("Модульное оборудование")));
    EXPECT_EQ(handlers.urls[4].toLocalFile(),
              qs(drive.path()) + QStringLiteral("/Users/Public/EPLAN/Data/Элементы/VOLNOR"));
}

// A node's folder whose name holds a colon after its first character, as three leaves of the
// catalogue do: it is still opened as the folder, not taken for a URL of some scheme.
TEST(QtShell, OpensAFolderWhoseNameHoldsAColon) {
    const std::string node = "Щиты этажные ЩЭ: на 2, 3 и 4 квартиры";
    std::vector<std::string> menulist;
    volnor::catalogue::menuload(menulist);
    ASSERT_TRUE(volnor::catalogue::findEntry(menulist, node).has_value());
    const volnor::test::TempDir programDir;
    const std::filesystem::path folder = programDir.file(node);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    Handlers handlers;
    volnor::ui::QtShell shell{volnor::WinPaths(programDir.path())};

    shell.openFolder(volnor::utf8Of(folder));

    ASSERT_EQ(handlers.urls.size(), 1);
    EXPECT_EQ(handlers.urls[0].scheme(), QStringLiteral("file"));
    EXPECT_EQ(handlers.urls[0].toLocalFile(), qs(folder));
    EXPECT_TRUE(QFileInfo(handlers.urls[0].toLocalFile()).isDir());
}

}  // namespace

#include "qt_shell_test.moc"

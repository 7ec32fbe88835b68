// The product's shell seam: what reaches the desktop's URL handlers.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include "catalogue/catalogue.h"
#include "ui/qt_seams.h"

namespace {

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
    QTemporaryDir drive;
    ASSERT_TRUE(drive.isValid());
    Handlers handlers;
    volnor::ui::QtShell shell{volnor::WinPaths(drive.path())};

    shell.openUrl(QStringLiteral("https://vn.test/"));
    shell.openUrl(QStringLiteral("ftp://ftp.vn.test:2121/eplan/Eplan.7z"));
    shell.openUrl(
        QStringLiteral("mailto:Техподдержка ВОЛНОР<support@vn.test>?subject=Вопросы по Eplan"));
    shell.openFolder(QStringLiteral(".\\Модульное оборудование"));
    shell.openFolder(QStringLiteral("C:\\Users\\Public\\EPLAN\\Data\\Элементы\\VOLNOR\\"));

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
              drive.path() + QStringLiteral("/Users/Public/EPLAN/Data/Элементы/VOLNOR"));
}

// A node's folder whose name holds a colon after its first character, as three leaves of the
// catalogue do: it is still opened as the folder, not taken for a URL of some scheme.
TEST(QtShell, OpensAFolderWhoseNameHoldsAColon) {
    const QString node = QStringLiteral("Щиты этажные ЩЭ: на 2, 3 и 4 квартиры");
    QStringList menulist;
    volnor::catalogue::menuload(menulist);
    ASSERT_TRUE(volnor::catalogue::findEntry(menulist, node).has_value());
    QTemporaryDir programDir;
    ASSERT_TRUE(programDir.isValid() && QDir(programDir.path()).mkdir(node));
    Handlers handlers;
    volnor::ui::QtShell shell{volnor::WinPaths(programDir.path())};

    const QString folder = QDir(programDir.path()).filePath(node);
    shell.openFolder(folder);

    ASSERT_EQ(handlers.urls.size(), 1);
    EXPECT_EQ(handlers.urls[0].scheme(), QStringLiteral("file"));
    EXPECT_EQ(handlers.urls[0].toLocalFile(), folder);
    EXPECT_TRUE(QFileInfo(handlers.urls[0].toLocalFile()).isDir());
}

}  // namespace

#include "qt_shell_test.moc"

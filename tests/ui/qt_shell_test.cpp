// The product's shell seam: what reaches the desktop's URL handlers.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

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

    shell.open(QStringLiteral("https://vn.test/"));
    shell.open(QStringLiteral("ftp://ftp.vn.test:2121/eplan/Eplan.7z"));
    shell.open(
        QStringLiteral("mailto:Техподдержка ВОЛНОР<support@vn.test>?subject=Вопросы по Eplan"));
    shell.open(QStringLiteral(".\\Модульное оборудование"));
    shell.open(QStringLiteral("C:\\Users\\Public\\EPLAN\\Data\\Элементы\\VOLNOR\\"));

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

}  // namespace

#include "qt_shell_test.moc"

// The download command on nodes of the built-in catalogue, end to end: local HTTPS server,
// real interpreter, real 7-Zip, recording dialogs and shell.
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "download/download_fixture.h"
#include "platform/error.h"
#include "platform/filesearch.h"

namespace volnor::test {
namespace {

const QString kDone = QStringLiteral("Загрузка завершена!");

QStringList entryTitles() {
    QStringList menulist;
    catalogue::menuload(menulist);
    QStringList titles;
    for (const QString& e : menulist) titles << catalogue::splitEntry(e).namepro;
    return titles;
}

std::optional<catalogue::Entry> entryOf(const QString& node) {
    QStringList menulist;
    catalogue::menuload(menulist);
    for (const QString& e : menulist) {
        const auto entry = catalogue::splitEntry(e);
        if (entry.namepro == node) return entry;
    }
    return std::nullopt;
}

const catalogue::GroupRow* rowOf(const QString& node) {
    for (const auto& row : catalogue::grouplist())
        if (row.key == node) return &row;
    return nullptr;
}

// A series leaf that is no group key.
QString seriesLeaf() {
    for (const QString& title : entryTitles())
        if (!rowOf(title)) return title;
    return {};
}

// The group without an entry that lists the most archives.
const catalogue::GroupRow* group() {
    const catalogue::GroupRow* best = nullptr;
    for (const auto& row : catalogue::grouplist())
        if (!entryTitles().contains(row.key) && (!best || row.urls.size() > best->urls.size()))
            best = &row;
    return best;
}

QString edzOf(const QString& url) {
    return QFileInfo(catalogue::shortweb(url)).completeBaseName() + QStringLiteral(".edz");
}

class DownloadCommand : public DownloadTest {
protected:
    // Serves, for each URL, an archive with one EDZ named after it.
    void serveAll(const QStringList& urls) {
        for (const QString& url : urls) serve(url, edzArchive({edzOf(url)}));
    }
    QStringList urlsOf(const QString& node) {
        QStringList urls;
        if (const auto entry = entryOf(node)) urls << entry->webpro;
        if (const auto* row = rowOf(node)) urls << row->urls;
        return urls;
    }
    static QStringList pathsOf(const QStringList& urls) {
        QStringList out;
        for (const QString& u : urls) out << QUrl(u).path();
        return out;
    }
    QString folderOf(const QString& node) const { return QFileInfo(path(node)).absoluteFilePath(); }
    // Nothing of the run's scripts and archives is left in the program directory.
    void expectNoArchivesNorScripts() const {
        EXPECT_EQ(findEntries(dir().path(), QStringLiteral("*.cmd")), QStringList());
        EXPECT_EQ(findEntries(dir().path(), QStringLiteral("*.zip")), QStringList());
    }
};

TEST_F(DownloadCommand, ASeriesLeafEndsWithItsEdzFilesInItsFolder) {
    const QString leaf = seriesLeaf();
    ASSERT_FALSE(leaf.isEmpty());
    const QString url = entryOf(leaf)->webpro;
    serveAll({url});
    progress_.setPosition(5);
    downloader_->download(leaf);

    EXPECT_EQ(requestedPaths(), pathsOf({url}));
    EXPECT_TRUE(exists(leaf + "/" + edzOf(url)));
    EXPECT_FALSE(exists(edzOf(url)));
    EXPECT_TRUE(exists(QStringLiteral("readme.txt")));  // only EDZ files are moved
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
    EXPECT_EQ(dialogs_.shown.at(0).kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(shell_.opened, QStringList{folderOf(leaf)});
    EXPECT_EQ(progress_.position(), 0);
}

TEST_F(DownloadCommand, AGroupFetchesItsRowInOrderIntoTheOneGroupFolder) {
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    serveAll(row->urls);
    downloader_->download(row->key);

    EXPECT_EQ(requestedPaths(), pathsOf(row->urls));
    for (const QString& url : row->urls) {
        EXPECT_TRUE(exists(row->key + "/" + edzOf(url))) << url.toStdString();
        EXPECT_FALSE(exists(edzOf(url))) << url.toStdString();
    }
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
    EXPECT_EQ(shell_.opened, QStringList{folderOf(row->key)});
}

TEST_F(DownloadCommand, ALeafWithAGroupRowIsFetchedThroughBoth) {
    QString both;
    for (const QString& title : entryTitles())
        if (rowOf(title)) both = title;
    if (both.isEmpty()) GTEST_SKIP() << "the catalogue has no leaf with a group row";
    const QStringList urls = urlsOf(both);
    serveAll(urls);
    downloader_->download(both);

    EXPECT_EQ(requestedPaths(), pathsOf(urls));
    EXPECT_GE(urls.size(), 2);
    EXPECT_TRUE(exists(both + "/" + edzOf(urls.first())));
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
}

// Stray files of every kind in the program directory, and what the arrangement does to them.
TEST_F(DownloadCommand, ArrangementDeletesExactExtensionsAndMovesEdzOfAnyCase) {
    const QString leaf = seriesLeaf();
    serveAll({entryOf(leaf)->webpro});
    struct Stray {
        const char* name;
        bool stays;  // in the program directory
        bool moved;  // into the node folder
    };
    const Stray strays[] = {
        {"stray.zip", false, false}, {"CAPS.ZIP", true, false},  {"Mixed.Zip", true, false},
        {"old.7z", false, false},    {"UPDATE.7Z", true, false}, {"a.zip.txt", true, false},
        {"LOUD.EDZ", false, true},   {"left.edz", false, true},  {"x.edz.bak", true, false},
    };
    for (const Stray& s : strays) write(QString::fromUtf8(s.name), "stray");
    ASSERT_TRUE(dir().mkdir(QStringLiteral("folder.zip")));
    downloader_->download(leaf);

    for (const Stray& s : strays) {
        const QString name = QString::fromUtf8(s.name);
        EXPECT_EQ(exists(name), s.stays) << s.name;
        EXPECT_EQ(exists(leaf + "/" + name), s.moved) << s.name;
    }
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder.zip"))).isDir());
}

TEST_F(DownloadCommand, AnEdzAlreadyInTheFolderIsNotOverwritten) {
    const QString leaf = seriesLeaf();
    const QString url = entryOf(leaf)->webpro;
    serve(url, edzArchive({edzOf(url)}, "new"));
    ASSERT_TRUE(dir().mkdir(leaf));
    write(leaf + "/" + edzOf(url), "older");
    downloader_->download(leaf);

    EXPECT_EQ(read(leaf + "/" + edzOf(url)), QByteArray("older"));
    EXPECT_EQ(read(edzOf(url)), "new " + edzOf(url).toUtf8());
}

// Whatever failed is named in a warning, and "Загрузка завершена!" is not shown.
TEST_F(DownloadCommand, AFailedArchiveGivesAWarningNamingIt) {
    const QString leaf = seriesLeaf();
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    struct Case {
        const char* what;
        QString node;
        QByteArray body;    // empty: not served
        bool folderExists;  // the entry pass makes it before the transfer, getfile after
        QString phrase;
    };
    const Case cases[] = {
        {"leaf not served", leaf, {}, true, QStringLiteral("Не удалось скачать")},
        {"group not served", row->key, {}, false, QStringLiteral("Не удалось скачать")},
        {"leaf is no archive", leaf, "<html>moved</html>", true,
         QStringLiteral("Не удалось распаковать")},
    };
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        shell_.opened.clear();
        QDir(path(c.node)).removeRecursively();
        const QStringList urls = urlsOf(c.node);
        for (const QString& url : urls) {
            QFile::remove(web_.path() + QUrl(url).path());
            if (!c.body.isEmpty()) serve(url, c.body);
        }
        downloader_->download(c.node);

        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        const QString text = dialogs_.shown[0].text;
        EXPECT_TRUE(text.contains(catalogue::shortweb(urls.first())))
            << c.what << text.toStdString();
        EXPECT_TRUE(text.contains(c.phrase)) << c.what << text.toStdString();
        // A transfer failure is not reported a second time as the unpack it made fail.
        EXPECT_EQ(text.count(QStringLiteral("Не удалось")), 1) << c.what << text.toStdString();
        EXPECT_EQ(QFileInfo(path(c.node)).isDir(), c.folderExists) << c.what;
        EXPECT_EQ(shell_.opened, c.folderExists ? QStringList{folderOf(c.node)} : QStringList())
            << c.what;
        expectNoArchivesNorScripts();
    }
}

// The body is written to disk as it arrives; a transfer that breaks off leaves none of it.
TEST_F(DownloadCommand, ATransferBrokenOffInTheMiddleLeavesNoFile) {
    QByteArray body;
    for (quint32 i = 0; i < (1u << 20); ++i)
        body.append(static_cast<char>((i * 2654435761u) >> 24));
    const QString leaf = seriesLeaf();
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    struct Case {
        const char* what;
        QString node;
        QStringList left;  // what the program directory holds afterwards
    };
    const Case cases[] = {
        {"leaf", leaf, {QStringLiteral("7z"), leaf}},  // the entry pass makes the folder first
        {"group", row->key, {QStringLiteral("7z")}},
    };
    for (const Case& c : cases) {
        const QStringList urls = urlsOf(c.node);
        for (const QString& url : urls) serveBroken(url, body, 300000);
        downloader_->download(c.node);

        QStringList left = dir().entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QStringList expected = c.left;
        expected.sort();
        EXPECT_EQ(left.join(u'|').toStdString(), expected.join(u'|').toStdString()) << c.what;
        if (QFileInfo(path(c.node)).isDir()) {
            EXPECT_TRUE(
                QDir(path(c.node)).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
                << c.what;
        }
        ASSERT_EQ(downloader_->outcomes().size(), static_cast<std::size_t>(urls.size())) << c.what;
        for (const ArchiveOutcome& o : downloader_->outcomes())
            EXPECT_FALSE(o.transferError.isEmpty()) << c.what << " " << o.archive.toStdString();
        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        dialogs_.shown.clear();
        shell_.opened.clear();
        QDir(path(c.node)).removeRecursively();
    }
}

TEST_F(DownloadCommand, WithoutACurrentNodeNothingHappens) {
    write(QStringLiteral("stray.zip"), "stray");
    downloader_->download(std::nullopt);
    EXPECT_TRUE(exists(QStringLiteral("stray.zip")));
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_TRUE(shell_.opened.isEmpty());
    EXPECT_TRUE(requestedPaths().isEmpty());
}

TEST_F(DownloadCommand, ANodeMatchingNothingFetchesNothingButStillTidiesAndReports) {
    const QString nowhere = seriesLeaf() + QStringLiteral(" ");  // a trailing blank matches nothing
    write(QStringLiteral("stray.zip"), "stray");
    write(QStringLiteral("stray.edz"), "stray");
    downloader_->download(nowhere);
    EXPECT_TRUE(requestedPaths().isEmpty());
    EXPECT_FALSE(exists(QStringLiteral("stray.zip")));
    EXPECT_TRUE(exists(QStringLiteral("stray.edz")));  // no folder to move it into
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
    EXPECT_TRUE(shell_.opened.isEmpty());
}

TEST_F(DownloadCommand, AScriptThatCannotBeWrittenEndsTheCommand) {
    const QString leaf = seriesLeaf();
    const QString url = entryOf(leaf)->webpro;
    serveAll({url});
    write(QStringLiteral("stray.zip"), "stray");
    ASSERT_TRUE(dir().mkdir(catalogue::shortweb(url) + QStringLiteral(".cmd")));
    EXPECT_THROW(downloader_->download(leaf), Error);
    EXPECT_TRUE(exists(QStringLiteral("stray.zip")));  // no arrangement
    EXPECT_TRUE(exists(catalogue::shortweb(url)));     // the saved archive stays
    EXPECT_TRUE(dialogs_.shown.empty());
}

}  // namespace
}  // namespace volnor::test

// The download command on nodes of the built-in catalogue, end to end: local HTTPS server,
// real interpreter, real 7-Zip, recording dialogs and shell.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/catalogue.h"
#include "download/download_fixture.h"
#include "platform/error.h"

namespace volnor::test {
namespace {

using Names = std::vector<std::string>;

const std::string kDone = "Загрузка завершена!";

Names entryTitles() {
    Names menulist;
    catalogue::menuload(menulist);
    Names titles;
    for (const std::string& e : menulist) titles.push_back(catalogue::splitEntry(e).namepro);
    return titles;
}

bool isEntryTitle(const std::string& text) {
    const Names titles = entryTitles();
    return std::find(titles.begin(), titles.end(), text) != titles.end();
}

std::optional<catalogue::Entry> entryOf(const std::string& node) {
    Names menulist;
    catalogue::menuload(menulist);
    for (const std::string& e : menulist) {
        const auto entry = catalogue::splitEntry(e);
        if (entry.namepro == node) return entry;
    }
    return std::nullopt;
}

const catalogue::GroupRow* rowOf(const std::string& node) {
    for (const auto& row : catalogue::grouplist())
        if (row.key == node) return &row;
    return nullptr;
}

// A series leaf that is no group key.
std::string seriesLeaf() {
    for (const std::string& title : entryTitles())
        if (!rowOf(title)) return title;
    return {};
}

// The group without an entry that lists the most archives.
const catalogue::GroupRow* group() {
    const catalogue::GroupRow* best = nullptr;
    for (const auto& row : catalogue::grouplist())
        if (!isEntryTitle(row.key) && (!best || row.urls.size() > best->urls.size())) best = &row;
    return best;
}

std::string edzOf(const std::string& url) {
    return utf8Of(pathOf(catalogue::shortweb(url)).stem()) + ".edz";
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class DownloadCommand : public DownloadTest {
protected:
    // Serves, for each URL, an archive with one EDZ named after it.
    void serveAll(const Names& urls) {
        for (const std::string& url : urls) serve(url, edzArchive({edzOf(url)}));
    }
    Names urlsOf(const std::string& node) {
        Names urls;
        if (const auto entry = entryOf(node)) urls.push_back(entry->webpro);
        if (const auto* row = rowOf(node))
            urls.insert(urls.end(), row->urls.begin(), row->urls.end());
        return urls;
    }
    static Names pathsOf(const Names& urls) {
        Names out;
        for (const std::string& u : urls) out.push_back(pathOfUrl(u));
        return out;
    }
    std::string folderOf(const std::string& node) const { return utf8Of(path(node)); }
    // Nothing of the run's scripts and archives is left in the program directory.
    void expectNoArchivesNorScripts() const {
        EXPECT_EQ(search_.find(dir(), "*.cmd"), Names());
        EXPECT_EQ(search_.find(dir(), "*.zip"), Names());
    }
};

TEST_F(DownloadCommand, ASeriesLeafEndsWithItsEdzFilesInItsFolder) {
    const std::string leaf = seriesLeaf();
    ASSERT_FALSE(leaf.empty());
    const std::string url = entryOf(leaf)->webpro;
    serveAll({url});
    progress_.setPosition(5);
    downloader_->download(leaf);

    EXPECT_EQ(requestedPaths(), pathsOf({url}));
    EXPECT_TRUE(exists(leaf + "/" + edzOf(url)));
    EXPECT_FALSE(exists(edzOf(url)));
    EXPECT_TRUE(exists("readme.txt"));  // only EDZ files are moved
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), Names{kDone});
    EXPECT_EQ(dialogs_.shown.at(0).kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(shell_.opened, Names{folderOf(leaf)});
    EXPECT_EQ(shell_.folders, Names{folderOf(leaf)});
    EXPECT_EQ(progress_.position(), 0);
}

TEST_F(DownloadCommand, AGroupFetchesItsRowInOrderIntoTheOneGroupFolder) {
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    serveAll(row->urls);
    downloader_->download(row->key);

    EXPECT_EQ(requestedPaths(), pathsOf(row->urls));
    for (const std::string& url : row->urls) {
        EXPECT_TRUE(exists(row->key + "/" + edzOf(url))) << url;
        EXPECT_FALSE(exists(edzOf(url))) << url;
    }
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), Names{kDone});
    EXPECT_EQ(shell_.opened, Names{folderOf(row->key)});
}

TEST_F(DownloadCommand, ALeafWithAGroupRowIsFetchedThroughBoth) {
    std::string both;
    for (const std::string& title : entryTitles())
        if (rowOf(title)) both = title;
    if (both.empty()) GTEST_SKIP() << "the catalogue has no leaf with a group row";
    const Names urls = urlsOf(both);
    serveAll(urls);
    downloader_->download(both);

    EXPECT_EQ(requestedPaths(), pathsOf(urls));
    EXPECT_GE(urls.size(), 2u);
    EXPECT_TRUE(exists(both + "/" + edzOf(urls.front())));
    expectNoArchivesNorScripts();
    EXPECT_EQ(dialogs_.texts(), Names{kDone});
}

// Stray files of every kind in the program directory, and what the arrangement does to them.
TEST_F(DownloadCommand, ArrangementDeletesExactExtensionsAndMovesEdzOfAnyCase) {
    const std::string leaf = seriesLeaf();
    serveAll({entryOf(leaf)->webpro});
    struct Stray {
        const char* name;
        bool stays;  // in the program directory
        bool moved;  // into the node folder
    };
    const Stray strays[] = {
        {"stray.zip", false, false},
        {"CAPS.ZIP", true, false},
        {"Mixed.Zip", true, false},
        {"old.7z", false, false},
        {"UPDATE.7Z", true, false},
        {"a.zip.txt", true, false},
        {"LOUD.EDZ", false, true},
        {"left.edz", false, true},
        {"x.edz.bak", true, false},
        // Files aside that a broken run left: the program's own go, look-alikes stay.
        {"old.zip.Ab12Z9.part", false, false},
        {"old.zip.cmd.x1Y2z3.part", false, false},
        {"eplan-config.ini.Q9w8E7.part", false, false},
        {"notes.txt.Ab12Z9.part", true, false},
        {"old.zip.part", true, false},
        {"old.zip.Ab12Z.part", true, false},
        {"old.zip.Ab-2Z9.part", true, false},
        {"old.zip.Ab12Z9.PART", true, false},
        {"Ab12Z9.part", true, false},
    };
    for (const Stray& s : strays) write(s.name, "stray");
    ASSERT_TRUE(fs::create_directory(path("folder.zip")));
    ASSERT_TRUE(fs::create_directory(path("folder.zip.Ab12Z9.part")));
    downloader_->download(leaf);

    for (const Stray& s : strays) {
        EXPECT_EQ(exists(s.name), s.stays) << s.name;
        EXPECT_EQ(exists(leaf + "/" + s.name), s.moved) << s.name;
    }
    EXPECT_TRUE(fs::is_directory(path("folder.zip")));
    EXPECT_TRUE(fs::is_directory(path("folder.zip.Ab12Z9.part")));
}

TEST_F(DownloadCommand, AnEdzAlreadyInTheFolderIsNotOverwritten) {
    const std::string leaf = seriesLeaf();
    const std::string url = entryOf(leaf)->webpro;
    serve(url, edzArchive({edzOf(url)}, "new"));
    ASSERT_TRUE(fs::create_directory(path(leaf)));
    write(leaf + "/" + edzOf(url), "older");
    downloader_->download(leaf);

    EXPECT_EQ(read(leaf + "/" + edzOf(url)), "older");
    EXPECT_EQ(read(edzOf(url)), "new " + edzOf(url));
}

// Whatever failed is named in a warning, and "Загрузка завершена!" is not shown.
TEST_F(DownloadCommand, AFailedArchiveGivesAWarningNamingIt) {
    const std::string leaf = seriesLeaf();
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    struct Case {
        const char* what;
        std::string node;
        std::string body;   // empty: not served
        bool folderExists;  // the entry pass makes it before the transfer, getfile after
        std::string phrase;
    };
    const Case cases[] = {
        {"leaf not served", leaf, {}, true, "Не удалось скачать"},
        {"group not served", row->key, {}, false, "Не удалось скачать"},
        {"leaf is no archive", leaf, "<html>moved</html>", true, "Не удалось распаковать"},
    };
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        shell_.opened.clear();
        fs::remove_all(path(c.node));
        const Names urls = urlsOf(c.node);
        for (const std::string& url : urls) {
            fs::remove(served(url));
            if (!c.body.empty()) serve(url, c.body);
        }
        downloader_->download(c.node);

        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        const std::string text = dialogs_.shown[0].text;
        EXPECT_NE(text.find(catalogue::shortweb(urls.front())), std::string::npos)
            << c.what << text;
        EXPECT_NE(text.find(c.phrase), std::string::npos) << c.what << text;
        // A transfer failure is not reported a second time as the unpack it made fail.
        EXPECT_EQ(occurrences(text, "Не удалось"), 1u) << c.what << text;
        EXPECT_EQ(fs::is_directory(path(c.node)), c.folderExists) << c.what;
        EXPECT_EQ(shell_.opened, c.folderExists ? Names{folderOf(c.node)} : Names()) << c.what;
        expectNoArchivesNorScripts();
    }
}

// The command interpreter of Windows reports no failure of 7-Zip: an unpack that ended without
// every file of its archive in place failed, whatever the interpreter said. A 7-Zip that reports
// nothing stands in for it here; what a cut-short unpack left is taken away, so that the node
// folder holds no part of the archive's files.
TEST_F(DownloadCommand, AnUnpackThatLeftAFileOutIsAFailedUnpack) {
    const std::string leaf = seriesLeaf();
    ASSERT_FALSE(leaf.empty());
    const std::string url = entryOf(leaf)->webpro;
    const std::string archive = catalogue::shortweb(url);
    serve(url, edzArchive({"first.edz", "second.edz"}, std::string(3000, 'x')));
    struct Case {
        const char* what;
        std::string after;   // what the stand-in does after unpacking, in its folder "7z"
        std::string reason;  // empty: the unpack went well
    };
    const Case cases[] = {
        {"every file unpacked", "", ""},
        {"cut short after the first file", "rm -f ../second.edz ../readme.txt",
         "нет файла «second.edz»"},
        {"a file left short", "truncate -s 100 ../second.edz",
         "файл «second.edz» распакован не полностью"},
        {"nothing unpacked", "rm -f ../first.edz ../second.edz ../readme.txt",
         "нет файла «first.edz»"},
    };
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        fs::remove_all(path(leaf));
        for (const char* name : {"first.edz", "second.edz", "readme.txt"}) fs::remove(path(name));
        fs::remove(path("7z/7z.exe"));
        write("7z/7z.exe",
              "#!/bin/sh\n/usr/bin/7zz \"$@\" >/dev/null || exit 2\n" + c.after + "\nexit 0\n");
        fs::permissions(path("7z/7z.exe"), fs::perms::owner_all);
        downloader_->download(leaf);

        const bool ok = c.reason.empty();
        ASSERT_EQ(downloader_->outcomes().size(), 1u) << c.what;
        EXPECT_EQ(downloader_->outcomes()[0].ok(), ok) << c.what;
        EXPECT_EQ(dialogs_.texts(),
                  Names{ok ? kDone
                           : "Загрузка завершена с ошибками.\n\nНе удалось распаковать:\n  " +
                                 archive + ": архив повреждён или не распаковался (" + c.reason +
                                 ")\n\nПовторите загрузку позже."})
            << c.what;
        for (const char* edz : {"first.edz", "second.edz"}) {
            EXPECT_EQ(exists(leaf + "/" + edz), ok) << c.what << " " << edz;
            EXPECT_FALSE(exists(edz)) << c.what << " " << edz;
        }
        EXPECT_EQ(exists("readme.txt"), ok) << c.what;
        expectNoArchivesNorScripts();
    }
}

// An archive that would write over the program is named in the warning and unpacked not at
// all; the group's other archives are.
TEST_F(DownloadCommand, AnArchiveOverTheProgramIsReportedAndNotUnpacked) {
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    ASSERT_GE(row->urls.size(), 2u);
    serveAll(row->urls);
    const std::string hostile = row->urls.front();
    serve(hostile, zip({{edzOf(hostile), "edz"}, {"7z\\7z.dll", "not 7-Zip"}}));
    downloader_->download(row->key);

    EXPECT_EQ(dialogs_.texts(),
              Names{"Загрузка завершена с ошибками.\n\nНе удалось распаковать:\n  " +
                    catalogue::shortweb(hostile) +
                    ": архив записал бы «7z\\7z.dll» поверх файлов самой программы\n\n"
                    "Повторите загрузку позже."});
    EXPECT_FALSE(exists(row->key + "/" + edzOf(hostile)));
    EXPECT_FALSE(exists(edzOf(hostile)));
    EXPECT_FALSE(exists("7z/7z.dll"));
    EXPECT_FALSE(exists("7z\\7z.dll"));
    for (const std::string& url : row->urls) {
        if (url == hostile) continue;
        EXPECT_TRUE(exists(row->key + "/" + edzOf(url))) << url;
    }
    expectNoArchivesNorScripts();
    EXPECT_EQ(shell_.opened, Names{folderOf(row->key)});
}

// The body is written to disk as it arrives; a transfer that breaks off leaves none of it.
TEST_F(DownloadCommand, ATransferBrokenOffInTheMiddleLeavesNoFile) {
    std::string body;
    for (std::uint32_t i = 0; i < (1u << 20); ++i)
        body.push_back(static_cast<char>((i * 2654435761u) >> 24));
    const std::string leaf = seriesLeaf();
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    struct Case {
        const char* what;
        std::string node;
        Names left;  // what the program directory holds afterwards
    };
    const Case cases[] = {
        {"leaf", leaf, {"7z", leaf}},  // the entry pass makes the folder first
        {"group", row->key, {"7z"}},
    };
    for (const Case& c : cases) {
        const Names urls = urlsOf(c.node);
        for (const std::string& url : urls) serveBroken(url, body, 300000);
        downloader_->download(c.node);

        Names expected = c.left;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(entryNames(dir()), expected) << c.what;
        if (fs::is_directory(path(c.node))) {
            EXPECT_TRUE(fs::is_empty(path(c.node))) << c.what;
        }
        ASSERT_EQ(downloader_->outcomes().size(), urls.size()) << c.what;
        for (const ArchiveOutcome& o : downloader_->outcomes())
            EXPECT_FALSE(o.transferError.empty()) << c.what << " " << o.archive;
        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        dialogs_.shown.clear();
        shell_.opened.clear();
        fs::remove_all(path(c.node));
    }
}

// A server that cannot prove to be the maker's gets no say: its archive is a failed transfer.
TEST_F(DownloadCommand, AServerWhoseCertificateIsRefusedGivesAWarningAndNothingIsSaved) {
    server_ = std::make_unique<HttpsServer>(web_.path(), HttpsServer::Cert::UnknownCa);
    http_ = std::make_unique<posix::CurlHttpClient>(server_->connectTo());
    downloader_ = std::make_unique<Downloader>(*http_, progress_, dialogs_, shell_, runner(),
                                               search_, [] {});
    const std::string leaf = seriesLeaf();
    const Names urls = urlsOf(leaf);
    serveAll(urls);
    downloader_->download(leaf);

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning);
    const std::string text = dialogs_.shown[0].text;
    EXPECT_NE(text.find(catalogue::shortweb(urls.front())), std::string::npos) << text;
    EXPECT_NE(text.find("сертификат сервера не прошёл проверку ("), std::string::npos) << text;
    EXPECT_EQ(text.find(kDone), std::string::npos) << text;
    EXPECT_TRUE(server_->requests().empty());
    // The entry pass made the folder; nothing landed in it.
    Names expected{"7z", leaf};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entryNames(dir()), expected);
    EXPECT_TRUE(fs::is_empty(path(leaf)));
    expectNoArchivesNorScripts();
}

TEST_F(DownloadCommand, WithoutACurrentNodeNothingHappens) {
    write("stray.zip", "stray");
    downloader_->download(std::nullopt);
    EXPECT_TRUE(exists("stray.zip"));
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_TRUE(shell_.opened.empty());
    EXPECT_TRUE(requestedPaths().empty());
}

TEST_F(DownloadCommand, ANodeMatchingNothingFetchesNothingButStillTidiesAndReports) {
    const std::string nowhere = seriesLeaf() + " ";  // a trailing blank matches nothing
    write("stray.zip", "stray");
    write("stray.edz", "stray");
    downloader_->download(nowhere);
    EXPECT_TRUE(requestedPaths().empty());
    EXPECT_FALSE(exists("stray.zip"));
    EXPECT_TRUE(exists("stray.edz"));  // no folder to move it into
    EXPECT_EQ(dialogs_.texts(), Names{kDone});
    EXPECT_TRUE(shell_.opened.empty());
}

TEST_F(DownloadCommand, AScriptThatCannotBeWrittenEndsTheCommand) {
    const std::string leaf = seriesLeaf();
    const std::string url = entryOf(leaf)->webpro;
    serveAll({url});
    write("stray.zip", "stray");
    ASSERT_TRUE(fs::create_directory(path(catalogue::shortweb(url) + ".cmd")));
    EXPECT_THROW(downloader_->download(leaf), Error);
    EXPECT_TRUE(exists("stray.zip"));               // no arrangement
    EXPECT_TRUE(exists(catalogue::shortweb(url)));  // the saved archive stays
    EXPECT_TRUE(dialogs_.shown.empty());
}

}  // namespace
}  // namespace volnor::test

// The download command end to end under Wine, as the program runs it: the core's Downloader with
// WinHTTP through the test CONNECT proxy (the certificate checked against the test CA in the
// prefix's root store), Wine's command interpreter running the unpack scripts, 7-Zip for Windows
// in a throwaway program directory, the system's file search; dialogs and shell recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "download/downloader.h"
#include "platform/progress.h"
#include "platform/text.h"
#include "platform/win32/file_search.h"
#include "platform/win32/script_runner.h"
#include "platform/win32/winhttp_client.h"
#include "support/ca_store.h"
#include "support/files.h"
#include "support/recorders.h"
#include "support/servers.h"

namespace volnor::wintest {
namespace {

using namespace std::chrono_literals;
using test::CurrentDir;
using test::RecordingDialogs;
using test::RecordingShell;
using test::ShownBox;
using test::TempDir;
using test::writeFile;
using test::fs::path;
using Names = std::vector<std::string>;

const std::string kDone = "Загрузка завершена!";

std::string edzOf(const std::string& url) {
    return utf8Of(pathOf(catalogue::shortweb(url)).stem()) + ".edz";
}

// The path of a URL: "https://host/f/1/a.zip" -> "/f/1/a.zip".
std::string pathOfUrl(const std::string& url) {
    const std::size_t host = url.find("://");
    const std::size_t slash = url.find('/', host == std::string::npos ? 0 : host + 3);
    return slash == std::string::npos ? std::string("/") : url.substr(slash);
}

bool isEntryTitle(const std::string& text) {
    Names menulist;
    catalogue::menuload(menulist);
    return std::any_of(menulist.begin(), menulist.end(), [&](const std::string& e) {
        return catalogue::splitEntry(e).namepro == text;
    });
}

// A group without an entry of its own, with more than one archive but as few as there are: each
// archive is one run of the interpreter and 7-Zip.
const catalogue::GroupRow* group() {
    const catalogue::GroupRow* best = nullptr;
    for (const auto& row : catalogue::grouplist())
        if (!isEntryTitle(row.key) && row.urls.size() >= 2 &&
            (!best || row.urls.size() < best->urls.size()))
            best = &row;
    return best;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class Download : public ::testing::Test {
protected:
    static void SetUpTestSuite() { trustTestCa(); }

    void SetUp() override {
        // The build's folder is a Unix path, which names a file on the current drive only.
        const path bin = test::fs::absolute(pathOf(VOLNOR_BIN_DIR "/7z"));
        test::fs::create_directories(file("7z"));
        for (const char* name : {"7z.exe", "7z.dll"})
            test::fs::copy_file(bin / name, file("7z") / name);
        current_.emplace(dir());
        server_ = std::make_unique<HttpsServer>(web_.path());
        connect(server_->proxy());
    }
    void TearDown() override {
        downloader_.reset();
        current_.reset();
    }

    // A client and a downloader that reach the maker's web host through this proxy.
    void connect(const std::string& proxy) {
        downloader_.reset();
        http_ = std::make_unique<win32::WinHttpClient>(proxy);
        http_->setConnectTimeout(5s);
        http_->setStallTimeout(10s);
        downloader_ = std::make_unique<Downloader>(*http_, progress_, dialogs_, shell_, runner_,
                                                   search_, [] {});
    }

    const path& dir() const { return program_.path(); }
    path file(std::string_view name) const { return program_.file(name); }
    bool exists(std::string_view name) const { return test::fs::exists(file(name)); }
    std::string folderOf(const std::string& node) const { return utf8Of(file(node)); }
    path served(const std::string& url) const { return web_.file(pathOfUrl(url).substr(1)); }

    // A zip as the maker publishes it, made by 7-Zip for Windows: the EDZ file named after the
    // URL and a text file.
    std::string edzArchive(const std::string& url) const {
        const TempDir stage, out;
        writeFile(stage.file(edzOf(url)), "edz " + edzOf(url));
        writeFile(stage.file("readme.txt"), "readme");
        const ProgramResult made = runner_.run(
            file("7z/7z.exe"),
            {"a", "-tzip", "-bso0", utf8Of(out.file("a.zip")), utf8Of(stage.path() / "*")}, 60s);
        EXPECT_TRUE(made.ok) << made.errors;
        return test::readFile(out.file("a.zip"));
    }
    void serve(const std::string& url, const std::string& bytes) const {
        writeFile(served(url), bytes);
    }
    Names requestedPaths() const {
        Names out;
        for (const RecordedRequest& r : server_->requests()) out.push_back(r.path);
        return out;
    }
    // Nothing of the run's archives, scripts and files aside is left in the program directory.
    void expectNothingLeftOver(const std::string& what) const {
        for (const char* mask : {"*.zip", "*.cmd", "*.part"})
            EXPECT_EQ(search_.find(dir(), mask), Names()) << what << " " << mask;
    }

    TempDir web_;
    std::unique_ptr<HttpsServer> server_;
    std::unique_ptr<win32::WinHttpClient> http_;
    HeldProgress progress_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    const win32::WinScriptRunner runner_;
    const win32::WinFileSearch search_;
    std::unique_ptr<Downloader> downloader_;

private:
    TempDir program_;
    std::optional<CurrentDir> current_;
};

TEST_F(Download, AGroupEndsWithItsEdzFilesInItsFolderAndNothingLeftOver) {
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    for (const std::string& url : row->urls) serve(url, edzArchive(url));
    downloader_->download(row->key);

    Names expectedPaths;
    for (const std::string& url : row->urls) expectedPaths.push_back(pathOfUrl(url));
    // Through the tunnel WinHTTP sends the absolute form: the path ends each request line.
    const Names requested = requestedPaths();
    ASSERT_EQ(requested.size(), expectedPaths.size());
    for (std::size_t i = 0; i < requested.size(); ++i)
        EXPECT_TRUE(requested[i].ends_with(expectedPaths[i])) << requested[i];
    for (const std::string& url : row->urls) {
        EXPECT_EQ(test::readFile(file(row->key + "/" + edzOf(url))), "edz " + edzOf(url)) << url;
        EXPECT_FALSE(exists(edzOf(url))) << url;
    }
    EXPECT_TRUE(exists("readme.txt"));  // only EDZ files are moved
    expectNothingLeftOver("group");
    EXPECT_EQ(dialogs_.texts(), Names{kDone});
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(shell_.folders, Names{folderOf(row->key)});
    EXPECT_EQ(progress_.position(), 0);
}

// Whatever failed is named in a warning, once, and "Загрузка завершена!" is not shown; a group's
// folder is made only after a transfer that went well, so none is made or opened.
TEST_F(Download, AFailedTransferGivesAWarningNamingTheArchiveAndLeavesNothing) {
    const catalogue::GroupRow* row = group();
    ASSERT_NE(row, nullptr);
    const std::string first = row->urls.front();
    // The body is larger than the cut, so the server closes the connection in the middle of it.
    std::string body;
    for (std::uint32_t i = 0; i < 400000; ++i)
        body.push_back(static_cast<char>((i * 2654435761u) >> 24));
    std::string noServer;
    {
        const HttpsServer stopped(web_.path());
        noServer = stopped.proxy();  // nobody listens there once it has stopped
    }
    struct Case {
        const char* what;
        bool served;
        std::optional<std::size_t> cut;  // bytes sent before the connection is closed
        bool reachable;
    };
    const Case cases[] = {
        {"not found", false, std::nullopt, true},
        {"connection closed mid-body", true, 150000, true},
        {"no server", true, std::nullopt, false},
    };
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        shell_.opened.clear();
        shell_.folders.clear();
        for (const std::string& url : row->urls) {
            test::fs::remove(served(url));
            path cut = served(url);
            cut += ".cut";
            test::fs::remove(cut);
            if (!c.served) continue;
            serve(url, body);
            if (c.cut) writeFile(cut, std::to_string(*c.cut));
        }
        connect(c.reachable ? server_->proxy() : noServer);
        downloader_->download(row->key);

        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        const std::string text = dialogs_.shown[0].text;
        for (const std::string& url : row->urls)
            EXPECT_NE(text.find(catalogue::shortweb(url)), std::string::npos) << c.what << text;
        EXPECT_NE(text.find("Не удалось скачать"), std::string::npos) << c.what << text;
        EXPECT_EQ(occurrences(text, "Не удалось"), 1u) << c.what << text;
        EXPECT_EQ(text.find(kDone), std::string::npos) << c.what << text;
        ASSERT_EQ(downloader_->outcomes().size(), row->urls.size()) << c.what;
        for (const ArchiveOutcome& o : downloader_->outcomes())
            EXPECT_FALSE(o.transferError.empty()) << c.what << " " << o.archive;
        EXPECT_FALSE(test::fs::exists(file(row->key))) << c.what;
        EXPECT_TRUE(shell_.opened.empty()) << c.what;
        EXPECT_EQ(test::entryNames(dir()), Names{"7z"}) << c.what;
        expectNothingLeftOver(c.what);
    }
}

}  // namespace
}  // namespace volnor::wintest

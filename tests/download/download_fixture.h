#pragma once
// A program directory, a local HTTPS server standing for the maker's web server, and a
// Downloader wired to them with recording dialogs and shell.
#include <memory>

#include "download/downloader.h"
#include "download/program_dir.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/file_search.h"
#include "support/recorders.h"
#include "support/servers.h"

namespace volnor::test {

class DownloadTest : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        server_ = std::make_unique<HttpsServer>(web_.path());
        http_ = std::make_unique<posix::CurlHttpClient>(server_->connectTo());
        http_->setOnWork([this](HttpClient&, HttpClient::WorkMode, std::int64_t count) {
            progress_.advance(count);
        });
        downloader_ = std::make_unique<Downloader>(*http_, progress_, dialogs_, shell_, runner(),
                                                   search_, [this] { ++pumped_; });
    }
    void TearDown() override {
        downloader_.reset();
        ProgramDirTest::TearDown();
    }

    // The path of a URL: "https://host/f/1/a.zip" -> "/f/1/a.zip".
    static std::string pathOfUrl(const std::string& url) {
        const std::size_t host = url.find("://");
        const std::size_t slash = url.find('/', host == std::string::npos ? 0 : host + 3);
        return slash == std::string::npos ? std::string("/") : url.substr(slash);
    }
    // Where the server finds the file of a URL.
    fs::path served(const std::string& url) const { return web_.file(pathOfUrl(url).substr(1)); }

    // Serves bytes at the path of an archive URL.
    void serve(const std::string& url, std::string_view bytes) {
        ASSERT_NO_THROW(writeFile(served(url), bytes)) << url;
    }
    // Serves bytes at the path of an archive URL, but the server closes the connection after
    // `sent` of them, in the middle of the body.
    void serveBroken(const std::string& url, std::string_view bytes, std::size_t sent) {
        serve(url, bytes);
        fs::path cut = served(url);
        cut += ".cut";
        ASSERT_NO_THROW(writeFile(cut, std::to_string(sent)));
    }
    // An archive as the maker publishes it: EDZ files and a text file.
    static std::string edzArchive(const std::vector<std::string>& edz,
                                  const std::string& data = "edz") {
        std::vector<ZipEntry> entries;
        for (const std::string& name : edz) entries.push_back({name, data + " " + name});
        entries.push_back({"readme.txt", "readme"});
        return zip(entries);
    }
    // The paths the server was asked for, in order.
    std::vector<std::string> requestedPaths() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server_->requests()) out.push_back(r.path);
        return out;
    }

    TempDir web_;
    std::unique_ptr<HttpsServer> server_;
    std::unique_ptr<posix::CurlHttpClient> http_;
    HeldProgress progress_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    posix::PosixFileSearch search_;
    int pumped_ = 0;
    std::unique_ptr<Downloader> downloader_;
};

}  // namespace volnor::test

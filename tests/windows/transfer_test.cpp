// The Windows transfer clients under Wine against the real test servers: WinHTTP through a
// CONNECT proxy to the HTTPS server (the maker's host name in TLS and the request, the test CA in
// the prefix's root store), WinINet in active mode to the FTP server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32/winhttp_client.h"
#include "platform/win32/wininet_ftp_client.h"
#include "support/ca_store.h"
#include "support/servers.h"
#include "transfer/http_client_cases.h"
#include "transfer/transfer_error.h"

using testing::HasSubstr;
using volnor::ByteSink;
using volnor::Error;
using volnor::FtpConnectError;
using volnor::FtpGetError;
using volnor::HttpClient;
using volnor::TransferError;
using volnor::test::readFile;
using volnor::test::TempDir;
using volnor::test::writeFile;
using volnor::win32::WinHttpClient;
using volnor::win32::WinInetFtpClient;
using volnor::wintest::FtpServer;
using volnor::wintest::HttpsServer;
using Kind = TransferError::Kind;
using volnor::test::BufferSink;
using volnor::test::FullSink;
using volnor::test::sampleBody;
using volnor::test::sum;
using Commands = std::vector<std::string>;

namespace {

// ---- HTTP -------------------------------------------------------------------------------------

// A served folder with one binary file, and a client set up as start-up leaves it.
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        volnor::wintest::trustTestCa();
        writeFile(root_.file("a.bin"), sampleBody());
    }

    static std::unique_ptr<WinHttpClient> startedClient(const std::string& proxy) {
        auto client = std::make_unique<WinHttpClient>(proxy);
        client->setHandleRedirects(true);
        client->setUserAgent(HttpClient::kUserAgent);
        return client;
    }
    static std::unique_ptr<WinHttpClient> startedClient(const HttpsServer& server) {
        return startedClient(server.proxy());
    }

    TempDir root_;
};


// Only a server whose chain leads to a root of the system's store and whose certificate names
// the host gets the request. Wine reports every refusal as a failed secure channel (12157),
// which the client names a failed handshake; Windows names the certificate's fault, and those
// codes are the next test's.
TEST_F(HttpClientTest, RefusesEveryServerItCannotVerify) {
    using Cert = HttpsServer::Cert;
    struct Case {
        const char* what;
        Cert cert;
        bool accepted;
    };
    const Case cases[] = {
        {"good chain", Cert::Good, true},
        {"unknown CA", Cert::UnknownCa, false},
        {"expired", Cert::Expired, false},
        {"wrong name", Cert::WrongName, false},
    };
    for (const Case& c : cases) {
        HttpsServer server(root_.path(), c.cert);
        WinHttpClient client(server.proxy());
        std::string buffer;
        const std::string url = HttpsServer::url("/a.bin");
        try {
            client.Get(url, buffer);
            EXPECT_TRUE(c.accepted) << c.what << ": accepted";
            EXPECT_EQ(buffer, sampleBody()) << c.what;
        } catch (const TransferError& e) {
            EXPECT_FALSE(c.accepted) << c.what << ": " << e.text();
            EXPECT_THAT(e.text(), HasSubstr("(12157)")) << c.what;
            EXPECT_THAT(e.text(), HasSubstr(url)) << c.what;
            EXPECT_EQ(e.kind(), Kind::Secure) << c.what;
            EXPECT_EQ(e.httpStatus(), 0) << c.what;
            EXPECT_TRUE(buffer.empty()) << c.what;
            EXPECT_TRUE(server.requests().empty()) << c.what;
        }
        // The maker's host name went into the tunnel, and so into TLS.
        EXPECT_EQ(server.tunnels(),
                  std::vector<std::string>{std::string(volnor::buildconfig::kWebHost) + ":443"})
            << c.what;
    }
}

TEST(WinHttpErrors, EachCodeHasTheKindOfItsCause) {
    struct Case {
        unsigned long code;
        Kind kind;
    };
    const Case cases[] = {
        {12175, Kind::Certificate},   // the secure-failure callback names the fault
        {12045, Kind::Certificate},   // unknown CA
        {12038, Kind::Certificate},   // another name
        {12037, Kind::Certificate},   // expired
        {12169, Kind::Certificate},   // invalid certificate
        {12157, Kind::Secure},        // no common TLS version or cipher
        {12029, Kind::NoConnection},  // refused
        {12007, Kind::NoConnection},  // name not resolved
        {12002, Kind::TimedOut},     {10060, Kind::TimedOut},   // Wine's receive time-out
        {12030, Kind::BrokenOff},    {12152, Kind::BrokenOff},  // no valid answer
        {12156, Kind::Other},                                   // too many redirects
    };
    for (const Case& c : cases)
        EXPECT_EQ(volnor::win32::kindOfWinHttpError(c.code), c.kind) << c.code;
}

TEST(WinHttpProxy, IsTheConnectToEntryOfTheWebHostsPort443) {
    const std::string web = volnor::buildconfig::kWebHost;
    EXPECT_EQ(volnor::win32::webProxy(""), "");
    EXPECT_EQ(volnor::win32::webProxy(web + ":80:127.0.0.1:1;" + web + ":443:127.0.0.1:8443"),
              "127.0.0.1:8443");
    EXPECT_EQ(volnor::win32::webProxy("other.test:443:127.0.0.1:1"), "");
}

TEST_F(HttpClientTest, SpeaksTls12AndRefusesOlder) {
    {
        HttpsServer server(root_.path(), HttpsServer::Cert::Good, HttpsServer::Tls::V1_2Only);
        std::string buffer;
        startedClient(server)->Get(HttpsServer::url("/a.bin"), buffer);
        EXPECT_EQ(buffer, sampleBody());
    }
    HttpsServer server(root_.path(), HttpsServer::Cert::Good, HttpsServer::Tls::V1_1Only);
    std::string buffer;
    const std::string url = HttpsServer::url("/a.bin");
    try {
        startedClient(server)->Get(url, buffer);
        FAIL() << "a TLS 1.1 server was accepted";
    } catch (const TransferError& e) {
        EXPECT_THAT(e.text(), HasSubstr(url));
        EXPECT_EQ(e.kind(), Kind::Secure);
        EXPECT_EQ(e.httpStatus(), 0);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClientTest, FollowsUpTo15RedirectsAndGivesOnlyTheFinalBody) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    for (int hops : {1, 15}) {
        std::string buffer;
        client->Get(HttpsServer::url("/redirect/" + std::to_string(hops) + "/a.bin"), buffer);
        EXPECT_EQ(buffer, sampleBody()) << hops;
    }
    std::string buffer;
    EXPECT_THROW(client->Get(HttpsServer::url("/redirect/16/a.bin"), buffer), TransferError);
    EXPECT_TRUE(buffer.empty());
    // The 16th redirect is refused, not requested.
    EXPECT_EQ(server.requests().size(), 2u + 16 + 16);
}

TEST_F(HttpClientTest, RedirectIsAFailureUntilFollowingIsSwitchedOn) {
    HttpsServer server(root_.path());
    WinHttpClient client(server.proxy());
    EXPECT_FALSE(client.handleRedirects());
    std::string buffer;
    const std::string url = HttpsServer::url("/redirect/1/a.bin");
    try {
        client.Get(url, buffer);
        FAIL() << "a redirect was taken for the body";
    } catch (const TransferError& e) {
        EXPECT_THAT(e.text(), HasSubstr("302"));
        EXPECT_THAT(e.text(), HasSubstr(url));
        EXPECT_EQ(e.kind(), Kind::OtherStatus);
        EXPECT_EQ(e.httpStatus(), 302);
    }
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpClientTest, ErrorStatusesAndBrokenTransfersRaiseWithTheirKind) {
    struct Case {
        const char* path;
        const char* inText;
        Kind kind;
        long status;
    };
    const Case cases[] = {
        {"/status/404", "404", Kind::NotFound, 404},
        {"/status/410", "410", Kind::NotFound, 410},
        {"/status/500", "500", Kind::ServerError, 500},
        {"/status/403", "403", Kind::OtherStatus, 403},
        {"/missing.bin", "404", Kind::NotFound, 404},
        // The connection closes before the promised length.
        {"/close/1000", "1000 of 1048576", Kind::Incomplete, 200},
    };
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    for (const Case& c : cases) {
        std::string buffer;
        std::int64_t reported = 0;
        client->setOnWork(
            [&](HttpClient&, HttpClient::WorkMode, std::int64_t n) { reported += n; });
        const std::string url = HttpsServer::url(c.path);
        try {
            client->Get(url, buffer);
            ADD_FAILURE() << c.path << " returned normally";
        } catch (const TransferError& e) {
            EXPECT_THAT(e.text(), HasSubstr(url));
            EXPECT_THAT(e.text(), HasSubstr(c.inText));
            EXPECT_EQ(e.kind(), c.kind) << c.path;
            EXPECT_EQ(e.httpStatus(), c.status) << c.path;
        }
        // An error page is never handed out as data.
        if (c.status != 200) {
            EXPECT_EQ(reported, 0) << c.path;
        }
    }
}

TEST_F(HttpClientTest, UnreachableServerRaisesNoConnection) {
    int closedPort = 0;
    {
        const HttpsServer gone(root_.path());
        closedPort = gone.port();
    }
    struct Case {
        const char* what;
        std::string proxy;
        std::string url;
    };
    const Case cases[] = {
        // No proxy, as in a release build: the name is looked up, and fails here.
        {"unknown host", "", "https://unmapped.invalid/a.bin"},
        {"refused", "127.0.0.1:" + std::to_string(closedPort), HttpsServer::url("/a.bin")},
    };
    for (const Case& c : cases) {
        std::string buffer;
        try {
            startedClient(c.proxy)->Get(c.url, buffer);
            ADD_FAILURE() << c.what << ": returned normally";
        } catch (const TransferError& e) {
            EXPECT_EQ(e.kind(), Kind::NoConnection) << c.what << ": " << e.text();
            EXPECT_THAT(e.text(), HasSubstr(c.url)) << c.what;
            EXPECT_EQ(e.httpStatus(), 0) << c.what;
        }
    }
}

TEST_F(HttpClientTest, EveryRequestCarriesTheSetHeadersAndNothingElse) {
    HttpsServer server(root_.path());
    WinHttpClient client(server.proxy());
    std::string buffer;
    client.Get(HttpsServer::url("/a.bin"), buffer);
    client.setHandleRedirects(true);
    client.setUserAgent(HttpClient::kUserAgent);
    client.Get(HttpsServer::url("/redirect/2/a.bin"), buffer);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    using Values = std::vector<std::string>;
    EXPECT_EQ(requests[0].values("User-Agent"), Values{HttpClient::kStoredUserAgent});
    // Through the proxy's tunnel the request line names the whole URL.
    EXPECT_EQ(requests[0].path,
              "https://" + std::string(volnor::buildconfig::kWebHost) + ":443/a.bin");
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.values("Host"), Values{volnor::buildconfig::kWebHost}) << r.path;
        EXPECT_EQ(r.values("Accept"), Values{HttpClient::kAccept}) << r.path;
        for (const char* absent :
             {"Range", "Accept-Encoding", "Authorization", "Proxy-Authorization", "Cookie"})
            EXPECT_TRUE(r.values(absent).empty()) << absent;
    }
    for (std::size_t i = 1; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].values("User-Agent"), Values{HttpClient::kUserAgent})
            << requests[i].path;
}

#include "transfer/http_client_cases.inc"

TEST_F(HttpClientTest, SilentServerEndsInATimeOut) {
    struct Case {
        HttpsServer::Tls tls;
        const char* path;
    };
    const Case cases[] = {
        {HttpsServer::Tls::Silent, "/a.bin"},   // not even a handshake
        {HttpsServer::Tls::Any, "/hang"},       // no answer to the request
        {HttpsServer::Tls::Any, "/stall/500"},  // the body stops
    };
    for (const Case& c : cases) {
        HttpsServer server(root_.path(), HttpsServer::Cert::Good, c.tls);
        auto client = startedClient(server);
        client->setConnectTimeout(std::chrono::milliseconds(1000));
        client->setStallTimeout(std::chrono::milliseconds(1000));
        std::string buffer;
        const std::string url = HttpsServer::url(c.path);
        try {
            client->Get(url, buffer);
            ADD_FAILURE() << c.path << " returned normally";
        } catch (const TransferError& e) {
            EXPECT_EQ(e.kind(), Kind::TimedOut) << c.path << ": " << e.text();
            EXPECT_THAT(e.text(), HasSubstr(url));
        }
        if (c.tls == HttpsServer::Tls::Any) {
            // The client is still usable after a time-out.
            client->Get(HttpsServer::url("/a.bin"), buffer);
            EXPECT_EQ(buffer, sampleBody());
        }
    }
}

TEST_F(HttpClientTest, ErrorOfTheWorkHandlerOrThePumpEndsGetAndTheClientStaysUsable) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    client->setOnWork(
        [](HttpClient&, HttpClient::WorkMode, std::int64_t) { throw Error("handler failed"); });
    std::string buffer;
    try {
        client->Get(HttpsServer::url("/a.bin"), buffer);
        FAIL() << "the handler's error was lost";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "handler failed");
    }
    client->setOnWork({});
    client->setPump([] { throw Error("pump failed"); });
    try {
        client->Get(HttpsServer::url("/blocks/2/10/500"), buffer);
        FAIL() << "the pump's error was lost";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "pump failed");
    }
    client->setPump({});
    client->Get(HttpsServer::url("/a.bin"), buffer);
    EXPECT_EQ(buffer, sampleBody());
}

// ---- FTP --------------------------------------------------------------------------------------

const std::string kRemote = "/eplan/update.7z";

std::string archiveBytes() {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 31 % 251);
    return bytes;
}

bool startsWith(const std::string& text, std::string_view head) {
    return volnor::equalsAsciiNoCase(std::string_view(text).substr(0, head.size()), head);
}

bool contains(const Commands& commands, const std::string& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

std::string firstOf(const Commands& commands, std::string_view word) {
    for (const std::string& c : commands)
        if (startsWith(c, word)) return c;
    return {};
}

bool passiveTried(const Commands& commands) {
    return !firstOf(commands, "PASV").empty() || !firstOf(commands, "EPSV").empty();
}

// The server's folder with the update archive, and a local folder to download into.
class WinInetFtpTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(served_.file("eplan/update.7z"), archiveBytes()); }
    volnor::test::fs::path local() const { return local_.file("update.7z"); }

    TempDir served_;
    TempDir local_;
};

TEST_F(WinInetFtpTest, LogsInAnonymouslyAndDownloadsInActiveMode) {
    FtpServer server(served_.path());
    WinInetFtpClient client(server.target());
    EXPECT_FALSE(client.Connected());
    client.Connect();
    EXPECT_TRUE(client.Connected());
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readFile(local()), archiveBytes());

    const Commands commands = server.commands();
    const std::string all = volnor::join(commands, " | ");
    // One log-in for Connect and Get: the control connection is kept.
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "USER anonymous"), 1) << all;
    EXPECT_EQ(volnor::trimmed(firstOf(commands, "PASS")), "PASS") << all;
    EXPECT_TRUE(contains(commands, "TYPE I")) << all;
    EXPECT_FALSE(firstOf(commands, "PORT ").empty()) << all;
    EXPECT_FALSE(passiveTried(commands)) << all;
    EXPECT_TRUE(contains(commands, "RETR " + kRemote)) << all;
}

TEST_F(WinInetFtpTest, TheMakersHostIsTheConnectToEntryOfPort2121) {
    const std::string ftp = volnor::buildconfig::kFtpHost;
    const auto mapped = volnor::win32::ftpServer(ftp + ":2121:127.0.0.1:12121");
    EXPECT_EQ(mapped.host, "127.0.0.1");
    EXPECT_EQ(mapped.port, 12121);
    const auto direct = volnor::win32::ftpServer("");
    EXPECT_EQ(direct.host, ftp);
    EXPECT_EQ(direct.port, 2121);
}

TEST_F(WinInetFtpTest, ReplacesAnExistingLocalFile) {
    FtpServer server(served_.path());
    // Longer than the download, so that a leftover tail would show.
    writeFile(local(), std::string(300000, 'o'));
    WinInetFtpClient client(server.target());
    client.Connect();
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readFile(local()), archiveBytes());
}

TEST_F(WinInetFtpTest, KeepsOrResumesAnExistingFileWithoutOverwrite) {
    FtpServer server(served_.path());
    WinInetFtpClient client(server.target());
    client.Connect();
    const std::string head = archiveBytes().substr(0, 1234);
    writeFile(local(), head);
    EXPECT_THROW(client.Get(kRemote, local(), false, false), FtpGetError);
    EXPECT_EQ(readFile(local()), head);

    client.Get(kRemote, local(), false, true);
    EXPECT_EQ(readFile(local()), archiveBytes());
    EXPECT_TRUE(contains(server.commands(), "REST 1234"));
}

TEST_F(WinInetFtpTest, LocalFileFailuresNameTheFileAndTheCause) {
    FtpServer server(served_.path());
    writeFile(local(), "old");
    const auto folder = local_.file("folder");
    writeFile(folder / "inside.txt", "kept");
    struct Case {
        const char* what;
        volnor::test::fs::path path;
        bool overwrite;
        bool resume;
        std::string text;
        bool reasonFollows;  // the system's reason after the text
    };
    const Case cases[] = {
        {"no folder", local_.file("missing/update.7z"), true, false,
         "Cannot write " + volnor::utf8Of(local_.file("missing/update.7z")) + ": ", true},
        {"neither overwrite nor resume", local(), false, false,
         "The file " + volnor::utf8Of(local()) + " exists already", false},
        // A folder is no file to replace.
        {"a folder of that name", folder, true, false,
         "Cannot delete " + volnor::utf8Of(folder) + ": ", true},
    };
    WinInetFtpClient client(server.target());
    client.Connect();
    for (const Case& c : cases) {
        try {
            client.Get(kRemote, c.path, c.overwrite, c.resume);
            ADD_FAILURE() << c.what << ": Get returned normally";
        } catch (const FtpGetError& e) {
            EXPECT_EQ(e.text().substr(0, c.text.size()), c.text) << c.what << ": " << e.text();
            EXPECT_EQ(e.text().size() > c.text.size(), c.reasonFollows) << e.text();
        }
    }
    EXPECT_EQ(readFile(local()), "old");
    EXPECT_EQ(readFile(folder / "inside.txt"), "kept");
    // The client goes on with the next download.
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readFile(local()), archiveBytes());
}

TEST_F(WinInetFtpTest, DisconnectSaysQuit) {
    FtpServer server(served_.path());
    WinInetFtpClient client(server.target());
    client.Connect();
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    const Commands commands = server.commands();
    EXPECT_EQ(commands.empty() ? "" : commands.back(), "QUIT");
    // A new Connect logs in again.
    client.Connect();
    EXPECT_TRUE(client.Connected());
    const Commands again = server.commands();
    EXPECT_EQ(std::count(again.begin(), again.end(), "USER anonymous"), 2);
}

TEST_F(WinInetFtpTest, ConnectFailuresRaiseConnectErrors) {
    int closedPort = 0;
    {
        FtpServer gone(served_.path());
        closedPort = gone.port();
    }
    FtpServer refusing(served_.path(), FtpServer::Mode::RefuseLogin);
    struct Case {
        const char* what;
        volnor::ConnectTarget target;
        const char* inText;
    };
    const Case cases[] = {
        {"log-in refused", refusing.target(), "530"},
        {"refused", {"127.0.0.1", closedPort}, "12029"},
        // The maker's host cannot be resolved here.
        {"unknown host", volnor::win32::ftpServer(""), "12007"},
    };
    for (const Case& c : cases) {
        WinInetFtpClient client(c.target);
        try {
            client.Connect();
            ADD_FAILURE() << c.what << ": connected";
        } catch (const FtpConnectError& e) {
            EXPECT_THAT(e.text(), HasSubstr(c.inText)) << c.what;
            EXPECT_THAT(e.text(), HasSubstr(volnor::ftpServerUrl())) << c.what;
        }
        EXPECT_FALSE(client.Connected()) << c.what;
    }
}

TEST_F(WinInetFtpTest, TransferFailuresRaiseGetErrors) {
    struct Case {
        FtpServer::Mode mode;
        std::string remote;
        const char* what;
        const char* inText;
        bool waits;  // a time-out ends it
    };
    const Case cases[] = {
        {FtpServer::Mode::Normal, "/eplan/missing.7z", "missing file", "not found", false},
        // The server never connects back: WinINet under Wine would wait for it without end.
        {FtpServer::Mode::NoDataConnection, kRemote, "no data connection", "Timeout", true},
        {FtpServer::Mode::StallData, kRemote, "stalled data", "Timeout", true},
    };
    for (const Case& c : cases) {
        FtpServer server(served_.path(), c.mode);
        WinInetFtpClient client(server.target());
        int pumps = 0;
        client.setPump([&] { ++pumps; });
        client.Connect();
        pumps = 0;
        try {
            client.Get(c.remote, local(), true, false);
            ADD_FAILURE() << c.what << ": Get returned normally";
        } catch (const FtpGetError& e) {
            EXPECT_THAT(e.text(), testing::AllOf(HasSubstr(c.inText), HasSubstr(c.remote)))
                << c.what;
        }
        // The window keeps being repainted while WinINet waits.
        if (c.waits) {
            EXPECT_GE(pumps, 5) << c.what;
        }
        // The client counts as connected no more after a time-out, whose call may still hold
        // the connection.
        EXPECT_EQ(client.Connected(), !c.waits) << c.what;
        EXPECT_NE(readFile(local()), archiveBytes()) << c.what;
        EXPECT_FALSE(passiveTried(server.commands())) << c.what;
    }
}

}  // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "platform/error.h"
#include "platform/posix/curl_http_client.h"
#include "support/servers.h"
#include "transfer/http_client_cases.h"
#include "transfer/transfer_error.h"

using testing::ContainsRegex;
using testing::HasSubstr;
using volnor::ByteSink;
using volnor::Error;
using volnor::HttpClient;
using volnor::TransferError;
using volnor::posix::CurlHttpClient;
using volnor::test::HttpsServer;
using Kind = TransferError::Kind;
using volnor::test::BufferSink;
using volnor::test::FullSink;
using volnor::test::sampleBody;
using volnor::test::sum;

namespace {

// A served folder with one binary file, and a client set up as start-up leaves it.
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override { volnor::test::writeFile(root_.file("a.bin"), sampleBody()); }

    std::unique_ptr<CurlHttpClient> startedClient(const std::vector<std::string>& connectTo) {
        auto client = std::make_unique<CurlHttpClient>(connectTo);
        client->setHandleRedirects(true);
        client->setUserAgent(HttpClient::kUserAgent);
        return client;
    }
    std::unique_ptr<CurlHttpClient> startedClient(const HttpsServer& server) {
        return startedClient(server.connectTo());
    }

    volnor::test::TempDir root_;
};

#include "transfer/http_client_cases.inc"

// Only a server whose chain leads to a trusted CA and whose certificate names the host gets the
// request; the build's CA file is what makes the test CA trusted.
TEST_F(HttpClientTest, RefusesEveryServerItCannotVerify) {
    using Cert = HttpsServer::Cert;
    struct Case {
        const char* what;
        Cert cert;
        std::string caFile;
        const char* inText;  // nullptr: accepted
        Kind kind;
    };
    const std::string testCa = volnor::buildconfig::kCaFile;
    const Case cases[] = {
        {"good chain", Cert::Good, testCa, nullptr, Kind::Other},
        {"unknown CA", Cert::UnknownCa, testCa, "self-signed certificate", Kind::Certificate},
        {"expired", Cert::Expired, testCa, "certificate has expired", Kind::Certificate},
        {"wrong name", Cert::WrongName, testCa, "does not match|no alternative certificate subject",
         Kind::Certificate},
        // The system's store alone, as in a release build, knows no test CA.
        {"system store only", Cert::Good, "", "unable to get local issuer certificate",
         Kind::Certificate},
        {"CA file missing", Cert::Good, "/nonexistent/ca.pem", "certificate file", Kind::Secure},
    };
    for (const Case& c : cases) {
        HttpsServer server(root_.path(), c.cert);
        CurlHttpClient client(server.connectTo(), c.caFile);
        std::string buffer;
        const std::string url = HttpsServer::url("/a.bin");
        try {
            client.Get(url, buffer);
            EXPECT_EQ(c.inText, nullptr) << c.what << ": accepted";
            EXPECT_EQ(buffer, sampleBody()) << c.what;
        } catch (const TransferError& e) {
            ASSERT_NE(c.inText, nullptr) << c.what << ": " << e.text();
            EXPECT_THAT(e.text(), ContainsRegex(c.inText)) << c.what;
            EXPECT_THAT(e.text(), HasSubstr(url)) << c.what;
            EXPECT_EQ(e.kind(), c.kind) << c.what;
            EXPECT_EQ(e.httpStatus(), 0) << c.what;
            EXPECT_TRUE(buffer.empty()) << c.what;
            EXPECT_TRUE(server.requests().empty()) << c.what;
        }
    }
}

TEST_F(HttpClientTest, SpeaksTls12And13AndRefusesOlder) {
    using Tls = HttpsServer::Tls;
    for (Tls tls : {Tls::V1_2Only, Tls::V1_3Only}) {
        HttpsServer server(root_.path(), HttpsServer::Cert::Good, tls);
        std::string buffer;
        startedClient(server)->Get(HttpsServer::url("/a.bin"), buffer);
        EXPECT_EQ(buffer, sampleBody()) << static_cast<int>(tls);
    }
    HttpsServer server(root_.path(), HttpsServer::Cert::Good, Tls::V1_1Only);
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
    EXPECT_THROW(client->Get(HttpsServer::url("/redirect/16/a.bin"), buffer), Error);
    // The 16th redirect is refused, not requested.
    EXPECT_EQ(server.requests().size(), 2u + 16 + 16);
}

TEST_F(HttpClientTest, RedirectIsAFailureUntilFollowingIsSwitchedOn) {
    HttpsServer server(root_.path());
    CurlHttpClient client(server.connectTo());
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
        {"/close/1000", "", Kind::Incomplete, 200},
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
        if (c.inText[0] != '\0') {
            EXPECT_EQ(reported, 0) << c.path;
        }
    }
}

TEST_F(HttpClientTest, UnreachableHostRaisesNoConnection) {
    int closedPort = 0;
    {
        const HttpsServer gone(root_.path());
        closedPort = gone.port();
    }
    HttpsServer server(root_.path());
    struct Case {
        const char* what;
        std::vector<std::string> connectTo;
        std::string url;
    };
    const Case cases[] = {
        {"unknown host", server.connectTo(), "https://unmapped.invalid/a.bin"},
        {"refused",
         {std::string(volnor::buildconfig::kWebHost) +
          ":443:127.0.0.1:" + std::to_string(closedPort)},
         HttpsServer::url("/a.bin")},
    };
    for (const Case& c : cases) {
        std::string buffer;
        try {
            startedClient(c.connectTo)->Get(c.url, buffer);
            ADD_FAILURE() << c.what << ": returned normally";
        } catch (const TransferError& e) {
            EXPECT_EQ(e.kind(), Kind::NoConnection) << c.what << ": " << e.text();
            EXPECT_EQ(e.httpStatus(), 0) << c.what;
        }
    }
}

TEST_F(HttpClientTest, EveryRequestCarriesTheSetHeadersAndNothingElse) {
    HttpsServer server(root_.path());
    CurlHttpClient client(server.connectTo());
    std::string buffer;
    client.Get(HttpsServer::url("/a.bin"), buffer);
    client.setHandleRedirects(true);
    client.setUserAgent(HttpClient::kUserAgent);
    client.Get(HttpsServer::url("/redirect/2/a.bin"), buffer);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    using Values = std::vector<std::string>;
    EXPECT_EQ(requests[0].values("User-Agent"), Values{HttpClient::kStoredUserAgent});
    for (std::size_t i = 1; i < requests.size(); ++i) {
        const auto& r = requests[i];
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.version, "HTTP/1.1");
        EXPECT_EQ(r.values("User-Agent"), Values{HttpClient::kUserAgent}) << r.path;
        EXPECT_EQ(r.values("Accept"), Values{HttpClient::kAccept});
        for (const char* absent :
             {"Range", "Accept-Encoding", "Authorization", "Proxy-Authorization", "Cookie"})
            EXPECT_TRUE(r.values(absent).empty()) << absent;
    }
    // One connection for all of them.
    EXPECT_EQ(requests.front().clientPort, requests.back().clientPort);
}

TEST_F(HttpClientTest, TakesNoProxyFromTheEnvironment) {
    HttpsServer server(root_.path());
    // A proxy there would refuse every connection.
    const char* names[] = {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) setenv(name, "http://127.0.0.1:9", 1);
    std::string buffer;
    EXPECT_NO_THROW(startedClient(server)->Get(HttpsServer::url("/a.bin"), buffer));
    for (const char* name : names) unsetenv(name);
    EXPECT_EQ(buffer, sampleBody());
}

TEST_F(HttpClientTest, SilentServerEndsInATimeOut) {
    struct Case {
        HttpsServer::Tls tls;
        const char* path;
    };
    const Case cases[] = {
        {HttpsServer::Tls::Silent, "/a.bin"},   // not even a handshake: the connect time-out
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
            // curl's texts: "timed out", "SSL connection timeout", "Operation too slow".
            EXPECT_THAT(e.text(), ContainsRegex("time|too slow"));
            EXPECT_EQ(e.kind(), Kind::TimedOut) << c.path;
        }
        if (c.tls == HttpsServer::Tls::Any) {
            // The client is still usable after a time-out.
            client->Get(HttpsServer::url("/a.bin"), buffer);
            EXPECT_EQ(buffer, sampleBody());
        }
    }
}

TEST_F(HttpClientTest, ErrorOfTheWorkHandlerEndsGetAndTheClientStaysUsable) {
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
    client->Get(HttpsServer::url("/a.bin"), buffer);
    EXPECT_EQ(buffer, sampleBody());
}

}  // namespace

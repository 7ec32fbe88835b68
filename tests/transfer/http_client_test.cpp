#include "transfer/http_client.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <vector>

#include "platform/error.h"
#include "support/servers.h"

using volnor::Error;
using volnor::HttpClient;
using volnor::test::HttpsServer;

namespace {

QByteArray sampleBody() {
    QByteArray body;
    for (int i = 0; i < 70000; ++i) body.append(static_cast<char>(i * 7 % 256));
    return body;
}

// A served folder with one binary file, and a client set up as start-up leaves it.
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile file(root_.filePath("a.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sampleBody());
    }

    std::unique_ptr<HttpClient> startedClient(const HttpsServer& server) {
        auto client = std::make_unique<HttpClient>(server.connectTo());
        client->setHandleRedirects(true);
        client->setUserAgent(HttpClient::kUserAgent);
        return client;
    }

    QTemporaryDir root_;
};

TEST_F(HttpClientTest, AcceptsAnyCertificateOverTls12) {
    for (auto cert : {HttpsServer::Cert::SelfSigned, HttpsServer::Cert::Expired,
                      HttpsServer::Cert::WrongName}) {
        HttpsServer server(root_.path(), cert, HttpsServer::Tls::V1_2Only);
        QByteArray buffer;
        startedClient(server)->Get(HttpsServer::url("/a.bin"), buffer);
        EXPECT_EQ(buffer, sampleBody()) << static_cast<int>(cert);
    }
}

TEST_F(HttpClientTest, ServerWithoutTls12FailsTheHandshake) {
    HttpsServer server(root_.path(), HttpsServer::Cert::SelfSigned, HttpsServer::Tls::V1_3Only);
    QByteArray buffer;
    const QString url = HttpsServer::url("/a.bin");
    try {
        startedClient(server)->Get(url, buffer);
        FAIL() << "a TLS 1.3-only server was accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(url)) << e.text().toStdString();
    }
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(HttpClientTest, FollowsUpTo15RedirectsAndGivesOnlyTheFinalBody) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    for (int hops : {1, 15}) {
        QByteArray buffer;
        client->Get(HttpsServer::url(QStringLiteral("/redirect/%1/a.bin").arg(hops)), buffer);
        EXPECT_EQ(buffer, sampleBody()) << hops;
    }
    QByteArray buffer;
    EXPECT_THROW(client->Get(HttpsServer::url("/redirect/16/a.bin"), buffer), Error);
    // The 16th redirect is refused, not requested.
    EXPECT_EQ(server.requests().size(), 2 + 16 + 16);
}

TEST_F(HttpClientTest, RedirectIsAFailureUntilFollowingIsSwitchedOn) {
    HttpsServer server(root_.path());
    HttpClient client(server.connectTo());
    EXPECT_FALSE(client.handleRedirects());
    QByteArray buffer;
    const QString url = HttpsServer::url("/redirect/1/a.bin");
    try {
        client.Get(url, buffer);
        FAIL() << "a redirect was taken for the body";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("302")) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(url)) << e.text().toStdString();
    }
}

TEST_F(HttpClientTest, ErrorStatusesAndBrokenTransfersRaise) {
    struct Case {
        const char* path;
        const char* inText;
    };
    const Case cases[] = {
        {"/status/404", "404"},
        {"/status/500", "500"},
        {"/missing.bin", "404"},
        {"/close/1000", ""},  // the connection closes before the promised length
    };
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    for (const Case& c : cases) {
        QByteArray buffer;
        std::int64_t reported = 0;
        client->setOnWork(
            [&](HttpClient&, HttpClient::WorkMode, std::int64_t n) { reported += n; });
        const QString url = HttpsServer::url(QString::fromLatin1(c.path));
        try {
            client->Get(url, buffer);
            ADD_FAILURE() << c.path << " returned normally";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains(url)) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.inText))) << e.text().toStdString();
        }
        // An error page is never handed out as data.
        if (c.inText[0] != '\0') {
            EXPECT_EQ(reported, 0) << c.path;
        }
    }
}

TEST_F(HttpClientTest, UnreachableHostRaises) {
    HttpsServer server(root_.path());
    QByteArray buffer;
    EXPECT_THROW(
        startedClient(server)->Get(QStringLiteral("https://unmapped.invalid/a.bin"), buffer),
        Error);
}

TEST_F(HttpClientTest, EveryRequestCarriesTheSetHeadersAndNothingElse) {
    HttpsServer server(root_.path());
    HttpClient client(server.connectTo());
    QByteArray buffer;
    client.Get(HttpsServer::url("/a.bin"), buffer);
    client.setHandleRedirects(true);
    client.setUserAgent(HttpClient::kUserAgent);
    client.Get(HttpsServer::url("/redirect/2/a.bin"), buffer);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].values("User-Agent"), QStringList{HttpClient::kStoredUserAgent});
    for (qsizetype i = 1; i < requests.size(); ++i) {
        const auto& r = requests[i];
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.version, "HTTP/1.1");
        EXPECT_EQ(r.values("User-Agent"), QStringList{HttpClient::kUserAgent})
            << r.path.toStdString();
        EXPECT_EQ(r.values("Accept"), QStringList{HttpClient::kAccept});
        for (const char* absent :
             {"Range", "Accept-Encoding", "Authorization", "Proxy-Authorization", "Cookie"})
            EXPECT_TRUE(r.values(QString::fromLatin1(absent)).isEmpty()) << absent;
    }
    // One connection for all of them.
    EXPECT_EQ(requests.front().clientPort, requests.back().clientPort);
}

TEST_F(HttpClientTest, TakesNoProxyFromTheEnvironment) {
    HttpsServer server(root_.path());
    // A proxy there would refuse every connection.
    const char* names[] = {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) qputenv(name, "http://127.0.0.1:9");
    QByteArray buffer;
    EXPECT_NO_THROW(startedClient(server)->Get(HttpsServer::url("/a.bin"), buffer));
    for (const char* name : names) qunsetenv(name);
    EXPECT_EQ(buffer, sampleBody());
}

TEST_F(HttpClientTest, ReportsEachBlockAndTheCountsAddUpToTheBody) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    std::vector<std::int64_t> counts;
    client->setOnWork([&](HttpClient& sender, HttpClient::WorkMode mode, std::int64_t n) {
        EXPECT_EQ(&sender, client.get());
        EXPECT_EQ(mode, HttpClient::WorkMode::Read);
        EXPECT_GT(n, 0);
        counts.push_back(n);
    });
    QByteArray buffer;
    client->Get(HttpsServer::url("/blocks/4/3000/150"), buffer);
    EXPECT_EQ(buffer.size(), 12000);
    EXPECT_GE(counts.size(), 4u);
    std::int64_t sum = 0;
    for (auto n : counts) sum += n;
    EXPECT_EQ(sum, 12000);

    // The next transfer's counts start again from zero.
    counts.clear();
    client->Get(HttpsServer::url("/a.bin"), buffer);
    sum = 0;
    for (auto n : counts) sum += n;
    EXPECT_EQ(sum, sampleBody().size());
}

// A sink that takes `room` bytes and then refuses to write, as a full disk does.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    qint64 written = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        if (written + size > room_) {
            setErrorString(QStringLiteral("Нет места на диске"));
            return -1;
        }
        written += size;
        return size;
    }

private:
    qint64 room_;
};

TEST_F(HttpClientTest, StreamsTheBodyIntoTheSinkBlockByBlock) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    std::int64_t reported = 0;
    std::vector<qint64> heldAtReport;
    client->setOnWork([&](HttpClient&, HttpClient::WorkMode, std::int64_t n) {
        reported += n;
        heldAtReport.push_back(sink.size() - reported);
    });
    client->Get(HttpsServer::url("/blocks/3/20000/100"), sink);
    EXPECT_EQ(sink.data(),
              QByteArray(20000, 'A') + QByteArray(20000, 'B') + QByteArray(20000, 'C'));
    ASSERT_GE(heldAtReport.size(), 3u);
    // Each report comes after its block is in the sink, never after the whole body.
    EXPECT_EQ(heldAtReport, std::vector<qint64>(heldAtReport.size(), 0));
}

TEST_F(HttpClientTest, ASinkThatRefusesDataEndsTheTransferWithItsReason) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    FullDevice sink(20000);
    std::int64_t reported = 0;
    client->setOnWork([&](HttpClient&, HttpClient::WorkMode, std::int64_t n) { reported += n; });
    try {
        client->Get(HttpsServer::url("/a.bin"), sink);
        FAIL() << "a refused write went unnoticed";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Нет места на диске")))
            << e.text().toStdString();
    }
    // Nothing beyond what the sink took is reported as received.
    EXPECT_LE(reported, sink.written);
    EXPECT_LT(sink.written, sampleBody().size());
    // The client goes on with the next transfer.
    QByteArray buffer;
    client->Get(HttpsServer::url("/a.bin"), buffer);
    EXPECT_EQ(buffer, sampleBody());
}

TEST_F(HttpClientTest, PumpRunsWhileNoDataArrives) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    int pumps = 0;
    std::vector<int> pumpsAtReport;
    client->setPump([&] { ++pumps; });
    client->setOnWork(
        [&](HttpClient&, HttpClient::WorkMode, std::int64_t) { pumpsAtReport.push_back(pumps); });
    QByteArray buffer;
    client->Get(HttpsServer::url("/blocks/2/10/1000"), buffer);
    ASSERT_EQ(pumpsAtReport.size(), 2u);
    // A second without data: the pump must have run many times in it.
    EXPECT_GE(pumpsAtReport[1] - pumpsAtReport[0], 5);
}

TEST_F(HttpClientTest, KeepsCookiesInMemoryForTheClientsLife) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    QByteArray buffer;
    client->Get(HttpsServer::url("/setcookie/session/abc123"), buffer);
    client->Get(HttpsServer::url("/headers"), buffer);
    EXPECT_TRUE(buffer.contains("Cookie: session=abc123")) << buffer.toStdString();

    // Nothing went to disk for another client to find.
    startedClient(server)->Get(HttpsServer::url("/headers"), buffer);
    EXPECT_FALSE(buffer.contains("Cookie")) << buffer.toStdString();
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
        HttpsServer server(root_.path(), HttpsServer::Cert::SelfSigned, c.tls);
        auto client = startedClient(server);
        client->setConnectTimeout(std::chrono::milliseconds(1000));
        client->setStallTimeout(std::chrono::milliseconds(1000));
        QByteArray buffer;
        const QString url = HttpsServer::url(QString::fromLatin1(c.path));
        try {
            client->Get(url, buffer);
            ADD_FAILURE() << c.path << " returned normally";
        } catch (const Error& e) {
            // curl's texts: "timed out", "SSL connection timeout", "Operation too slow".
            EXPECT_TRUE(e.text().contains(QRegularExpression("time|too slow")))
                << e.text().toStdString();
        }
        if (c.tls == HttpsServer::Tls::Any) {
            // The client is still usable after a time-out.
            client->Get(HttpsServer::url("/a.bin"), buffer);
            EXPECT_EQ(buffer, sampleBody());
        }
    }
}

TEST_F(HttpClientTest, ASecondGetWhileOneRunsIsRefusedAndTheFirstCompletes) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    int refused = 0;
    // A pump that processes events could let a second transfer start on the same handle.
    client->setPump([&] {
        QByteArray inner;
        try {
            client->Get(HttpsServer::url("/a.bin"), inner);
        } catch (const Error&) {
            ++refused;
        }
    });
    QByteArray buffer;
    client->Get(HttpsServer::url("/blocks/3/1000/200"), buffer);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(buffer, QByteArray(1000, 'A') + QByteArray(1000, 'B') + QByteArray(1000, 'C'));
}

TEST_F(HttpClientTest, ErrorOfTheWorkHandlerEndsGetAndTheClientStaysUsable) {
    HttpsServer server(root_.path());
    auto client = startedClient(server);
    client->setOnWork([](HttpClient&, HttpClient::WorkMode, std::int64_t) {
        throw Error(QStringLiteral("handler failed"));
    });
    QByteArray buffer;
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

// What the download warning says of a failed archive: a short Russian reason for each way a
// transfer fails against the real HTTPS server, the status said once, curl's text kept as the
// detail in brackets.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "download/failure_reason.h"
#include "platform/posix/curl_http_client.h"
#include "support/files.h"
#include "support/servers.h"
#include "transfer/transfer_error.h"

namespace volnor::test {
namespace {

// A port of 127.0.0.1 on which nothing listens any more: a connection is refused.
int closedPort(const fs::path& root) {
    const HttpsServer gone(root);
    return gone.port();
}

std::optional<TransferError> failureOf(const std::vector<std::string>& connectTo,
                                       const std::string& path) {
    posix::CurlHttpClient client(connectTo);
    client.setHandleRedirects(true);
    client.setConnectTimeout(std::chrono::milliseconds(1000));
    client.setStallTimeout(std::chrono::milliseconds(1000));
    std::string buffer;
    try {
        client.Get(HttpsServer::url(path), buffer);
    } catch (const TransferError& e) {
        return e;
    }
    return std::nullopt;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(FailureReason, SaysEachWayATransferFailsInTheUsersWords) {
    const TempDir root;
    struct Case {
        const char* what;
        HttpsServer::Tls tls;
        HttpsServer::Cert cert;
        const char* path;  // nullptr: nothing listens
        TransferError::Kind kind;
        std::string reason;
        const char* status;  // the detail is the status alone; nullptr: curl's text
    };
    using Kind = TransferError::Kind;
    using Tls = HttpsServer::Tls;
    using Cert = HttpsServer::Cert;
    const Case cases[] = {
        {"not served", Tls::Any, Cert::Good, "/f/0412/none.zip", Kind::NotFound,
         "файл не найден на сервере", "404"},
        {"server error", Tls::Any, Cert::Good, "/status/500", Kind::ServerError,
         "ошибка на сервере", "500"},
        {"forbidden", Tls::Any, Cert::Good, "/status/403", Kind::OtherStatus,
         "сервер не выдал файл", "403"},
        {"refused", Tls::Any, Cert::Good, nullptr, Kind::NoConnection,
         "нет связи с сервером: соединение отклонено или нет сети", nullptr},
        {"closed early", Tls::Any, Cert::Good, "/close/1000", Kind::Incomplete,
         "файл получен не полностью", nullptr},
        {"stalled", Tls::Any, Cert::Good, "/stall/1000", Kind::TimedOut,
         "сервер не ответил за отведённое время", nullptr},
        {"older than TLS 1.2", Tls::V1_1Only, Cert::Good, "/a.zip", Kind::Secure,
         "не удалось установить защищённое соединение", nullptr},
        {"certificate refused", Tls::Any, Cert::Expired, "/a.zip", Kind::Certificate,
         "сертификат сервера не прошёл проверку", nullptr},
    };
    for (const Case& c : cases) {
        HttpsServer server(root.path(), c.cert, c.tls);
        const std::vector<std::string> connectTo =
            c.path ? server.connectTo()
                   : std::vector<std::string>{std::string(buildconfig::kWebHost) +
                                              ":443:127.0.0.1:" +
                                              std::to_string(closedPort(root.path()))};
        const auto error = failureOf(connectTo, c.path ? c.path : "/f/0412/a.zip");
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_EQ(error->kind(), c.kind) << c.what << ": " << error->text();
        const std::string said = failureReason(*error);
        if (c.status) {
            EXPECT_EQ(said, c.reason + " (" + c.status + ")") << c.what;
            EXPECT_EQ(occurrences(said, c.status), 1u) << c.what;
        } else {
            EXPECT_EQ(said, c.reason + " (" + error->text() + ")") << c.what;
        }
    }
}

}  // namespace
}  // namespace volnor::test

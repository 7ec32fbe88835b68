// What the download warning says of a failed archive: a short Russian reason for each way a
// transfer fails against the real HTTPS server, the status said once, curl's text kept as the
// detail in brackets.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <optional>

#include "download/failure_reason.h"
#include "support/servers.h"
#include "transfer/http_client.h"
#include "transfer/transfer_error.h"

namespace volnor::test {
namespace {

// A port of 127.0.0.1 on which nothing listens any more: a connection is refused.
int closedPort(const QString& root) {
    const HttpsServer gone(root);
    return gone.port();
}

std::optional<TransferError> failureOf(const QStringList& connectTo, const QString& path) {
    HttpClient client(connectTo);
    client.setHandleRedirects(true);
    client.setConnectTimeout(std::chrono::milliseconds(1000));
    client.setStallTimeout(std::chrono::milliseconds(1000));
    QByteArray buffer;
    try {
        client.Get(HttpsServer::url(path), buffer);
    } catch (const TransferError& e) {
        return e;
    }
    return std::nullopt;
}

TEST(FailureReason, SaysEachWayATransferFailsInTheUsersWords) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    struct Case {
        const char* what;
        HttpsServer::Tls tls;
        const char* path;  // nullptr: nothing listens
        TransferError::Kind kind;
        QString reason;
        const char* status;  // the detail is the status alone; nullptr: curl's text
    };
    using Kind = TransferError::Kind;
    const Case cases[] = {
        {"not served", HttpsServer::Tls::Any, "/f/0412/none.zip", Kind::NotFound,
         QStringLiteral("файл не найден на сервере"), "404"},
        {"server error", HttpsServer::Tls::Any, "/status/500", Kind::ServerError,
         QStringLiteral("ошибка на сервере"), "500"},
        {"forbidden", HttpsServer::Tls::Any, "/status/403", Kind::OtherStatus,
         QStringLiteral("сервер не выдал файл"), "403"},
        {"refused", HttpsServer::Tls::Any, nullptr, Kind::NoConnection,
         QStringLiteral("нет связи с сервером: соединение отклонено или нет сети"), nullptr},
        {"closed early", HttpsServer::Tls::Any, "/close/1000", Kind::Incomplete,
         QStringLiteral("файл получен не полностью"), nullptr},
        {"stalled", HttpsServer::Tls::Any, "/stall/1000", Kind::TimedOut,
         QStringLiteral("сервер не ответил за отведённое время"), nullptr},
        {"no TLS 1.2", HttpsServer::Tls::V1_3Only, "/a.zip", Kind::Secure,
         QStringLiteral("не удалось установить защищённое соединение"), nullptr},
    };
    for (const Case& c : cases) {
        HttpsServer server(root.path(), HttpsServer::Cert::SelfSigned, c.tls);
        const QStringList connectTo =
            c.path ? server.connectTo()
                   : QStringList{
                         QStringLiteral("vn.test:443:127.0.0.1:%1").arg(closedPort(root.path()))};
        const auto error =
            failureOf(connectTo, QString::fromLatin1(c.path ? c.path : "/f/0412/a.zip"));
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_EQ(error->kind(), c.kind) << c.what << ": " << error->text().toStdString();
        const QString said = failureReason(*error);
        if (c.status) {
            EXPECT_EQ(said, QStringLiteral("%1 (%2)").arg(c.reason, QLatin1String(c.status)))
                << c.what;
            EXPECT_EQ(said.count(QLatin1String(c.status)), 1) << c.what;
        } else {
            EXPECT_EQ(said, QStringLiteral("%1 (%2)").arg(c.reason, error->text())) << c.what;
        }
    }
}

}  // namespace
}  // namespace volnor::test

#include "transfer/ftp_client.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "support/servers.h"

using volnor::FtpClient;
using volnor::FtpConnectError;
using volnor::FtpGetError;
using volnor::test::FtpServer;

namespace {

const QString kRemote = QStringLiteral("/eplan/update.7z");

QByteArray archiveBytes() {
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i) bytes.append(static_cast<char>(i * 31 % 251));
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool passiveTried(const QStringList& commands) {
    for (const QString& c : commands)
        if (c.startsWith("PASV", Qt::CaseInsensitive) || c.startsWith("EPSV", Qt::CaseInsensitive))
            return true;
    return false;
}

// The server's folder with the update archive, and a local folder to download into.
class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(served_.path()).mkpath("eplan"));
        writeFile(served_.filePath("eplan/update.7z"), archiveBytes());
    }
    QString local() const { return local_.filePath("update.7z"); }

    QTemporaryDir served_;
    QTemporaryDir local_;
};

TEST_F(FtpClientTest, LogsInAnonymouslyAndDownloadsInActiveMode) {
    // Only the entry for port 2121 reaches the server: any other port would need a name lookup
    // of the maker's host, which fails here.
    FtpServer server(served_.path());
    FtpClient client(server.connectTo());
    // A proxy from the environment would refuse the connection.
    const char* names[] = {"ftp_proxy", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) qputenv(name, "http://127.0.0.1:9");
    EXPECT_FALSE(client.Connected());
    client.Connect();
    EXPECT_TRUE(client.Connected());
    client.Get(kRemote, local(), true, false);
    for (const char* name : names) qunsetenv(name);
    EXPECT_EQ(readAll(local()), archiveBytes());

    const QStringList commands = server.commands();
    // One log-in for Connect and Get: the control connection is kept.
    EXPECT_EQ(commands.count("USER anonymous"), 1) << commands.join(" | ").toStdString();
    EXPECT_EQ(commands.filter(QRegularExpression("^PASS")).value(0).trimmed(), "PASS");
    EXPECT_TRUE(commands.contains("TYPE I"));
    EXPECT_FALSE(commands.filter(QRegularExpression("^(EPRT|PORT) ")).isEmpty());
    EXPECT_FALSE(passiveTried(commands));
    EXPECT_TRUE(commands.contains("RETR " + kRemote));
}

TEST_F(FtpClientTest, ReplacesAnExistingLocalFile) {
    FtpServer server(served_.path());
    // Longer than the download, so that a leftover tail would show.
    writeFile(local(), QByteArray(300000, 'o'));
    FtpClient client(server.connectTo());
    client.Connect();
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readAll(local()), archiveBytes());
}

TEST_F(FtpClientTest, KeepsOrResumesAnExistingFileWithoutOverwrite) {
    FtpServer server(served_.path());
    FtpClient client(server.connectTo());
    client.Connect();
    const QByteArray head = archiveBytes().left(1234);
    writeFile(local(), head);
    EXPECT_THROW(client.Get(kRemote, local(), false, false), FtpGetError);
    EXPECT_EQ(readAll(local()), head);

    client.Get(kRemote, local(), false, true);
    EXPECT_EQ(readAll(local()), archiveBytes());
    EXPECT_TRUE(server.commands().contains("REST 1234"));
}

TEST_F(FtpClientTest, DisconnectSaysQuit) {
    FtpServer server(served_.path());
    FtpClient client(server.connectTo());
    client.Connect();
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server.commands().value(server.commands().size() - 1), "QUIT");
    // A new Connect logs in again.
    client.Connect();
    EXPECT_TRUE(client.Connected());
}

TEST_F(FtpClientTest, ConnectFailuresRaiseConnectErrors) {
    int closedPort = 0;
    {
        FtpServer gone(served_.path());
        closedPort = gone.port();
    }
    FtpServer refusing(served_.path(), FtpServer::Mode::RefuseLogin);
    const QStringList targets[] = {
        refusing.connectTo(),
        {QStringLiteral("ftp.vn.test:2121:127.0.0.1:%1").arg(closedPort)},
        {},  // the maker's host cannot be resolved here
    };
    for (const QStringList& connectTo : targets) {
        FtpClient client(connectTo);
        try {
            client.Connect();
            ADD_FAILURE() << "connected through " << connectTo.join(",").toStdString();
        } catch (const FtpConnectError& e) {
            EXPECT_FALSE(e.text().isEmpty());
        }
        EXPECT_FALSE(client.Connected());
    }
}

TEST_F(FtpClientTest, TransferFailuresRaiseGetErrors) {
    struct Case {
        FtpServer::Mode mode;
        QString remote;
        const char* what;
        const char* inText;  // the cause, as curl names it
    };
    const Case cases[] = {
        {FtpServer::Mode::Normal, "/eplan/missing.7z", "missing file", "not found"},
        // The listen time-out ends it, not the longer reply time-out.
        {FtpServer::Mode::NoDataConnection, kRemote, "no data connection", "Accepting server"},
        {FtpServer::Mode::StallData, kRemote, "stalled data", "Timeout"},
    };
    for (const Case& c : cases) {
        FtpServer server(served_.path(), c.mode);
        FtpClient client(server.connectTo());
        client.Connect();
        try {
            client.Get(c.remote, local(), true, false);
            ADD_FAILURE() << c.what << ": Get returned normally";
        } catch (const FtpGetError& e) {
            EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.inText)) &&
                        e.text().contains(c.remote))
                << c.what << ": " << e.text().toStdString();
        }
        EXPECT_NE(readAll(local()), archiveBytes()) << c.what;
        EXPECT_FALSE(passiveTried(server.commands())) << c.what;
    }
}

}  // namespace

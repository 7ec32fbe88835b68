#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "platform/posix/curl_ftp_client.h"
#include "platform/text.h"
#include "support/servers.h"

using testing::HasSubstr;
using volnor::FtpConnectError;
using volnor::FtpGetError;
using volnor::posix::CurlFtpClient;
using volnor::test::FtpServer;
using volnor::test::readFile;
using volnor::test::writeFile;
using Commands = std::vector<std::string>;

namespace {

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

// The first command that begins with the word, empty without one.
std::string firstOf(const Commands& commands, std::string_view word) {
    for (const std::string& c : commands)
        if (startsWith(c, word)) return c;
    return {};
}

bool passiveTried(const Commands& commands) {
    return !firstOf(commands, "PASV").empty() || !firstOf(commands, "EPSV").empty();
}

// The server's folder with the update archive, and a local folder to download into.
class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(served_.file("eplan/update.7z"), archiveBytes()); }
    volnor::test::fs::path local() const { return local_.file("update.7z"); }

    volnor::test::TempDir served_;
    volnor::test::TempDir local_;
};

TEST_F(FtpClientTest, LogsInAnonymouslyAndDownloadsInActiveMode) {
    // Only the entry for port 2121 reaches the server: any other port would need a name lookup
    // of the maker's host, which fails here.
    FtpServer server(served_.path());
    CurlFtpClient client(server.connectTo());
    // A proxy from the environment would refuse the connection.
    const char* names[] = {"ftp_proxy", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) setenv(name, "http://127.0.0.1:9", 1);
    EXPECT_FALSE(client.Connected());
    client.Connect();
    EXPECT_TRUE(client.Connected());
    client.Get(kRemote, local(), true, false);
    for (const char* name : names) unsetenv(name);
    EXPECT_EQ(readFile(local()), archiveBytes());

    const Commands commands = server.commands();
    const std::string all = volnor::join(commands, " | ");
    // One log-in for Connect and Get: the control connection is kept.
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "USER anonymous"), 1) << all;
    EXPECT_EQ(volnor::trimmed(firstOf(commands, "PASS")), "PASS") << all;
    EXPECT_TRUE(contains(commands, "TYPE I")) << all;
    EXPECT_TRUE(!firstOf(commands, "EPRT ").empty() || !firstOf(commands, "PORT ").empty()) << all;
    EXPECT_FALSE(passiveTried(commands)) << all;
    EXPECT_TRUE(contains(commands, "RETR " + kRemote)) << all;
}

TEST_F(FtpClientTest, ReplacesAnExistingLocalFile) {
    FtpServer server(served_.path());
    // Longer than the download, so that a leftover tail would show.
    writeFile(local(), std::string(300000, 'o'));
    CurlFtpClient client(server.connectTo());
    client.Connect();
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readFile(local()), archiveBytes());
}

TEST_F(FtpClientTest, KeepsOrResumesAnExistingFileWithoutOverwrite) {
    FtpServer server(served_.path());
    CurlFtpClient client(server.connectTo());
    client.Connect();
    const std::string head = archiveBytes().substr(0, 1234);
    writeFile(local(), head);
    EXPECT_THROW(client.Get(kRemote, local(), false, false), FtpGetError);
    EXPECT_EQ(readFile(local()), head);

    client.Get(kRemote, local(), false, true);
    EXPECT_EQ(readFile(local()), archiveBytes());
    EXPECT_TRUE(contains(server.commands(), "REST 1234"));
}

TEST_F(FtpClientTest, LocalFileFailuresNameTheFileAndTheCause) {
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
    };
    const Case cases[] = {
        {"no folder", local_.file("missing/update.7z"), true, false,
         "Cannot write " + volnor::utf8Of(local_.file("missing/update.7z")) +
             ": No such file or directory"},
        {"neither overwrite nor resume", local(), false, false,
         "The file " + volnor::utf8Of(local()) + " exists already"},
        // A folder is no file to replace, even an empty one would not be.
        {"a folder of that name", folder, true, false,
         "Cannot delete " + volnor::utf8Of(folder) + ": Is a directory"},
        {"full disk", "/dev/full", false, true, "Cannot write /dev/full: No space left on device"},
    };
    CurlFtpClient client(server.connectTo());
    client.Connect();
    for (const Case& c : cases) {
        try {
            client.Get(kRemote, c.path, c.overwrite, c.resume);
            ADD_FAILURE() << c.what << ": Get returned normally";
        } catch (const FtpGetError& e) {
            EXPECT_EQ(e.text(), c.text) << c.what;
        }
    }
    EXPECT_EQ(readFile(local()), "old");
    EXPECT_EQ(readFile(folder / "inside.txt"), "kept");
    // The client goes on with the next download.
    client.Get(kRemote, local(), true, false);
    EXPECT_EQ(readFile(local()), archiveBytes());
}

TEST_F(FtpClientTest, DisconnectSaysQuit) {
    FtpServer server(served_.path());
    CurlFtpClient client(server.connectTo());
    client.Connect();
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    const Commands commands = server.commands();
    EXPECT_EQ(commands.empty() ? "" : commands.back(), "QUIT");
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
    const std::vector<std::string> targets[] = {
        refusing.connectTo(),
        {std::string(volnor::buildconfig::kFtpHost) +
         ":2121:127.0.0.1:" + std::to_string(closedPort)},
        {},  // the maker's host cannot be resolved here
    };
    for (const std::vector<std::string>& connectTo : targets) {
        CurlFtpClient client(connectTo);
        try {
            client.Connect();
            ADD_FAILURE() << "connected through " << volnor::join(connectTo, ",");
        } catch (const FtpConnectError& e) {
            EXPECT_FALSE(e.text().empty());
        }
        EXPECT_FALSE(client.Connected());
    }
}

TEST_F(FtpClientTest, TransferFailuresRaiseGetErrors) {
    struct Case {
        FtpServer::Mode mode;
        std::string remote;
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
        CurlFtpClient client(server.connectTo());
        client.Connect();
        try {
            client.Get(c.remote, local(), true, false);
            ADD_FAILURE() << c.what << ": Get returned normally";
        } catch (const FtpGetError& e) {
            EXPECT_THAT(e.text(), testing::AllOf(HasSubstr(c.inText), HasSubstr(c.remote)))
                << c.what;
        }
        EXPECT_NE(readFile(local()), archiveBytes()) << c.what;
        EXPECT_FALSE(passiveTried(server.commands())) << c.what;
    }
}

}  // namespace

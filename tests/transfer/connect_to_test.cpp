#include "transfer/connect_to.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

TEST(ConnectToList, SplitsTheBuildListIntoEntries) {
    struct Case {
        const char* list;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"", {}},
        {"vn.test:443:127.0.0.1:8443", {"vn.test:443:127.0.0.1:8443"}},
        {"vn.test:443:127.0.0.1:8443; ftp.vn.test:2121:127.0.0.1:2121 ;",
         {"vn.test:443:127.0.0.1:8443", "ftp.vn.test:2121:127.0.0.1:2121"}},
        {";; ;", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(volnor::connectToList(c.list), c.entries) << c.list;
}

// The Windows clients take one address from the list: the proxy of the web host's port 443 and
// the FTP server of the FTP host's port 2121.
TEST(ConnectToList, GivesTheTargetOfTheFirstEntryForAHostAndPort) {
    struct Case {
        const char* list;
        const char* host;
        int port;
        std::optional<std::pair<std::string, int>> target;
    };
    const Case cases[] = {
        {"", "vn.test", 443, std::nullopt},
        {"vn.test:443:127.0.0.1:8443", "vn.test", 443, {{"127.0.0.1", 8443}}},
        {"vn.test:443:127.0.0.1:8443", "VN.TEST", 443, {{"127.0.0.1", 8443}}},
        {"vn.test:443:127.0.0.1:8443", "vn.test", 80, std::nullopt},
        {"vn.test:443:127.0.0.1:8443", "ftp.vn.test", 443, std::nullopt},
        {"vn.test:443:127.0.0.1:8443;ftp.vn.test:2121:127.0.0.1:12121",
         "ftp.vn.test",
         2121,
         {{"127.0.0.1", 12121}}},
        // The first entry that matches wins; empty fields match any or keep what was asked.
        {":443:127.0.0.1:1;vn.test:443:127.0.0.1:2", "vn.test", 443, {{"127.0.0.1", 1}}},
        {"vn.test::127.0.0.1:", "vn.test", 2121, {{"127.0.0.1", 2121}}},
        {"vn.test:443::8443", "vn.test", 443, {{"vn.test", 8443}}},
        // Entries that are no four fields, or carry no port, are passed over.
        {"vn.test:443:127.0.0.1;vn.test:443:127.0.0.1:x;vn.test:443:[::1]:9", "vn.test", 443,
         std::nullopt},
        {"vn.test:443:127.0.0.1:99999;vn.test:443:127.0.0.1:7", "vn.test", 443, {{"127.0.0.1", 7}}},
    };
    for (const Case& c : cases) {
        const auto target = volnor::connectTarget(volnor::connectToList(c.list), c.host, c.port);
        ASSERT_EQ(target.has_value(), c.target.has_value()) << c.list << " " << c.host;
        if (target) {
            EXPECT_EQ(target->host, c.target->first) << c.list;
            EXPECT_EQ(target->port, c.target->second) << c.list;
        }
    }
}

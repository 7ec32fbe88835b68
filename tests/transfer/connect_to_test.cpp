#include "platform/posix/connect_to.h"

#include <gtest/gtest.h>

#include <string>
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
    for (const Case& c : cases)
        EXPECT_EQ(volnor::posix::connectToList(c.list), c.entries) << c.list;
}

#include "partsdb/connection_string.h"

#include <gtest/gtest.h>

#include "partsdb/dbfixture.h"

using volnor::partsdb::parseConnectionString;
using volnor::test::errorOf;

TEST(ConnectionString, ParsesOleDbRules) {
    const auto o = parseConnectionString(
        "PROVIDER=Microsoft.Jet.OLEDB.4.0; user id = Admin ;Data Source=\"C:\\a b\\x;y.mdb\";"
        "Jet OLEDB:Database Password=\"he said \"\"hi\"\"\";Empty=\"\";;Bare=v");
    EXPECT_EQ(o.at("provider"), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(o.at("user id"), "Admin");
    EXPECT_EQ(o.at("data source"), "C:\\a b\\x;y.mdb");
    EXPECT_EQ(o.at("jet oledb:database password"), "he said \"hi\"");
    EXPECT_EQ(o.at("empty"), "");
    EXPECT_EQ(o.at("bare"), "v");
}

TEST(ConnectionString, RejectsMalformedOptions) {
    for (const char* bad : {"Data Source=\"open", "Provider=x;junk;", "Data Source=\"a\"b;"})
        EXPECT_NE(errorOf([&] { parseConnectionString(bad); }), "<no error>") << bad;
}

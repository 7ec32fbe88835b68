#pragma once
// The OLE DB connection string of the parts-database provider.
#include <map>
#include <string>
#include <string_view>

namespace volnor::partsdb {

inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";

// "key=value;" pairs, keys without regard to case (returned in ASCII lower case), values
// optionally in double quotes with "" standing for one quote inside them. Blanks around keys and
// unquoted values do not count. Throws volnor::Error on an unterminated quote or a pair without
// "=".
std::map<std::string, std::string> parseConnectionString(std::string_view text);

}  // namespace volnor::partsdb

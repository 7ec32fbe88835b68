#pragma once
// Jet's statement text as the stand-in runs it, and Jet's LIKE.
#include <string>
#include <string_view>

namespace volnor::posix {

// The name of the case-blind collation that translated statements use; registered on every
// connection, never stored in a schema.
inline constexpr std::string_view kJetCollation = "JETTEXT";

// The Jet statement text as SQLite runs it: "DELETE * from" becomes "DELETE from", [name] becomes
// "name", and the right side of "=" gets the case-blind collation. String literals are left as
// they are.
std::string translateStatement(std::string_view jetSql);

// Jet's LIKE on UTF-8 text: "%" any run, "_" one character, letter case ignored.
bool likeMatches(std::string_view pattern, std::string_view text);

}  // namespace volnor::posix

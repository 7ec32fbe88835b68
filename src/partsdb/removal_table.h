#pragma once
#include <string>
#include <vector>

namespace volnor::partsdb {

// One step of a group removal: a type-number pattern for clearsql, or a token list with its
// count for dfile.
struct RemovalStep {
    enum class Kind { ClearSql, DFile };
    Kind kind;
    std::string text;  // the pattern, or the token list ("tok1;tok2;")
    int count = 0;     // dfile only: how many tokens to take
};

struct RemovalEntry {
    std::string key;  // a catalogue node text, compared exactly
    std::vector<RemovalStep> steps;
};

// The removal table, in table order: entries of sub-groups stand before their group's entry.
const std::vector<RemovalEntry>& removalTable();

}  // namespace volnor::partsdb

#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace volnor::catalogue {

// A node carries nothing but its text (UTF-8), which is its only identity.
struct Node {
    std::string text;
    std::vector<Node> children;
};

// One row of the group download table: a node text and the archives a download of it fetches.
struct GroupRow {
    std::string key;
    std::vector<std::string> urls;
};

// The parts of one entry of menulist ("title|url").
struct Entry {
    std::string namepro;   // the leaf's text
    std::string webpro;    // the archive URL
    std::string shortweb;  // the archive's local file name
};

// The built-in product tree: the top-level nodes in display order.
const std::vector<Node>& tree();

// The group download table, in table order.
const std::vector<GroupRow>& grouplist();

// Fills the entry list anew: one "title|url" string per leaf, leaves in depth-first order.
void menuload(std::vector<std::string>& menulist);

// Splits an entry at its first "|".
Entry splitEntry(std::string_view entry);

// The local file name of an archive: the URL less its first 23 characters (UTF-16 code units).
std::string shortweb(std::string_view webpro);

// Node texts and table keys are compared exactly: same length, same UTF-16 code units, which
// for UTF-8 text is the same as the same bytes.
bool sameText(std::string_view a, std::string_view b);

// Lookup by node text, in table order (titles and keys are unique). A text that is both a title and
// a key matches in both: the download fetches the entry's archive first, then the row's.
std::optional<Entry> findEntry(const std::vector<std::string>& menulist, std::string_view text);
const GroupRow* findRow(std::string_view text);  // nullptr when no key matches

}  // namespace volnor::catalogue

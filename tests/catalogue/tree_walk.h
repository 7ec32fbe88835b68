#pragma once
// The catalogue tree flattened for tests that check rules over its nodes, and the form of its
// archive URLs.
#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "catalogue/catalogue.h"

namespace volnor::treewalk {

// A node with its place in the tree: level 1 at the top, ancestors from the top down.
struct Placed {
    const catalogue::Node* node = nullptr;
    int level = 0;
    std::vector<const catalogue::Node*> ancestors;

    bool isLeaf() const { return node->children.empty(); }
    const catalogue::Node* parent() const { return ancestors.empty() ? nullptr : ancestors.back(); }
    bool isBelow(const catalogue::Node* other) const {
        return std::find(ancestors.begin(), ancestors.end(), other) != ancestors.end();
    }
};

namespace detail {
inline void walk(const catalogue::Node& node, std::vector<const catalogue::Node*>& path,
                 std::vector<Placed>& out) {
    out.push_back({&node, int(path.size()) + 1, path});
    path.push_back(&node);
    for (const catalogue::Node& child : node.children) walk(child, path, out);
    path.pop_back();
}
}  // namespace detail

// Every node in depth-first order, parent before children, children in their order.
inline std::vector<Placed> walk() {
    std::vector<Placed> out;
    std::vector<const catalogue::Node*> path;
    for (const catalogue::Node& top : catalogue::tree()) detail::walk(top, path, out);
    return out;
}

// The nodes by text; std::string keys compare byte for byte, as the program's tables do.
inline std::map<std::string, Placed> byText() {
    std::map<std::string, Placed> out;
    for (const Placed& p : walk()) out.emplace(p.node->text, p);
    return out;
}

// The texts of the leaves below a node (the node itself when it is a leaf), in tree order.
inline void leavesBelow(const catalogue::Node& node, std::vector<std::string>& out) {
    if (node.children.empty()) out.push_back(node.text);
    for (const catalogue::Node& child : node.children) leavesBelow(child, out);
}

// "https://" + the maker's web host + "/f/" + four digits + "/" + a lower-case ".zip" name.
inline const std::regex& archiveUrlForm() {
    static const std::regex form = [] {
        std::string host;
        for (const char c : std::string(buildconfig::kWebHost)) {
            if (std::strchr(".^$|?*+()[]{}\\/", c)) host += '\\';
            host += c;
        }
        return std::regex("^https://" + host + "/f/[0-9]{4}/[a-z0-9-]+\\.zip$");
    }();
    return form;
}

}  // namespace volnor::treewalk

// The group download table against the tree it is written beside (nothing in the program checks
// one against the other, so these tests do).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/catalogue.h"
#include "catalogue/tree_walk.h"

using namespace volnor::catalogue;
using volnor::treewalk::Placed;

namespace {

using Urls = std::vector<std::string>;

Urls sorted(Urls l) {
    std::sort(l.begin(), l.end());
    return l;
}

Urls replaced(Urls l, const std::string& from, const std::string& to) {
    std::replace(l.begin(), l.end(), from, to);
    return l;
}

bool contains(const Urls& l, const std::string& url) {
    return std::find(l.begin(), l.end(), url) != l.end();
}

long countOf(const Urls& l, const std::string& url) { return std::count(l.begin(), l.end(), url); }

Urls without(Urls l, const Urls& gone) {
    std::erase_if(l, [&](const std::string& u) { return contains(gone, u); });
    return l;
}

Urls joined(Urls a, const Urls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string listed(const Urls& l) {
    std::string out;
    for (const std::string& u : l) out += u + ' ';
    return out;
}

// The table read against the tree: each row sorted into what it is.
struct Reading {
    std::vector<std::string> menulist;
    std::map<std::string, Placed> nodes;
    std::set<std::string> entryUrls;
    std::vector<const GroupRow*> inTreeOrder, ownOrder, departing, leafRows;

    Reading() : nodes(volnor::treewalk::byText()) {
        menuload(menulist);
        for (const std::string& line : menulist) entryUrls.insert(splitEntry(line).webpro);
        for (const GroupRow& row : grouplist()) {
            const Placed& p = node(row.key);
            if (!p.node) continue;  // reported by KeysAreInnerNodesAndOneTopLevelLeaf
            if (p.isLeaf()) {
                leafRows.push_back(&row);
                continue;
            }
            const Urls exact = urlsBelow(*p.node);
            if (row.urls == exact)
                inTreeOrder.push_back(&row);
            else if (sorted(row.urls) == sorted(exact) && !hasRepeats(row.urls))
                ownOrder.push_back(&row);
            else
                departing.push_back(&row);
        }
    }

    // The node of a text; an empty one for a text that no node has.
    const Placed& node(const std::string& text) const {
        static const Placed none;
        const auto it = nodes.find(text);
        return it == nodes.end() ? none : it->second;
    }

    // The entry URLs of the leaves below a node, in tree order.
    Urls urlsBelow(const Node& node) const {
        std::vector<std::string> leaves;
        Urls urls;
        volnor::treewalk::leavesBelow(node, leaves);
        for (const std::string& t : leaves) urls.push_back(findEntry(menulist, t)->webpro);
        return urls;
    }
    static bool hasRepeats(const Urls& l) {
        return std::set<std::string>(l.begin(), l.end()).size() != l.size();
    }
};

}  // namespace

TEST(GroupTable, KeysAreInnerNodesAndOneTopLevelLeaf) {
    const Reading r;
    ASSERT_EQ(grouplist().size(), 21u);
    std::set<std::string> keys;
    for (const GroupRow& row : grouplist()) {
        EXPECT_TRUE(r.nodes.count(row.key)) << row.key;
        EXPECT_FALSE(keys.count(row.key)) << row.key;
        keys.insert(row.key);
    }
    for (const Placed& p : volnor::treewalk::walk()) {
        if (!p.isLeaf()) {
            EXPECT_TRUE(keys.count(p.node->text)) << p.node->text;
        }
    }

    ASSERT_EQ(r.leafRows.size(), 1u);
    const GroupRow& leafRow = *r.leafRows.front();
    EXPECT_EQ(r.node(leafRow.key).level, 1);
    EXPECT_EQ(leafRow.urls, Urls{findEntry(r.menulist, leafRow.key)->webpro});
}

TEST(GroupTable, HoldsArchiveUrlsOneToNineteenARow) {
    std::size_t total = 0;
    for (const GroupRow& row : grouplist()) {
        SCOPED_TRACE(row.key);
        EXPECT_GE(row.urls.size(), 1u);
        EXPECT_LE(row.urls.size(), 19u);
        total += row.urls.size();
        for (const std::string& url : row.urls) {
            EXPECT_TRUE(std::regex_match(url, volnor::treewalk::archiveUrlForm())) << url;
            EXPECT_EQ(shortweb(url), url.substr(url.rfind('/') + 1));
        }
    }
    EXPECT_EQ(total, 155u);
}

TEST(GroupTable, SeventeenRowsListExactlyTheLeavesBelowTheirGroup) {
    const Reading r;
    EXPECT_EQ(r.inTreeOrder.size(), 13u);
    EXPECT_EQ(r.ownOrder.size(), 4u);
    EXPECT_EQ(r.departing.size(), 3u);
}

TEST(GroupTable, ThreeNestedRowsDepartFromTheTree) {
    const Reading r;
    ASSERT_EQ(r.departing.size(), 3u);
    std::vector<const GroupRow*> rows = r.departing;
    std::sort(rows.begin(), rows.end(), [&](const GroupRow* a, const GroupRow* b) {
        return r.node(a->key).level > r.node(b->key).level;
    });
    const GroupRow& inner = *rows[0];
    const GroupRow& middle = *rows[1];
    const GroupRow& outer = *rows[2];
    const Placed& innerNode = r.node(inner.key);
    const Placed& middleNode = r.node(middle.key);
    const Placed& outerNode = r.node(outer.key);
    ASSERT_TRUE(innerNode.isBelow(middleNode.node));
    ASSERT_TRUE(middleNode.isBelow(outerNode.node));

    // One archive that no entry has, in these three rows only, once each.
    Urls foreign;
    for (const GroupRow& row : grouplist())
        for (const std::string& url : row.urls)
            if (!r.entryUrls.count(url)) foreign.push_back(url);
    ASSERT_EQ(foreign.size(), 3u) << listed(foreign);
    const std::string shared = foreign.front();
    for (const GroupRow* row : rows) EXPECT_EQ(countOf(row->urls, shared), 1) << row->key;

    // It stands where the entry URL of one leaf below the innermost group would stand.
    const Urls innerExact = r.urlsBelow(*innerNode.node);
    const Urls missing = without(innerExact, inner.urls);
    ASSERT_EQ(missing.size(), 1u);
    const std::string replacedLeaf = missing.front();
    EXPECT_EQ(inner.urls, replaced(innerExact, replacedLeaf, shared));
    EXPECT_FALSE(contains(middle.urls, replacedLeaf));
    EXPECT_FALSE(contains(outer.urls, replacedLeaf));

    // The middle one adds the archives of three leaves beside its node.
    const Urls middleExact = r.urlsBelow(*middleNode.node);
    const Urls extras = without(middle.urls, joined(middleExact, {shared}));
    ASSERT_EQ(extras.size(), 3u);
    Urls siblingLeaves;
    for (const Node& sibling : middleNode.parent()->children)
        if (sibling.children.empty() && &sibling != middleNode.node)
            siblingLeaves.push_back(findEntry(r.menulist, sibling.text)->webpro);
    for (const std::string& url : extras) EXPECT_TRUE(contains(siblingLeaves, url)) << url;
    EXPECT_EQ(sorted(replaced(without(middle.urls, extras), shared, replacedLeaf)),
              sorted(middleExact));

    // The outermost lacks those three and names two URLs twice.
    const Urls outerExact = r.urlsBelow(*outerNode.node);
    for (const std::string& url : extras) EXPECT_FALSE(contains(outer.urls, url)) << url;
    Urls twice;
    for (const std::string& url : outer.urls) {
        EXPECT_LE(countOf(outer.urls, url), 2);
        if (countOf(outer.urls, url) == 2 && !contains(twice, url)) twice.push_back(url);
    }
    ASSERT_EQ(twice.size(), 2u);
    Urls once = replaced(outer.urls, shared, replacedLeaf);
    for (const std::string& url : twice)
        once.erase(std::find(once.rbegin(), once.rend(), url).base() - 1);
    EXPECT_EQ(sorted(once), sorted(without(outerExact, extras)));
    EXPECT_EQ(findRow(outer.key), &outer);  // the lookup hands on the row, repeats included
}

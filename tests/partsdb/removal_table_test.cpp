// The removal table against the catalogue tree it is keyed on.
#include "partsdb/removal_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/tree_walk.h"
#include "partsdb/dbfixture.h"

using volnor::partsdb::RemovalEntry;
using volnor::partsdb::RemovalStep;
using volnor::partsdb::removalTable;
using volnor::test::containsNoCase;
using volnor::treewalk::Placed;
using Kind = RemovalStep::Kind;
using Names = std::vector<std::string>;

namespace {

Names patterns(const RemovalEntry& e) {
    Names out;
    for (const RemovalStep& s : e.steps)
        if (s.kind == Kind::ClearSql) out.push_back(s.text);
    return out;
}

// The tokens a dfile step reads: each is followed by ";".
Names tokens(const RemovalStep& s) {
    Names out = volnor::split(s.text, ';');
    out.pop_back();  // what follows the last ";"
    return out;
}

Names tokens(const RemovalEntry& e) {
    Names out;
    for (const RemovalStep& s : e.steps)
        if (s.kind == Kind::DFile) {
            const Names own = tokens(s);
            out.insert(out.end(), own.begin(), own.end());
        }
    return out;
}

int count(const RemovalEntry& e, Kind kind) {
    return int(std::count_if(e.steps.begin(), e.steps.end(),
                             [&](const RemovalStep& s) { return s.kind == kind; }));
}

bool has(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Whether every character of the text is an ASCII letter or digit, a Cyrillic letter
// (U+0400 to U+04FF) or one of `others`.
bool madeOf(const std::string& text, std::u16string_view others) {
    const std::u16string units = volnor::toUtf16(text);
    return std::all_of(units.begin(), units.end(), [&](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
               (c >= 0x400 && c <= 0x4FF) || others.find(c) != std::u16string_view::npos;
    });
}

bool sameSteps(const std::vector<RemovalStep>& a, const std::vector<RemovalStep>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const RemovalStep& x, const RemovalStep& y) {
                          return x.kind == y.kind && x.text == y.text && x.count == y.count;
                      });
}

// The table with each entry's node.
struct Keyed {
    std::map<std::string, Placed> nodes = volnor::treewalk::byText();
    std::vector<Placed> placed;  // in table order

    Keyed() {
        for (const RemovalEntry& e : removalTable()) {
            const auto it = nodes.find(e.key);
            placed.push_back(it == nodes.end() ? Placed{} : it->second);
        }
    }
    bool below(size_t sub, size_t group) const {
        return placed[sub].node && placed[sub].isBelow(placed[group].node);
    }
    bool hasEntriesBeneath(size_t group) const {
        for (size_t j = 0; j < placed.size(); ++j)
            if (below(j, group)) return true;
        return false;
    }
};

}  // namespace

TEST(RemovalTable, KeysAreTheTextsOfAllGroupsAndSomeLeaves) {
    const Keyed k;
    const auto& table = removalTable();
    ASSERT_EQ(table.size(), 27u);
    std::set<std::string> keys;
    int leavesByLevel[5]{};
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].key);
        ASSERT_NE(k.placed[i].node, nullptr);  // exactly a node's text
        EXPECT_FALSE(keys.count(table[i].key));
        keys.insert(table[i].key);
        if (k.placed[i].isLeaf()) ++leavesByLevel[k.placed[i].level];
    }
    for (const Placed& p : volnor::treewalk::walk()) {
        if (!p.isLeaf() || p.level == 1) {
            EXPECT_TRUE(keys.count(p.node->text)) << p.node->text;
        }
    }
    EXPECT_EQ(leavesByLevel[1], 3);
    EXPECT_EQ(leavesByLevel[2], 4);
    EXPECT_EQ(leavesByLevel[3] + leavesByLevel[4], 0);
}

TEST(RemovalTable, EntriesBeneathAGroupStandBeforeIt) {
    const Keyed k;
    for (size_t i = 0; i < k.placed.size(); ++i)
        for (size_t j = i + 1; j < k.placed.size(); ++j)
            EXPECT_FALSE(k.below(j, i))
                << removalTable()[j].key << " after " << removalTable()[i].key;
}

TEST(RemovalTable, PatternsAreLiteralTypeNumberFragments) {
    // Latin or Cyrillic letters, digits, blanks and hyphens: nothing that ends the SQL string
    // literal and nothing that LIKE reads as a wildcard.
    int steps = 0;
    std::set<std::string> distinct;
    for (const RemovalEntry& e : removalTable())
        for (const std::string& p : patterns(e)) {
            ++steps;
            distinct.insert(p);
            const std::size_t length = volnor::utf16Length(p);
            EXPECT_TRUE(madeOf(p, u" -") && length >= 2 && length <= 14) << p;
            for (const char c : {'\'', '%', '_', '['}) EXPECT_FALSE(contains(p, {c})) << p;
        }
    EXPECT_EQ(steps, 200);
    EXPECT_EQ(distinct.size(), 107u);
}

TEST(RemovalTable, MacroStepsCountTheirTokens) {
    int steps = 0, least = 100, most = 0;
    for (const RemovalEntry& e : removalTable())
        for (const RemovalStep& s : e.steps) {
            if (s.kind != Kind::DFile) continue;
            SCOPED_TRACE(s.text);
            ++steps;
            least = std::min(least, s.count);
            most = std::max(most, s.count);
            EXPECT_EQ(s.text.back(), ';');
            EXPECT_EQ(size_t(s.count), tokens(s).size());
            for (const std::string& t : tokens(s))
                EXPECT_TRUE(!t.empty() && madeOf(t, u" _()-")) << t;
        }
    EXPECT_EQ(steps, 33);
    EXPECT_EQ(least, 1);
    EXPECT_EQ(most, 21);
}

TEST(RemovalTable, StepsComeInRunsOfPatternsClosedByTheirMacroStep) {
    int endingInMacros = 0, patternsOnly = 0;
    for (const RemovalEntry& e : removalTable()) {
        SCOPED_TRACE(e.key);
        ASSERT_FALSE(e.steps.empty());
        EXPECT_EQ(e.steps.front().kind, Kind::ClearSql);
        EXPECT_GE(count(e, Kind::ClearSql), 1);
        EXPECT_LE(count(e, Kind::ClearSql), 25);
        EXPECT_LE(count(e, Kind::DFile), 6);
        for (size_t i = 1; i < e.steps.size(); ++i)
            EXPECT_FALSE(e.steps[i].kind == Kind::DFile && e.steps[i - 1].kind == Kind::DFile);
        if (e.steps.back().kind == Kind::DFile)
            ++endingInMacros;
        else if (count(e, Kind::DFile) == 0)
            ++patternsOnly;
        else
            ADD_FAILURE() << "patterns after the last macro step";
    }
    EXPECT_EQ(endingInMacros, 25);
    EXPECT_EQ(patternsOnly, 2);
}

TEST(RemovalTable, AGroupCoversEveryPatternAndMacroFileBeneathIt) {
    const Keyed k;
    const auto& table = removalTable();
    for (size_t g = 0; g < table.size(); ++g)
        for (size_t s = 0; s < table.size(); ++s) {
            if (!k.below(s, g)) continue;
            SCOPED_TRACE(table[s].key + " beneath " + table[g].key);
            const Names own = patterns(table[g]);
            for (const std::string& p : patterns(table[s])) EXPECT_TRUE(has(own, p)) << p;
            const Names groupTokens = tokens(table[g]);
            for (const std::string& t : tokens(table[s]))
                EXPECT_TRUE(std::any_of(groupTokens.begin(), groupTokens.end(),
                                        [&](const std::string& mine) { return contains(t, mine); }))
                    << t;
        }
}

TEST(RemovalTable, GroupEntriesAreTheirSubGroupsInTurnOrTheWholeGroupAtOnce) {
    const Keyed k;
    const auto& table = removalTable();
    int sequences = 0, wholeGroups = 0, withoutBeneath = 0;
    for (size_t g = 0; g < table.size(); ++g) {
        if (k.placed[g].isLeaf()) continue;
        SCOPED_TRACE(table[g].key);
        if (!k.hasEntriesBeneath(g)) {
            ++withoutBeneath;
            continue;
        }
        std::vector<RemovalStep> children;
        for (size_t s = 0; s < table.size(); ++s)
            if (k.placed[s].parent() == k.placed[g].node)
                children.insert(children.end(), table[s].steps.begin(), table[s].steps.end());
        const RemovalEntry& e = table[g];
        const Names p = patterns(e);
        if (sameSteps(e.steps, children)) {
            ++sequences;
        } else {
            // Every pattern once, then a single macro step for the whole group.
            EXPECT_EQ(count(e, Kind::DFile), 1);
            EXPECT_EQ(e.steps.back().kind, Kind::DFile);
            EXPECT_EQ(std::set<std::string>(p.begin(), p.end()).size(), p.size());
            ++wholeGroups;
        }
    }
    EXPECT_EQ(sequences, 3);
    EXPECT_EQ(wholeGroups, 4);
    EXPECT_EQ(withoutBeneath, 13);
}

// A group removal must not take parts or macro files of a group outside its own branch: no
// pattern occurs (in any letter case) in another branch's pattern, no token in another's token.
TEST(RemovalTable, UnrelatedGroupsShareNoPatternOrToken) {
    const Keyed k;
    const auto& table = removalTable();
    for (size_t a = 0; a < table.size(); ++a)
        for (size_t b = 0; b < table.size(); ++b) {
            if (a == b || k.below(a, b) || k.below(b, a)) continue;
            for (const std::string& p : patterns(table[a]))
                for (const std::string& q : patterns(table[b]))
                    EXPECT_FALSE(containsNoCase(q, p)) << p << " in " << q;
            for (const std::string& t : tokens(table[a]))
                for (const std::string& u : tokens(table[b]))
                    EXPECT_FALSE(contains(u, t)) << t << " in " << u;
        }
}

// The built-in tree, the entry list and the lookup by node text.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "buildconfig.h"
#include "catalogue/tree_walk.h"
#include "platform/text.h"

using namespace volnor::catalogue;
using volnor::fromUtf16;
using volnor::toUtf16;
using volnor::utf16Length;
using volnor::utf16Mid;
using volnor::treewalk::Placed;
using volnor::treewalk::walk;

namespace {

std::vector<std::string> loaded() {
    std::vector<std::string> list;
    menuload(list);
    return list;
}

// Russian and Latin letters, digits, blanks, commas, hyphens, parentheses, and the colon.
bool isDisplayText(const std::string& text) {
    const std::u16string units = toUtf16(text);
    return !units.empty() && std::all_of(units.begin(), units.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
               (c >= 0x0400 && c <= 0x04FF) || (c >= u'0' && c <= u'9') ||
               std::u16string_view(u" ,():-").find(c) != std::u16string_view::npos;
    });
}

// The text in upper or lower case: the Latin and Cyrillic letters node texts are written in.
std::string withCase(const std::string& text, bool upper) {
    std::u16string units = toUtf16(text);
    for (char16_t& c : units) {
        if (upper) {
            if ((c >= u'a' && c <= u'z') || (c >= 0x0430 && c <= 0x044F))
                c -= 0x20;
            else if (c >= 0x0450 && c <= 0x045F)
                c -= 0x50;
        } else {
            if ((c >= u'A' && c <= u'Z') || (c >= 0x0410 && c <= 0x042F))
                c += 0x20;
            else if (c >= 0x0400 && c <= 0x040F)
                c += 0x50;
        }
    }
    return fromUtf16(units);
}

}  // namespace

TEST(CatalogueTree, HasItsNodesOnFourLevels) {
    std::array<int, 4> nodes{}, inner{}, leaves{};
    for (const Placed& p : walk()) {
        ASSERT_LE(p.level, 4) << p.node->text;
        ++nodes[p.level - 1];
        ++(p.isLeaf() ? leaves : inner)[p.level - 1];
        if (!p.isLeaf()) {
            EXPECT_GE(p.node->children.size(), 1u);
            EXPECT_LE(p.node->children.size(), 12u) << p.node->text;
        }
    }
    EXPECT_EQ(tree().size(), 8u);
    EXPECT_EQ(nodes, (std::array<int, 4>{8, 18, 60, 11}));
    EXPECT_EQ(inner, (std::array<int, 4>{5, 11, 4, 0}));
    EXPECT_EQ(leaves, (std::array<int, 4>{3, 7, 56, 11}));
}

TEST(CatalogueTree, TextsAreUniqueDisplayStringsWithColonsInThreeLeavesOnly) {
    std::set<std::string> seen;
    int colonLeaves = 0;
    for (const Placed& p : walk()) {
        const std::string& t = p.node->text;
        SCOPED_TRACE(t);
        EXPECT_GE(utf16Length(t), 11u);
        EXPECT_LE(utf16Length(t), 112u);
        EXPECT_TRUE(isDisplayText(t));
        // A blank at either end would be invisible in the tree yet part of the key.
        EXPECT_EQ(t, volnor::trimmed(t));
        EXPECT_FALSE(seen.count(t));
        seen.insert(t);
        if (t.find(':') != std::string::npos) {
            EXPECT_TRUE(p.isLeaf());
            ++colonLeaves;
        }
    }
    EXPECT_EQ(seen.size(), 97u);
    EXPECT_EQ(colonLeaves, 3);
}

TEST(CatalogueEntries, MenuloadReplacesTheListWithTheLeavesInDepthFirstOrder) {
    std::vector<std::string> leaves;
    for (const Placed& p : walk())
        if (p.isLeaf()) leaves.push_back(p.node->text);

    std::vector<std::string> list{"stale|https://vn.test/f/0000/old.zip", "x"};
    menuload(list);
    ASSERT_EQ(list.size(), 77u);
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(splitEntry(list[i]).namepro, leaves[i]);

    menuload(list);  // a second load rebuilds the same list, it does not append
    EXPECT_EQ(list, loaded());
    EXPECT_EQ(list.size(), 77u);
}

TEST(CatalogueEntries, UrlsHaveTheArchiveFormAndUniqueFileNames) {
    ASSERT_EQ(std::strlen(volnor::buildconfig::kWebHost), 7u);
    std::set<std::string> titles, urls, files;
    for (const std::string& line : loaded()) {
        SCOPED_TRACE(line);
        EXPECT_EQ(std::count(line.begin(), line.end(), '|'),
                  1);  // titles never hold "|", URLs neither
        const Entry e = splitEntry(line);
        EXPECT_TRUE(std::regex_match(e.webpro, volnor::treewalk::archiveUrlForm()));
        const std::string afterSlash = e.webpro.substr(e.webpro.rfind('/') + 1);
        EXPECT_EQ(utf16Length(e.webpro) - utf16Length(afterSlash), 23u);
        EXPECT_EQ(e.shortweb, afterSlash);
        titles.insert(e.namepro);
        urls.insert(e.webpro);
        files.insert(e.shortweb);
    }
    EXPECT_EQ(titles.size(), 77u);
    EXPECT_EQ(urls.size(), 77u);
    EXPECT_EQ(files.size(), 77u);
}

TEST(CatalogueEntries, SplitAtTheFirstBar) {
    struct Case {
        const char* entry;
        const char* namepro;
        const char* webpro;
    };
    const Case cases[] = {
        {"Крышки лотков КЛ|https://vn.test/f/1404/kl.zip", "Крышки лотков КЛ",
         "https://vn.test/f/1404/kl.zip"},
        {"a|b|c", "a", "b|c"},
        {"|https://vn.test/f/1404/kl.zip", "", "https://vn.test/f/1404/kl.zip"},
        {"title|", "title", ""},
        {"no separator", "", "no separator"},
    };
    for (const Case& c : cases) {
        const Entry e = splitEntry(c.entry);
        EXPECT_EQ(e.namepro, c.namepro);
        EXPECT_EQ(e.webpro, c.webpro);
        EXPECT_EQ(e.shortweb, shortweb(e.webpro));
    }
}

TEST(CatalogueEntries, ShortwebCutsTwentyThreeCharactersWithoutLookingForSlashes) {
    struct Case {
        const char* url;
        const char* expected;
    };
    const Case cases[] = {
        {"https://vn.test/f/1404/kl.zip", "kl.zip"},
        {"https://example.org/f/1234/a.zip", "234/a.zip"},  // a longer host: not the file name
        {"https://vn.test/f/1404/", ""},
        {"https://vn", ""},
        // Characters, not bytes: a Cyrillic host of 7 letters takes 14 bytes.
        {"https://вн.тест/f/1404/kl.zip", "kl.zip"},
        {"https://vn.test/f/1404/щит.zip", "щит.zip"},
    };
    for (const Case& c : cases) EXPECT_EQ(shortweb(c.url), c.expected) << c.url;
}

TEST(CatalogueLookup, ComparesExactly) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"Реле контроля фаз РКФ-М", "Реле контроля фаз РКФ-М", true},
        {"Реле контроля фаз РКФ-М", "реле контроля фаз РКФ-М", false},
        {"Реле контроля фаз РКФ-М", "Реле контроля фаз РКФ-м", false},
        {"Реле контроля фаз РКФ-М", "Реле контроля фаз РКФ-М ", false},
        {"Реле контроля фаз РКФ-М", " Реле контроля фаз РКФ-М", false},
        {"Реле контроля фаз РКФ-М", "Реле контроля фаз PKФ-M", false},  // Latin look-alikes
        {"й", "и\u0306", false},                                        // no normalisation
        {"", "", true},
    };
    for (const Case& c : cases) EXPECT_EQ(sameText(c.a, c.b), c.same) << c.b;
}

TEST(CatalogueLookup, CaseAndTrailingBlankVariantsMatchNothing) {
    const std::vector<std::string> list = loaded();
    for (const Placed& p : walk()) {
        const std::string& t = p.node->text;
        for (const std::string& variant :
             {withCase(t, true), withCase(t, false), t + ' ', utf16Mid(t, 0, utf16Length(t) - 1)}) {
            if (variant == t) continue;
            EXPECT_FALSE(findEntry(list, variant).has_value()) << variant;
            EXPECT_EQ(findRow(variant), nullptr) << variant;
        }
    }
}

TEST(CatalogueLookup, EveryNodeHasAnEntryOrARowAndOneTopLevelLeafHasBoth) {
    const std::vector<std::string> list = loaded();
    std::vector<Placed> both;
    for (const Placed& p : walk()) {
        SCOPED_TRACE(p.node->text);
        const std::optional<Entry> entry = findEntry(list, p.node->text);
        const GroupRow* row = findRow(p.node->text);
        EXPECT_EQ(entry.has_value(), p.isLeaf());
        EXPECT_TRUE(entry || row);
        if (entry) {
            EXPECT_EQ(entry->namepro, p.node->text);
        }
        if (row) {
            EXPECT_EQ(row->key, p.node->text);
        }
        if (entry && row) both.push_back(p);
    }
    ASSERT_EQ(both.size(), 1u);
    const Placed& leaf = both.front();
    EXPECT_EQ(leaf.level, 1);
    // Its download fetches the same archive twice: once as an entry, once through its row.
    EXPECT_EQ(findRow(leaf.node->text)->urls,
              std::vector<std::string>{findEntry(list, leaf.node->text)->webpro});
}

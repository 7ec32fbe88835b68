// The built-in tree, the entry list and the lookup by node text.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <array>
#include <cstring>

#include "buildconfig.h"
#include "catalogue/tree_walk.h"

using namespace volnor::catalogue;
using volnor::treewalk::Placed;
using volnor::treewalk::walk;

namespace {

QStringList loaded() {
    QStringList list;
    menuload(list);
    return list;
}

}  // namespace

TEST(CatalogueTree, HasItsNodesOnFourLevels) {
    std::array<int, 4> nodes{}, inner{}, leaves{};
    for (const Placed& p : walk()) {
        ASSERT_LE(p.level, 4) << p.node->text.toStdString();
        ++nodes[p.level - 1];
        ++(p.isLeaf() ? leaves : inner)[p.level - 1];
        if (!p.isLeaf()) {
            EXPECT_GE(p.node->children.size(), 1u);
            EXPECT_LE(p.node->children.size(), 12u) << p.node->text.toStdString();
        }
    }
    EXPECT_EQ(tree().size(), 8u);
    EXPECT_EQ(nodes, (std::array<int, 4>{8, 18, 60, 11}));
    EXPECT_EQ(inner, (std::array<int, 4>{5, 11, 4, 0}));
    EXPECT_EQ(leaves, (std::array<int, 4>{3, 7, 56, 11}));
}

TEST(CatalogueTree, TextsAreUniqueDisplayStringsWithColonsInThreeLeavesOnly) {
    // Russian and Latin letters, digits, blanks, commas, hyphens, parentheses, and the colon.
    static const QRegularExpression allowed(
        QStringLiteral("^[A-Za-z\\x{0400}-\\x{04FF}0-9 ,():-]+$"));
    QSet<QString> seen;
    int colonLeaves = 0;
    for (const Placed& p : walk()) {
        const QString& t = p.node->text;
        SCOPED_TRACE(t.toStdString());
        EXPECT_GE(t.size(), 11);
        EXPECT_LE(t.size(), 112);
        EXPECT_TRUE(allowed.match(t).hasMatch());
        // A blank at either end would be invisible in the tree yet part of the key.
        EXPECT_EQ(t, t.trimmed());
        EXPECT_FALSE(seen.contains(t));
        seen.insert(t);
        if (t.contains(u':')) {
            EXPECT_TRUE(p.isLeaf());
            ++colonLeaves;
        }
    }
    EXPECT_EQ(seen.size(), 97);
    EXPECT_EQ(colonLeaves, 3);
}

TEST(CatalogueEntries, MenuloadReplacesTheListWithTheLeavesInDepthFirstOrder) {
    QStringList leaves;
    for (const Placed& p : walk())
        if (p.isLeaf()) leaves << p.node->text;

    QStringList list{QStringLiteral("stale|https://vn.test/f/0000/old.zip"), QStringLiteral("x")};
    menuload(list);
    ASSERT_EQ(list.size(), 77);
    for (qsizetype i = 0; i < list.size(); ++i) EXPECT_EQ(splitEntry(list[i]).namepro, leaves[i]);

    menuload(list);  // a second load rebuilds the same list, it does not append
    EXPECT_EQ(list, loaded());
    EXPECT_EQ(list.size(), 77);
}

TEST(CatalogueEntries, UrlsHaveTheArchiveFormAndUniqueFileNames) {
    ASSERT_EQ(std::strlen(volnor::buildconfig::kWebHost), 7u);
    const QRegularExpression form(
        QStringLiteral("^https://%1/f/[0-9]{4}/[a-z0-9-]+\\.zip$")
            .arg(QRegularExpression::escape(QLatin1String(volnor::buildconfig::kWebHost))));
    QSet<QString> titles, urls, files;
    for (const QString& line : loaded()) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(line.count(u'|'), 1);  // titles never hold "|", URLs neither
        const Entry e = splitEntry(line);
        EXPECT_TRUE(form.match(e.webpro).hasMatch());
        const QString afterSlash = e.webpro.mid(e.webpro.lastIndexOf(u'/') + 1);
        EXPECT_EQ(e.webpro.size() - afterSlash.size(), 23);
        EXPECT_EQ(e.shortweb, afterSlash);
        titles.insert(e.namepro);
        urls.insert(e.webpro);
        files.insert(e.shortweb);
    }
    EXPECT_EQ(titles.size(), 77);
    EXPECT_EQ(urls.size(), 77);
    EXPECT_EQ(files.size(), 77);
}

TEST(CatalogueEntries, SplitAtTheFirstBar) {
    struct Case {
        const char16_t* entry;
        const char16_t* namepro;
        const char16_t* webpro;
    };
    const Case cases[] = {
        {u"Крышки лотков КЛ|https://vn.test/f/1404/kl.zip", u"Крышки лотков КЛ",
         u"https://vn.test/f/1404/kl.zip"},
        {u"a|b|c", u"a", u"b|c"},
        {u"|https://vn.test/f/1404/kl.zip", u"", u"https://vn.test/f/1404/kl.zip"},
        {u"title|", u"title", u""},
        {u"no separator", u"", u"no separator"},
    };
    for (const Case& c : cases) {
        const Entry e = splitEntry(QString::fromUtf16(c.entry));
        EXPECT_EQ(e.namepro, QString::fromUtf16(c.namepro));
        EXPECT_EQ(e.webpro, QString::fromUtf16(c.webpro));
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
    };
    for (const Case& c : cases)
        EXPECT_EQ(shortweb(QString::fromLatin1(c.url)), QString::fromLatin1(c.expected)) << c.url;
}

TEST(CatalogueLookup, ComparesExactly) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        bool same;
    };
    const Case cases[] = {
        {u"Реле контроля фаз РКФ-М", u"Реле контроля фаз РКФ-М", true},
        {u"Реле контроля фаз РКФ-М", u"реле контроля фаз РКФ-М", false},
        {u"Реле контроля фаз РКФ-М", u"Реле контроля фаз РКФ-м", false},
        {u"Реле контроля фаз РКФ-М", u"Реле контроля фаз РКФ-М ", false},
        {u"Реле контроля фаз РКФ-М", u" Реле контроля фаз РКФ-М", false},
        {u"Реле контроля фаз РКФ-М", u"Реле контроля фаз PKФ-M", false},  // Latin look-alikes
        {u"й", u"и\u0306", false},                                        // no normalisation
        {u"", u"", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sameText(QString::fromUtf16(c.a), QString::fromUtf16(c.b)), c.same)
            << QString::fromUtf16(c.b).toStdString();
}

TEST(CatalogueLookup, CaseAndTrailingBlankVariantsMatchNothing) {
    const QStringList list = loaded();
    for (const Placed& p : walk()) {
        const QString& t = p.node->text;
        for (const QString& variant : {t.toUpper(), t.toLower(), t + u' ', t.left(t.size() - 1)}) {
            if (variant == t) continue;
            EXPECT_FALSE(findEntry(list, variant).has_value()) << variant.toStdString();
            EXPECT_EQ(findRow(variant), nullptr) << variant.toStdString();
        }
    }
}

TEST(CatalogueLookup, EveryNodeHasAnEntryOrARowAndOneTopLevelLeafHasBoth) {
    const QStringList list = loaded();
    std::vector<Placed> both;
    for (const Placed& p : walk()) {
        SCOPED_TRACE(p.node->text.toStdString());
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
              QStringList{findEntry(list, leaf.node->text)->webpro});
}

// The group download table against the tree it is written beside (nothing in the program checks
// one against the other, so these tests do).
#include <gtest/gtest.h>

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "buildconfig.h"
#include "catalogue/catalogue.h"
#include "catalogue/tree_walk.h"

using namespace volnor::catalogue;
using volnor::treewalk::Placed;

namespace {

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

QStringList replaced(QStringList l, const QString& from, const QString& to) {
    l.replaceInStrings(
        QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(from))), to);
    return l;
}

QStringList without(QStringList l, const QStringList& gone) {
    l.removeIf([&](const QString& u) { return gone.contains(u); });
    return l;
}

// The table read against the tree: each row sorted into what it is.
struct Reading {
    QStringList menulist;
    QHash<QString, Placed> nodes;
    QSet<QString> entryUrls;
    std::vector<const GroupRow*> inTreeOrder, ownOrder, departing, leafRows;

    Reading() : nodes(volnor::treewalk::byText()) {
        menuload(menulist);
        for (const QString& line : menulist) entryUrls.insert(splitEntry(line).webpro);
        for (const GroupRow& row : grouplist()) {
            const Placed& p = nodes.value(row.key);
            if (!p.node) continue;  // reported by KeysAreInnerNodesAndOneTopLevelLeaf
            if (p.isLeaf()) {
                leafRows.push_back(&row);
                continue;
            }
            const QStringList exact = urlsBelow(*p.node);
            if (row.urls == exact)
                inTreeOrder.push_back(&row);
            else if (sorted(row.urls) == sorted(exact) && !hasRepeats(row.urls))
                ownOrder.push_back(&row);
            else
                departing.push_back(&row);
        }
    }

    // The entry URLs of the leaves below a node, in tree order.
    QStringList urlsBelow(const Node& node) const {
        QStringList leaves, urls;
        volnor::treewalk::leavesBelow(node, leaves);
        for (const QString& t : leaves) urls << findEntry(menulist, t)->webpro;
        return urls;
    }
    static bool hasRepeats(const QStringList& l) {
        return QSet<QString>(l.begin(), l.end()).size() != l.size();
    }
};

}  // namespace

TEST(GroupTable, KeysAreInnerNodesAndOneTopLevelLeaf) {
    const Reading r;
    ASSERT_EQ(grouplist().size(), 21u);
    QSet<QString> keys;
    for (const GroupRow& row : grouplist()) {
        EXPECT_TRUE(r.nodes.contains(row.key)) << row.key.toStdString();
        EXPECT_FALSE(keys.contains(row.key)) << row.key.toStdString();
        keys.insert(row.key);
    }
    for (const Placed& p : volnor::treewalk::walk()) {
        if (!p.isLeaf()) {
            EXPECT_TRUE(keys.contains(p.node->text)) << p.node->text.toStdString();
        }
    }

    ASSERT_EQ(r.leafRows.size(), 1u);
    const GroupRow& leafRow = *r.leafRows.front();
    EXPECT_EQ(r.nodes.value(leafRow.key).level, 1);
    EXPECT_EQ(leafRow.urls, QStringList{findEntry(r.menulist, leafRow.key)->webpro});
}

TEST(GroupTable, HoldsArchiveUrlsOneToNineteenARow) {
    const QRegularExpression form(
        QStringLiteral("^https://%1/f/[0-9]{4}/[a-z0-9-]+\\.zip$")
            .arg(QRegularExpression::escape(QLatin1String(volnor::buildconfig::kWebHost))));
    qsizetype total = 0;
    for (const GroupRow& row : grouplist()) {
        SCOPED_TRACE(row.key.toStdString());
        EXPECT_GE(row.urls.size(), 1);
        EXPECT_LE(row.urls.size(), 19);
        total += row.urls.size();
        for (const QString& url : row.urls) {
            EXPECT_TRUE(form.match(url).hasMatch()) << url.toStdString();
            EXPECT_EQ(shortweb(url), url.mid(url.lastIndexOf(u'/') + 1));
        }
    }
    EXPECT_EQ(total, 155);
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
        return r.nodes.value(a->key).level > r.nodes.value(b->key).level;
    });
    const GroupRow& inner = *rows[0];
    const GroupRow& middle = *rows[1];
    const GroupRow& outer = *rows[2];
    const Placed innerNode = r.nodes.value(inner.key);
    const Placed middleNode = r.nodes.value(middle.key);
    const Placed outerNode = r.nodes.value(outer.key);
    ASSERT_TRUE(innerNode.isBelow(middleNode.node));
    ASSERT_TRUE(middleNode.isBelow(outerNode.node));

    // One archive that no entry has, in these three rows only, once each.
    QStringList foreign;
    for (const GroupRow& row : grouplist())
        for (const QString& url : row.urls)
            if (!r.entryUrls.contains(url)) foreign << url;
    ASSERT_EQ(foreign.size(), 3) << foreign.join(u' ').toStdString();
    const QString shared = foreign.front();
    for (const GroupRow* row : rows)
        EXPECT_EQ(row->urls.count(shared), 1) << row->key.toStdString();

    // It stands where the entry URL of one leaf below the innermost group would stand.
    const QStringList innerExact = r.urlsBelow(*innerNode.node);
    const QStringList missing = without(innerExact, inner.urls);
    ASSERT_EQ(missing.size(), 1);
    const QString replacedLeaf = missing.front();
    EXPECT_EQ(inner.urls, replaced(innerExact, replacedLeaf, shared));
    EXPECT_FALSE(middle.urls.contains(replacedLeaf));
    EXPECT_FALSE(outer.urls.contains(replacedLeaf));

    // The middle one adds the archives of three leaves beside its node.
    const QStringList middleExact = r.urlsBelow(*middleNode.node);
    const QStringList extras = without(middle.urls, middleExact + QStringList{shared});
    ASSERT_EQ(extras.size(), 3);
    QStringList siblingLeaves;
    for (const Node& sibling : middleNode.parent()->children)
        if (sibling.children.empty() && &sibling != middleNode.node)
            siblingLeaves << findEntry(r.menulist, sibling.text)->webpro;
    for (const QString& url : extras) EXPECT_TRUE(siblingLeaves.contains(url)) << url.toStdString();
    EXPECT_EQ(sorted(replaced(without(middle.urls, extras), shared, replacedLeaf)),
              sorted(middleExact));

    // The outermost lacks those three and names two URLs twice.
    const QStringList outerExact = r.urlsBelow(*outerNode.node);
    for (const QString& url : extras) EXPECT_FALSE(outer.urls.contains(url)) << url.toStdString();
    QStringList twice;
    for (const QString& url : outer.urls) {
        EXPECT_LE(outer.urls.count(url), 2);
        if (outer.urls.count(url) == 2 && !twice.contains(url)) twice << url;
    }
    ASSERT_EQ(twice.size(), 2);
    QStringList once = replaced(outer.urls, shared, replacedLeaf);
    for (const QString& url : twice) once.removeAt(once.lastIndexOf(url));
    EXPECT_EQ(sorted(once), sorted(without(outerExact, extras)));
    EXPECT_EQ(findRow(outer.key), &outer);  // the lookup hands on the row, repeats included
}

// The removal table against the catalogue tree it is keyed on.
#include "partsdb/removal_table.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "catalogue/tree_walk.h"

using volnor::partsdb::RemovalEntry;
using volnor::partsdb::RemovalStep;
using volnor::partsdb::removalTable;
using volnor::treewalk::Placed;
using Kind = RemovalStep::Kind;

namespace {

QStringList patterns(const RemovalEntry& e) {
    QStringList out;
    for (const RemovalStep& s : e.steps)
        if (s.kind == Kind::ClearSql) out << s.text;
    return out;
}

// The tokens a dfile step reads: each is followed by ";".
QStringList tokens(const RemovalStep& s) {
    QStringList out = s.text.split(u';');
    out.removeLast();  // what follows the last ";"
    return out;
}

QStringList tokens(const RemovalEntry& e) {
    QStringList out;
    for (const RemovalStep& s : e.steps)
        if (s.kind == Kind::DFile) out << tokens(s);
    return out;
}

int count(const RemovalEntry& e, Kind kind) {
    return int(std::count_if(e.steps.begin(), e.steps.end(),
                             [&](const RemovalStep& s) { return s.kind == kind; }));
}

bool sameSteps(const std::vector<RemovalStep>& a, const std::vector<RemovalStep>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const RemovalStep& x, const RemovalStep& y) {
                          return x.kind == y.kind && x.text == y.text && x.count == y.count;
                      });
}

// The table with each entry's node.
struct Keyed {
    QHash<QString, Placed> nodes = volnor::treewalk::byText();
    std::vector<Placed> placed;  // in table order

    Keyed() {
        for (const RemovalEntry& e : removalTable()) placed.push_back(nodes.value(e.key));
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
    QSet<QString> keys;
    int leavesByLevel[5]{};
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].key.toStdString());
        ASSERT_NE(k.placed[i].node, nullptr);  // exactly a node's text
        EXPECT_FALSE(keys.contains(table[i].key));
        keys.insert(table[i].key);
        if (k.placed[i].isLeaf()) ++leavesByLevel[k.placed[i].level];
    }
    for (const Placed& p : volnor::treewalk::walk()) {
        if (!p.isLeaf() || p.level == 1) {
            EXPECT_TRUE(keys.contains(p.node->text)) << p.node->text.toStdString();
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
            EXPECT_FALSE(k.below(j, i)) << removalTable()[j].key.toStdString() << " after "
                                        << removalTable()[i].key.toStdString();
}

TEST(RemovalTable, PatternsAreLiteralTypeNumberFragments) {
    // Latin or Cyrillic letters, digits, blanks and hyphens: nothing that ends the SQL string
    // literal and nothing that LIKE reads as a wildcard.
    static const QRegularExpression form(
        QStringLiteral("^[A-Za-z\\x{0400}-\\x{04FF}0-9 -]{2,14}$"));
    int steps = 0;
    QSet<QString> distinct;
    for (const RemovalEntry& e : removalTable())
        for (const QString& p : patterns(e)) {
            ++steps;
            distinct.insert(p);
            EXPECT_TRUE(form.match(p).hasMatch()) << p.toStdString();
            for (const QChar c : {u'\'', u'%', u'_', u'['})
                EXPECT_FALSE(p.contains(c)) << p.toStdString();
        }
    EXPECT_EQ(steps, 200);
    EXPECT_EQ(distinct.size(), 107);
}

TEST(RemovalTable, MacroStepsCountTheirTokens) {
    static const QRegularExpression form(QStringLiteral("^[A-Za-z\\x{0400}-\\x{04FF}0-9 _()-]+$"));
    int steps = 0, least = 100, most = 0;
    for (const RemovalEntry& e : removalTable())
        for (const RemovalStep& s : e.steps) {
            if (s.kind != Kind::DFile) continue;
            SCOPED_TRACE(s.text.toStdString());
            ++steps;
            least = std::min(least, s.count);
            most = std::max(most, s.count);
            EXPECT_TRUE(s.text.endsWith(u';'));
            EXPECT_EQ(s.count, tokens(s).size());
            for (const QString& t : tokens(s))
                EXPECT_TRUE(form.match(t).hasMatch()) << t.toStdString();
        }
    EXPECT_EQ(steps, 33);
    EXPECT_EQ(least, 1);
    EXPECT_EQ(most, 21);
}

TEST(RemovalTable, StepsComeInRunsOfPatternsClosedByTheirMacroStep) {
    int endingInMacros = 0, patternsOnly = 0;
    for (const RemovalEntry& e : removalTable()) {
        SCOPED_TRACE(e.key.toStdString());
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
            SCOPED_TRACE(table[s].key.toStdString() + " beneath " + table[g].key.toStdString());
            const QStringList own = patterns(table[g]);
            for (const QString& p : patterns(table[s]))
                EXPECT_TRUE(own.contains(p)) << p.toStdString();
            const QStringList groupTokens = tokens(table[g]);
            for (const QString& t : tokens(table[s]))
                EXPECT_TRUE(std::any_of(groupTokens.begin(), groupTokens.end(),
                                        [&](const QString& mine) { return t.contains(mine); }))
                    << t.toStdString();
        }
}

TEST(RemovalTable, GroupEntriesAreTheirSubGroupsInTurnOrTheWholeGroupAtOnce) {
    const Keyed k;
    const auto& table = removalTable();
    int sequences = 0, wholeGroups = 0, withoutBeneath = 0;
    for (size_t g = 0; g < table.size(); ++g) {
        if (k.placed[g].isLeaf()) continue;
        SCOPED_TRACE(table[g].key.toStdString());
        if (!k.hasEntriesBeneath(g)) {
            ++withoutBeneath;
            continue;
        }
        std::vector<RemovalStep> children;
        for (size_t s = 0; s < table.size(); ++s)
            if (k.placed[s].parent() == k.placed[g].node)
                children.insert(children.end(), table[s].steps.begin(), table[s].steps.end());
        const RemovalEntry& e = table[g];
        const QStringList p = patterns(e);
        if (sameSteps(e.steps, children)) {
            ++sequences;
        } else {
            // Every pattern once, then a single macro step for the whole group.
            EXPECT_EQ(count(e, Kind::DFile), 1);
            EXPECT_EQ(e.steps.back().kind, Kind::DFile);
            EXPECT_EQ(QSet<QString>(p.begin(), p.end()).size(), p.size());
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
            for (const QString& p : patterns(table[a]))
                for (const QString& q : patterns(table[b]))
                    EXPECT_FALSE(q.contains(p, Qt::CaseInsensitive))
                        << p.toStdString() << " in " << q.toStdString();
            for (const QString& t : tokens(table[a]))
                for (const QString& u : tokens(table[b]))
                    EXPECT_FALSE(u.contains(t)) << t.toStdString() << " in " << u.toStdString();
        }
}

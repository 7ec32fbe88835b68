// A group removal with its compaction, killed with SIGKILL at many moments in a process of its
// own: after every kill the database under the user's name is whole, holds exactly the patterns
// whose transactions landed, and the next compaction alone succeeds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <map>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "partsdb/sampledb.h"
#include "platform/error.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using volnor::test::column;

namespace {

constexpr int kParts = 20000;
// Kills spread over a group removal with its compaction, and over a compaction alone, whose
// moments the longer removal would cover only thinly.
constexpr int kRemovalKills = 12;
constexpr int kCompactionKills = 6;
constexpr qint64 kBudgetMs = 60'000;  // the tries stop early rather than run longer

const RemovalEntry& largestEntry() {
    const RemovalEntry* best = &removalTable().front();
    auto patterns = [](const RemovalEntry& e) {
        return std::count_if(e.steps.begin(), e.steps.end(),
                             [](const auto& s) { return s.kind == RemovalStep::Kind::ClearSql; });
    };
    for (const auto& e : removalTable())
        if (patterns(e) > patterns(*best)) best = &e;
    return *best;
}

std::vector<int> intColumn(const QString& path, const QString& sql) {
    std::vector<int> out;
    for (const QString& v : column(path, sql)) out.push_back(v.toInt());
    return out;
}

class KillDuringRemoval : public ::testing::Test {
protected:
    KillDuringRemoval() : paths(dir.filePath(QStringLiteral("drive"))) {
        pristine = dir.filePath(QStringLiteral("pristine.mdb"));
        data = dir.filePath(QStringLiteral("data"));
        db = data + QStringLiteral("/ESS_part001.mdb");
        makeSampleDatabase(pristine, kParts);
        // For every part, the first pattern of the entry that removes it (patterns.size(): none).
        QStringList patterns;
        for (const auto& s : largestEntry().steps)
            if (s.kind == RemovalStep::Kind::ClearSql) patterns << s.text;
        stages = int(patterns.size());
        for (const QString& row :
             column(pristine, QStringLiteral("SELECT id||'|'||ifnull(typenr,'') FROM tblpart"))) {
            const QString typenr = row.section(u'|', 1);
            int first = stages;
            for (int k = 0; k < stages && !typenr.isEmpty(); ++k)
                if (typenr.contains(patterns[k], Qt::CaseInsensitive)) {
                    first = k;
                    break;
                }
            firstPattern[row.section(u'|', 0, 0).toInt()] = first;
        }
        pristineIds = {idsOf(pristine, "tblpart"), idsOf(pristine, "tblVariant"),
                       idsOf(pristine, "tblFunctionTemplate")};
    }

    void restore(const QString& from) {
        QDir(data).removeRecursively();
        QDir().mkpath(data);
        ASSERT_TRUE(QFile::copy(from, db));
    }

    // In a child process: the group removal as the window runs it, or the compaction alone.
    pid_t start(bool removal) {
        const pid_t child = fork();
        if (child == 0) {
            volnor::test::RecordingDialogs dialogs;
            PartsMaintenance parts(dialogs, paths);
            QStringList expected;
            try {
                if (removal) {
                    dialogs.nextFiles.push_back(db);
                    parts.ToolButton7Click();
                    parts.N1Click(largestEntry().key);
                    expected = QStringList{kConnectedText.toString(), kRemovedText.toString()};
                } else {
                    parts.CompactDatabase_JRO(db, QString(), QString());
                }
            } catch (const Error& e) {
                std::fprintf(stderr, "%s\n", e.what());
                _exit(2);
            }
            if (dialogs.texts() == expected) _exit(0);
            std::fprintf(stderr, "%s\n", dialogs.texts().join(u'|').toUtf8().constData());
            _exit(3);
        }
        return child;
    }

    // Runs a child to its end; returns how long it took.
    qint64 runToEnd(bool removal) {
        QElapsedTimer timer;
        timer.start();
        const pid_t child = start(removal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return std::max<qint64>(timer.elapsed(), 20);
    }

    static std::vector<int> idsOf(const QString& path, const char* table) {
        return intColumn(path, QStringLiteral("SELECT DISTINCT id FROM %1 ORDER BY id")
                                   .arg(QLatin1String(table)));
    }

    // The ids of `all` that the first `landed` patterns leave (ids without a part stay).
    std::vector<int> expectedIds(const std::vector<int>& all, int landed) const {
        std::vector<int> out;
        for (const int id : all) {
            const auto it = firstPattern.find(id);
            if (it == firstPattern.end() || it->second >= landed) out.push_back(id);
        }
        return out;
    }

    // How many of the patterns' transactions the database holds; -1 when it matches no prefix.
    int landedPatterns() const {
        const auto partIds = idsOf(db, "tblpart");
        for (int landed = 0; landed <= stages; ++landed) {
            if (expectedIds(pristineIds[0], landed) != partIds) continue;
            const bool rest = expectedIds(pristineIds[1], landed) == idsOf(db, "tblVariant") &&
                              expectedIds(pristineIds[2], landed) == idsOf(db, "tblFunctionTemplate");
            return rest ? landed : -1;
        }
        return -1;
    }

    // Files beside the database that are neither it nor its own journal.
    QStringList leftovers() const {
        QStringList out = QDir(data).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        out.removeAll(QStringLiteral("ESS_part001.mdb"));
        out.removeAll(QStringLiteral("ESS_part001.mdb-journal"));
        return out;
    }

    QTemporaryDir dir;
    WinPaths paths;
    QString pristine, data, db;
    std::map<int, int> firstPattern;
    std::array<std::vector<int>, 3> pristineIds;  // tblpart, tblVariant, tblFunctionTemplate
    int stages = 0;
};

}  // namespace

TEST_F(KillDuringRemoval, EveryKillLeavesAWholeDatabaseThatTheNextCompactionTakes) {
    // Runs to the end give the spans over which the kills are spread.
    restore(pristine);
    const qint64 removalSpan = runToEnd(true);
    ASSERT_EQ(landedPatterns(), stages);
    // The compaction alone starts from a database that the whole removal left.
    const QString removed = dir.filePath(QStringLiteral("removed.mdb"));
    ASSERT_TRUE(QFile::copy(db, removed));
    const qint64 compactionSpan = runToEnd(false);

    static const QRegularExpression copyName(QStringLiteral("^mdb\\w{6}\\.tmp(-journal)?$"));
    QElapsedTimer budget;
    budget.start();
    int kills = 0, finished = 0;
    std::map<int, int> byLanded;  // how many tries left each count of landed patterns
    for (int i = 0; i < kRemovalKills + kCompactionKills && budget.elapsed() < kBudgetMs; ++i) {
        const bool removal = i < kRemovalKills;
        const int slot = removal ? i : i - kRemovalKills;
        const int tries = removal ? kRemovalKills : kCompactionKills;
        // Moments spread over the whole run and a little past it.
        const qint64 delayUs = (removal ? removalSpan : compactionSpan) * 1100 * (2 * slot + 1) /
                               (2 * tries);
        SCOPED_TRACE(QStringLiteral("%1 killed after %2 ms")
                         .arg(removal ? "removal" : "compaction")
                         .arg(delayUs / 1000)
                         .toStdString());
        restore(removal ? pristine : removed);
        const pid_t child = start(removal);
        ASSERT_GT(child, 0);
        QThread::usleep(static_cast<unsigned long>(delayUs));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0);
            ++finished;
        } else {
            ++kills;
        }

        // At most one temporary copy (with its journal) is left beside the database.
        const QStringList left = leftovers();
        for (const QString& f : left) EXPECT_TRUE(copyName.match(f).hasMatch()) << f.toStdString();
        EXPECT_LE(left.filter(QRegularExpression(QStringLiteral("\\.tmp$"))).size(), 1);

        // The next compaction alone succeeds, ignoring that copy.
        volnor::test::RecordingDialogs dialogs;
        PartsMaintenance parts(dialogs, paths);
        parts.CompactDatabase_JRO(db, QString(), QString());
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join(u'|').toStdString();
        EXPECT_EQ(leftovers(), left);
        EXPECT_FALSE(QFileInfo::exists(db + QStringLiteral("-journal")));

        // The file under the user's name opens with its password and is whole.
        QString connection = connectionTemplate();
        connection.replace(QStringLiteral("mybase"), db);
        parts.ADOConnection1().setConnectionString(connection);
        EXPECT_NO_THROW(parts.ADOConnection1().setConnected(true));
        parts.ADOConnection1().setConnected(false);
        EXPECT_EQ(column(db, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        const int landed = landedPatterns();
        EXPECT_GE(landed, 0) << "the rows match no sequence of landed patterns";
        ++byLanded[landed];
    }
    QStringList spread;
    for (const auto& [landed, count] : byLanded)
        spread << QStringLiteral("%1:%2").arg(landed).arg(count);
    std::printf("removal %lld ms, compaction %lld ms; %d kills survived, %d runs ended before "
                "their kill; landed patterns (of %d) per try: %s\n",
                static_cast<long long>(removalSpan), static_cast<long long>(compactionSpan), kills,
                finished, stages, spread.join(u' ').toUtf8().constData());
    RecordProperty("kills", kills);
    EXPECT_GT(kills, 0);
}

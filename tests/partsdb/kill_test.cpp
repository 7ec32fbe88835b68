// A group removal with its compaction, killed with SIGKILL at many moments in a process of its
// own: after every kill the database under the user's name is whole, holds exactly the patterns
// whose transactions landed, and the next compaction alone succeeds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <thread>

#include "partsdb/dbfixture.h"
#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "platform/posix/file_search.h"
#include "platform/posix/jet_engine.h"
#include "sampledb/sampledb.h"
#include "support/recorders.h"

using namespace volnor;
using namespace volnor::partsdb;
using namespace volnor::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kParts = 20000;
// Kills spread over a group removal with its compaction, and over a compaction alone, whose
// moments the longer removal would cover only thinly.
constexpr int kRemovalKills = 12;
constexpr int kCompactionKills = 6;
constexpr auto kBudget = std::chrono::seconds(60);  // the tries stop early rather than run longer

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

std::vector<int> intColumn(const fs::path& path, const std::string& sql) {
    std::vector<int> out;
    for (const std::string& v : column(path, sql)) out.push_back(std::stoi(v));
    return out;
}

// The program's commands in a process: the real engine and file search.
struct Program {
    explicit Program(const WinPaths& paths) : parts(dialogs, engine, files, paths) {}
    RecordingDialogs dialogs;
    posix::JetEngine engine;
    posix::PosixFileSearch files;
    PartsMaintenance parts;
};

class KillDuringRemoval : public ::testing::Test {
protected:
    KillDuringRemoval() : paths(dir.file("drive")) {
        pristine = dir.file("pristine.mdb");
        data = dir.file("data");
        db = data / "ESS_part001.mdb";
        sampledb::makeSampleDatabase(pristine, kParts);
        // For every part, the first pattern of the entry that removes it (patterns.size(): none).
        std::vector<std::string> patterns;
        for (const auto& s : largestEntry().steps)
            if (s.kind == RemovalStep::Kind::ClearSql) patterns.push_back(s.text);
        stages = int(patterns.size());
        for (const std::string& row :
             column(pristine, "SELECT id||'|'||ifnull(typenr,'') FROM tblpart")) {
            const std::size_t bar = row.find('|');
            const std::string typenr = row.substr(bar + 1);
            int first = stages;
            for (int k = 0; k < stages && !typenr.empty(); ++k)
                if (containsNoCase(typenr, patterns[std::size_t(k)])) {
                    first = k;
                    break;
                }
            firstPattern[std::stoi(row.substr(0, bar))] = first;
        }
        pristineIds = {idsOf(pristine, "tblpart"), idsOf(pristine, "tblVariant"),
                       idsOf(pristine, "tblFunctionTemplate")};
    }

    void restore(const fs::path& from) {
        fs::remove_all(data);
        fs::create_directories(data);
        fs::copy_file(from, db);
    }

    // In a child process: the group removal as the window runs it, or the compaction alone.
    pid_t start(bool removal) {
        const pid_t child = fork();
        if (child == 0) {
            Program program(paths);
            std::vector<std::string> expected;
            try {
                if (removal) {
                    program.dialogs.nextFiles.push_back(utf8Of(db));
                    program.parts.chooseDatabase();
                    program.parts.removeGroup(largestEntry().key);
                    expected = {std::string(kConnectedText), std::string(kRemovedText)};
                } else {
                    program.parts.CompactDatabase_JRO(utf8Of(db), {}, {});
                }
            } catch (const Error& e) {
                std::fprintf(stderr, "%s\n", e.what());
                _exit(2);
            }
            if (program.dialogs.texts() == expected) _exit(0);
            std::fprintf(stderr, "%s\n", join(program.dialogs.texts(), "|").c_str());
            _exit(3);
        }
        return child;
    }

    // Runs a child to its end; returns how long it took.
    Clock::duration runToEnd(bool removal) {
        const auto begin = Clock::now();
        const pid_t child = start(removal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return std::max<Clock::duration>(Clock::now() - begin, std::chrono::milliseconds(20));
    }

    static std::vector<int> idsOf(const fs::path& path, const char* table) {
        return intColumn(path, std::string("SELECT DISTINCT id FROM ") + table + " ORDER BY id");
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
            const bool rest =
                expectedIds(pristineIds[1], landed) == idsOf(db, "tblVariant") &&
                expectedIds(pristineIds[2], landed) == idsOf(db, "tblFunctionTemplate");
            return rest ? landed : -1;
        }
        return -1;
    }

    // Files beside the database that are neither it nor its own journal.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const std::string& name : entryNames(data))
            if (name != "ESS_part001.mdb" && name != "ESS_part001.mdb-journal") out.push_back(name);
        return out;
    }

    TempDir dir;
    WinPaths paths;
    fs::path pristine, data, db;
    std::map<int, int> firstPattern;
    std::array<std::vector<int>, 3> pristineIds;  // tblpart, tblVariant, tblFunctionTemplate
    int stages = 0;
};

}  // namespace

TEST_F(KillDuringRemoval, EveryKillLeavesAWholeDatabaseThatTheNextCompactionTakes) {
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    // Runs to the end give the spans over which the kills are spread.
    restore(pristine);
    const auto removalSpan = runToEnd(true);
    ASSERT_EQ(landedPatterns(), stages);
    // The compaction alone starts from a database that the whole removal left.
    const fs::path removed = dir.file("removed.mdb");
    fs::copy_file(db, removed);
    const auto compactionSpan = runToEnd(false);

    static const std::regex copyName("^mdb\\w{6}\\.tmp(-journal)?$");
    static const std::regex tempFile("\\.tmp$");
    const auto budgetStart = Clock::now();
    int kills = 0, finished = 0;
    std::map<int, int> byLanded;  // how many tries left each count of landed patterns
    for (int i = 0; i < kRemovalKills + kCompactionKills && Clock::now() - budgetStart < kBudget;
         ++i) {
        const bool removal = i < kRemovalKills;
        const int slot = removal ? i : i - kRemovalKills;
        const int tries = removal ? kRemovalKills : kCompactionKills;
        // Moments spread over the whole run and a little past it.
        const auto delay = duration_cast<microseconds>(removal ? removalSpan : compactionSpan) *
                           11 * (2 * slot + 1) / (10 * 2 * tries);
        SCOPED_TRACE(std::string(removal ? "removal" : "compaction") + " killed after " +
                     std::to_string(duration_cast<milliseconds>(delay).count()) + " ms");
        restore(removal ? pristine : removed);
        const pid_t child = start(removal);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(delay);
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
        const std::vector<std::string> left = leftovers();
        for (const std::string& f : left) EXPECT_TRUE(std::regex_match(f, copyName)) << f;
        EXPECT_LE(
            std::count_if(left.begin(), left.end(),
                          [](const std::string& f) { return std::regex_search(f, tempFile); }),
            1);

        // The next compaction alone succeeds, ignoring that copy.
        Program program(paths);
        program.parts.CompactDatabase_JRO(utf8Of(db), {}, {});
        EXPECT_TRUE(program.dialogs.shown.empty()) << join(program.dialogs.texts(), "|");
        EXPECT_EQ(leftovers(), left);
        EXPECT_FALSE(fs::exists(fs::path(db.native() + "-journal")));

        // The file under the user's name opens with its password and is whole.
        program.parts.ADOConnection1().setConnectionString(
            replaceAll(connectionTemplate(), "mybase", utf8Of(db)));
        EXPECT_NO_THROW(program.parts.ADOConnection1().setConnected(true));
        program.parts.ADOConnection1().setConnected(false);
        EXPECT_EQ(column(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        const int landed = landedPatterns();
        EXPECT_GE(landed, 0) << "the rows match no sequence of landed patterns";
        ++byLanded[landed];
    }
    std::vector<std::string> spread;
    for (const auto& [landed, count] : byLanded)
        spread.push_back(std::to_string(landed) + ":" + std::to_string(count));
    std::printf(
        "removal %lld ms, compaction %lld ms; %d kills survived, %d runs ended before "
        "their kill; landed patterns (of %d) per try: %s\n",
        static_cast<long long>(duration_cast<milliseconds>(removalSpan).count()),
        static_cast<long long>(duration_cast<milliseconds>(compactionSpan).count()), kills,
        finished, stages, join(spread, " ").c_str());
    RecordProperty("kills", kills);
    EXPECT_GT(kills, 0);
}

// Starting scripts through the interpreter, and programs, as processes of their own.
#include "platform/posix/script_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "download/program_dir.h"
#include "download/script_file.h"

namespace volnor::test {
namespace {

using namespace std::chrono_literals;
using ScriptRunnerTest = ProgramDirTest;

// A line that waits (boundedly) for a file to appear, then leaves a mark.
const std::string kWaitForGo =
    "sh -c \"i=0; while [ ! -e go ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done; "
    "[ -e go ] && touch done\"";

TEST_F(ScriptRunnerTest, TheScriptWorksInTheProgramsCurrentDirectory) {
    ASSERT_TRUE(fs::create_directory(path("scripts")));
    write("here.txt", "x");
    write("scripts/here.txt", "x");
    writeScript(path("scripts/s.cmd"), {"del here.txt"});
    const ScriptResult result = runner().start("scripts/s.cmd")->wait({});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(exists("here.txt"));
    EXPECT_TRUE(exists("scripts/here.txt"));
}

TEST_F(ScriptRunnerTest, WaitingCallsThePump) {
    writeScript(path("s.cmd"), {kWaitForGo});
    auto script = runner().start(path("s.cmd"));
    // Only the pump makes the file the script waits for.
    const ScriptResult result = script->wait([this] { write("go", ""); });
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_TRUE(exists("done"));
}

TEST_F(ScriptRunnerTest, DroppingTheHandleDoesNotCutTheScriptShort) {
    write("go", "");
    writeScript(path("s.cmd"), {"sh -c \"sleep 0.2\"", "del go"});
    runner().start(path("s.cmd")).reset();
    EXPECT_FALSE(exists("go"));
}

// Error output beyond what a pipe holds is read while the script runs: a script that writes
// much of it still ends, and all of it is kept.
TEST_F(ScriptRunnerTest, KeepsAllTheErrorOutput) {
    writeScript(path("s.cmd"), {"sh -c \"head -c 1000000 /dev/zero >&2\""});
    const ScriptResult result = runner().start(path("s.cmd"))->wait({});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.errors.size(), 1000000u);
    EXPECT_TRUE(result.errors == std::string(1000000, '\0'));
}

TEST_F(ScriptRunnerTest, ADetachedScriptRunsWithoutBeingWaitedFor) {
    writeScript(path("s.cmd"), {kWaitForGo});
    ASSERT_TRUE(runner().startDetached(path("s.cmd")));
    EXPECT_FALSE(exists("done"));
    write("go", "");
    for (int i = 0; i < 2000 && !exists("done"); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(exists("done"));
    EXPECT_FALSE(posix::InterpreterRunner(path("no-such-folder")).startDetached(path("s.cmd")));
}

TEST_F(ScriptRunnerTest, AMissingInterpreterGivesAFailedResultWithAText) {
    writeScript(path("s.cmd"), {"exit"});
    const posix::InterpreterRunner nowhere(path("no-such-folder"));
    const ScriptResult result = nowhere.start(path("s.cmd"))->wait({});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find(utf8Of(nowhere.interpreterPath())), std::string::npos)
        << result.errors;
}

// A program run to its end, as the self-update runs 7-Zip to test and list its archive.
TEST_F(ScriptRunnerTest, RunTakesBothOutputsApartWithEmptyInputAndStopsAtTheLimit) {
    struct Case {
        const char* what;
        std::string program;
        std::vector<std::string> args;
        std::chrono::milliseconds limit;
        bool started;
        bool timedOut;
        int exitCode;
        std::string out;
        std::string errors;
    };
    const Case cases[] = {
        {"both outputs",
         "sh",
         {"-c", "printf out; printf err >&2"},
         20s,
         true,
         false,
         0,
         "out",
         "err"},
        {"empty input", "sh", {"-c", "cat; echo read $?"}, 20s, true, false, 0, "read 0\n", ""},
        {"exit code", "sh", {"-c", "exit 3"}, 20s, true, false, 3, "", ""},
        {"crash", "sh", {"-c", "kill -KILL $$"}, 20s, true, false, -1, "", ""},
        {"more than a pipe holds",
         "sh",
         {"-c", "head -c 1000000 /dev/zero; head -c 1000000 /dev/zero >&2"},
         20s,
         true,
         false,
         0,
         std::string(1000000, '\0'),
         std::string(1000000, '\0')},
        // The program's end counts, not the end of its output: a process it left behind may
        // hold the pipes open.
        {"left a process behind",
         "sh",
         {"-c", "sleep 5 & echo ended"},
         20s,
         true,
         false,
         0,
         "ended\n",
         ""},
        {"stopped at the limit", "sleep", {"10"}, 300ms, true, true, -1, "", ""},
    };
    for (const Case& c : cases) {
        const auto begun = std::chrono::steady_clock::now();
        const ProgramResult result = runner().run(c.program, c.args, c.limit);
        EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s) << c.what;
        EXPECT_EQ(result.started, c.started) << c.what;
        EXPECT_EQ(result.timedOut, c.timedOut) << c.what;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(result.ok, c.exitCode == 0) << c.what;
        EXPECT_EQ(result.out.size(), c.out.size()) << c.what;
        EXPECT_TRUE(result.out == c.out) << c.what << ": " << result.out.substr(0, 100);
        EXPECT_TRUE(result.errors == c.errors) << c.what << ": " << result.errors.substr(0, 100);
    }
}

TEST_F(ScriptRunnerTest, RunSaysWhyAProgramCannotBeStarted) {
    write("not-executable", "#!/bin/sh\n");
    for (const fs::path& program : {path("no-such-program"), path("not-executable")}) {
        const ProgramResult result = runner().run(program, {}, 20s);
        EXPECT_FALSE(result.started) << program;
        EXPECT_FALSE(result.ok) << program;
        EXPECT_EQ(result.exitCode, -1) << program;
        EXPECT_FALSE(result.errors.empty()) << program;
    }
}

}  // namespace
}  // namespace volnor::test

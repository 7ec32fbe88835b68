// The command interpreter `cmd`, run for real on scripts in a throwaway program directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

#include "download/program_dir.h"
#include "download/script_file.h"

extern char** environ;

namespace volnor::test {
namespace {

using namespace std::chrono_literals;

// A process of the test's own, which the test alone reaps.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    }
    ~ChildProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

class Interpreter : public ProgramDirTest {
protected:
    ScriptResult run(const std::vector<std::string>& lines, const std::string& name = "t.cmd") {
        writeScript(path(name), lines);
        return runner().start(path(name))->wait({});
    }
    // The interpreter with a command line of the test's own.
    ProgramResult interpreter(const std::vector<std::string>& args) {
        return runner().run(runner().interpreterPath(), args, 20s);
    }
    // A small executable shell script in the program directory.
    void tool(const std::string& name, const std::string& body) {
        write(name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(path(name), fs::perms::owner_exec, fs::perm_options::add);
    }
    // Waits, within a bound, for something a detached process does.
    static bool eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(10ms);
        return done();
    }
    static bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(Interpreter, CdTakesARelativeFolderWrittenWithBackslashes) {
    fs::create_directories(path("a/b"));
    write("a/b/x.txt", "x");
    write("y.txt", "y");
    const auto result = run({"cd a\\b", "del x.txt", "cd ..\\..\\", "del y.txt"});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_FALSE(exists("a/b/x.txt"));
    EXPECT_FALSE(exists("y.txt"));
}

TEST_F(Interpreter, DelRemovesFilesNamedInTheCodePage) {
    write("Щит ЩРН-12.txt", "x");
    write("keep.txt", "x");
    const auto result = run({"del \"Щит ЩРН-12.txt\""});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_FALSE(exists("Щит ЩРН-12.txt"));
    EXPECT_TRUE(exists("keep.txt"));
}

// Each of these lines fails; the script goes on with the next line, reports the line and
// ends with a failed status.
TEST_F(Interpreter, AFailingLineIsReportedAndTheScriptGoesOn) {
    ASSERT_TRUE(fs::create_directory(path("folder")));
    tool("fails", "exit 3");
    const char* failing[] = {
        "del missing.txt",        // no such file
        "del folder",             // not a file
        "cd nowhere\\",           // no such folder
        "frobnicate now",         // unknown command
        "fails.exe",              // a program that exits non-zero
        "start missing-program",  // nothing to start
    };
    for (const char* line : failing) {
        write("after.txt", "x");
        const auto result = run({line, "del after.txt"});
        EXPECT_FALSE(result.ok) << line;
        EXPECT_EQ(result.exitCode, 1) << line;
        EXPECT_TRUE(has(result.errors, line)) << result.errors;
        EXPECT_FALSE(exists("after.txt")) << "stopped after: " << line;
        EXPECT_TRUE(fs::is_directory(path("folder")));
    }
}

TEST_F(Interpreter, ExitEndsTheScript) {
    write("kept.txt", "x");
    const auto result = run({"exit", "del kept.txt"});
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(exists("kept.txt"));
}

// "X.exe" stands for the executable "X" here, and the arguments' Windows paths are translated.
TEST_F(Interpreter, RunsAProgramByNameWithNativeArguments) {
    ASSERT_TRUE(fs::create_directory(path("sub")));
    tool("sub/echoargs", "printf '%s\\n' \"$@\" > ../args.txt");
    const auto result = run({"cd sub\\", "echoargs.exe x -r ..\\a.zip -o..\\ -y"});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(read("args.txt"), "x\n-r\n../a.zip\n-o../\n-y\n");
}

// The update scripts name the program "VOLNOR_Eplan_DB.exe"; here it has no extension.
TEST_F(Interpreter, AnExeNameStandsForTheExecutableWithoutIt) {
    tool("mark", "touch marked");
    tool("old-program", "exit 0");
    const auto result = run({"start mark.exe", "del old-program.exe"});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_TRUE(eventually([&] { return exists("marked"); }));
    EXPECT_FALSE(exists("old-program"));
}

TEST_F(Interpreter, StartDoesNotWaitForTheProgram) {
    // The started program waits for a file that appears only after the script has ended.
    const auto result =
        run({"start sh -c \"i=0; while [ ! -e go ] && [ $i -lt 2000 ]; do sleep 0.01; "
             "i=$((i+1)); done; touch started-done\""});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_FALSE(exists("started-done"));
    write("go", "");
    EXPECT_TRUE(eventually([&] { return exists("started-done"); }));
}

TEST_F(Interpreter, StartRunsAnotherScriptInAnInterpreterOfItsOwn) {
    write("victim.txt", "x");
    writeScript(path("second.cmd"), {"del victim.txt"});
    const auto result = run({"start second.cmd"});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_TRUE(eventually([&] { return !exists("victim.txt"); }));
}

// The update script replaces the interpreter's own file before its line "start cmdrun.cmd".
TEST_F(Interpreter, StartsAScriptAfterItsOwnFileWasReplaced) {
    ASSERT_TRUE(fs::create_directory(path("new")));
    const fs::path self = runner().interpreterPath();
    ASSERT_TRUE(fs::copy_file(self, path("cmd")));
    ASSERT_TRUE(fs::copy_file(self, path("new/cmd")));
    write("victim.txt", "x");
    writeScript(path("second.cmd"), {"del victim.txt"});
    writeScript(path("t.cmd"), {"del cmd", "cp.exe -p new\\cmd cmd", "start second.cmd"});
    const auto result = posix::InterpreterRunner(dir()).start(path("t.cmd"))->wait({});
    EXPECT_TRUE(result.ok) << result.errors;
    EXPECT_TRUE(eventually([&] { return !exists("victim.txt"); }));
}

// With --wait-pid the first line runs only once that process has ended; the process here is a
// child of the test that nobody reaps while the script waits, so it ends as a zombie.
TEST_F(Interpreter, WaitsForTheProgramBeforeTheFirstLine) {
    tool("check", "[ -e ended ] && touch checked");
    writeScript(path("t.cmd"), {"check.exe"});
    const ChildProcess program({"/bin/sh", "-c", "sleep 0.5; touch ended"});
    ASSERT_GT(program.pid(), 0);
    // Only the interpreter is waited for: the program stays unreaped until the end.
    const ProgramResult script =
        interpreter({"--wait-pid", std::to_string(program.pid()), utf8Of(path("t.cmd"))});
    ASSERT_TRUE(script.started) << script.errors;
    ASSERT_FALSE(script.timedOut);
    EXPECT_EQ(script.exitCode, 0) << script.errors;
    EXPECT_TRUE(exists("checked"));
}

// A program that does not end within the bound keeps its files: no line runs.
TEST_F(Interpreter, GivesUpWhenTheProgramDoesNotEnd) {
    write("kept.txt", "x");
    writeScript(path("t.cmd"), {"del kept.txt"});
    const ChildProcess program({"/bin/sleep", "10"});
    ASSERT_GT(program.pid(), 0);
    const ProgramResult script = interpreter(
        {"--wait-pid", std::to_string(program.pid()), "--wait-limit", "1", utf8Of(path("t.cmd"))});
    ASSERT_FALSE(script.timedOut);
    EXPECT_EQ(script.exitCode, 1);
    EXPECT_TRUE(has(script.errors, std::to_string(program.pid()))) << script.errors;
    EXPECT_TRUE(exists("kept.txt"));
}

TEST_F(Interpreter, RejectsABadCommandLine) {
    writeScript(path("t.cmd"), {"exit"});
    const std::string script = utf8Of(path("t.cmd"));
    const std::vector<std::string> bad[] = {
        {},
        {"--wait-pid", "x1", script},
        {"--wait-pid", "0", script},
        {script, script},
    };
    for (const auto& args : bad) {
        const ProgramResult result = interpreter(args);
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 1) << args.size() << " arguments";
        EXPECT_FALSE(result.errors.empty());
    }
}

TEST_F(Interpreter, AMissingScriptFails) {
    const auto result = runner().start(path("absent.cmd"))->wait({});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(has(result.errors, "absent.cmd"));
}

}  // namespace
}  // namespace volnor::test

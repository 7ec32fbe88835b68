// Scripts run by Wine's command interpreter through the shell, 7-Zip for Windows run with its
// output read, and the running program's file that the self-update sets aside.
#include "platform/win32/script_runner.h"

// The system's headers need <windows.h> before them.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "download/script_file.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "support/files.h"
#include "update/self_update.h"

namespace volnor::test {
namespace {

using namespace std::chrono_literals;

// Waits, a bounded number of rounds, for a file to appear; then leaves "done" beside it.
std::vector<std::string> waitFor(const std::string& file) {
    return {"set n=0",
            ":wait",
            "if exist " + file + " goto done",
            "set /a n+=1",
            "if %n% lss 20000 goto wait",
            "exit /b 1",
            ":done",
            "echo done> done"};
}

// A program directory of its own with 7-Zip for Windows as "7z\7z.exe", the current directory
// while the test runs.
class ProgramDir : public ::testing::Test {
protected:
    void SetUp() override {
        // The build's folder is a Unix path, which names a file on the current drive only.
        const fs::path bin = fs::absolute(pathOf(VOLNOR_BIN_DIR "/7z"));
        fs::create_directories(path("7z"));
        for (const char* name : {"7z.exe", "7z.dll"}) fs::copy_file(bin / name, path("7z") / name);
        current_.emplace(dir_.path());
    }
    void TearDown() override { current_.reset(); }

    fs::path path(std::string_view name) const { return dir_.file(name); }
    const fs::path& dir() const { return dir_.path(); }
    bool exists(std::string_view name) const { return fs::exists(path(name)); }
    fs::path sevenZip() const { return path("7z/7z.exe"); }

    // Waits, boundedly, for a file that a script running on its own makes.
    bool appears(std::string_view name) const {
        for (int i = 0; i < 3000 && !exists(name); ++i) std::this_thread::sleep_for(10ms);
        return exists(name);
    }

    // A zip of the files, made by 7-Zip.
    void zip(const fs::path& archive,
             const std::vector<std::pair<std::string, std::string>>& files) {
        const TempDir stage;
        for (const auto& [name, data] : files) writeFile(stage.file(name), data);
        const ProgramResult made = runner.run(
            sevenZip(), {"a", "-tzip", "-bso0", utf8Of(archive), utf8Of(stage.path() / "*")}, 60s);
        ASSERT_TRUE(made.ok) << made.errors;
    }

    const win32::WinScriptRunner runner;

private:
    TempDir dir_;
    std::optional<CurrentDir> current_;
};

using Scripts = ProgramDir;

TEST_F(Scripts, RunInTheCurrentDirectoryAndGiveTheirExitCode) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        int exitCode;
    };
    const Case cases[] = {
        {"deletes in the current directory", {"del here.txt"}, 0},
        {"its exit code", {"del here.txt", "exit /b 3"}, 3},
    };
    fs::create_directory(path("scripts"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path("here.txt"), "x");
        writeFile(path("scripts/here.txt"), "x");
        writeScript(path("scripts/s.cmd"), c.lines);
        const ScriptResult result = runner.start(path("scripts/s.cmd"))->wait({});
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.ok, c.exitCode == 0);
        EXPECT_FALSE(exists("here.txt"));
        EXPECT_TRUE(exists("scripts/here.txt"));
    }
}

TEST_F(Scripts, WaitingCallsThePumpUntilTheScriptHasEnded) {
    writeScript(path("s.cmd"), waitFor("go"));
    auto script = runner.start(path("s.cmd"));
    // Only the pump makes the file the script waits for.
    int pumped = 0;
    const ScriptResult result = script->wait([&] {
        ++pumped;
        writeFile(path("go"), "");
    });
    EXPECT_TRUE(result.ok) << result.exitCode;
    EXPECT_GT(pumped, 0);
    EXPECT_TRUE(exists("done"));
}

TEST_F(Scripts, DroppingTheHandleWaitsForTheScriptsEnd) {
    writeFile(path("go"), "");
    std::vector<std::string> lines = {"set n=0", ":loop", "set /a n+=1", "if %n% lss 500 goto loop",
                                      "del go"};
    writeScript(path("s.cmd"), lines);
    runner.start(path("s.cmd")).reset();
    EXPECT_FALSE(exists("go"));
}

// The unpack script exactly as the download writes it, run by the command interpreter with
// 7-Zip for Windows.
TEST_F(Scripts, TheUnpackScriptUnpacksTheArchiveIntoTheProgramDirectoryAndDeletesIt) {
    zip(path("a1.zip"), {{"Щит ABB.edz", "edz"}, {"Папка/файл.txt", "текст"}});
    writeFile(path("Щит ABB.edz"), "older");
    writeScript(path("a1.zip.cmd"), unpackScript("a1.zip"));
    const ScriptResult result = runner.start(path("a1.zip.cmd"))->wait({});
    EXPECT_TRUE(result.ok) << result.exitCode;
    EXPECT_EQ(readFile(path("Щит ABB.edz")), "edz");
    EXPECT_EQ(readFile(path("Папка/файл.txt")), "текст");
    EXPECT_FALSE(exists("a1.zip"));
}

TEST_F(Scripts, ADetachedScriptRunsWithoutWaitingForAnyProcess) {
    writeScript(path("s.cmd"), waitFor("go"));
    // The interpreter cannot wait for a process: the script runs while this one goes on.
    ASSERT_TRUE(runner.startDetached(path("s.cmd"), GetCurrentProcessId()));
    EXPECT_FALSE(exists("done"));
    writeFile(path("go"), "");
    EXPECT_TRUE(appears("done"));
}

TEST_F(Scripts, AScriptThatCannotBeStartedGivesAFailedResultWithAText) {
    const ScriptResult result = runner.start(path("missing.cmd"))->wait({});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_NE(result.errors.find("«" + utf8Of(path("missing.cmd")) + "»"), std::string::npos)
        << result.errors;
    EXPECT_FALSE(runner.startDetached(path("missing.cmd")));
}

using Programs = ProgramDir;

// Every argument reaches the program as it was given, whatever it holds.
TEST_F(Programs, TheCommandLineGivesEveryArgumentBackAsItWas) {
    const std::vector<std::string> args = {"plain",      "",
                                           "with blank", "Кириллица и пробел",
                                           "a\"b",       "\"quoted\"",
                                           "C:\\dir\\",  "C:\\dir with blank\\",
                                           "a\\\\\"b",   "\\\\server\\share",
                                           "-o..\\",     "tab\there"};
    const std::wstring line = win32::WinScriptRunner::commandLine(L"C:\\p q\\7z.exe", args);
    int count = 0;
    wchar_t** parsed = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(parsed, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < count; ++i) back.push_back(win32::narrow(parsed[i]));
    LocalFree(parsed);
    std::vector<std::string> expected = {"C:\\p q\\7z.exe"};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(back, expected) << win32::narrow(line);
}

TEST_F(Programs, RunTakesBothOutputsAndTheExitCodeWithEmptyInput) {
    const fs::path folder = path("Папка с пробелом");
    zip(folder / "a.zip", {{"Щит ABB.edz", std::string(1000000, 'e')}});
    writeFile(folder / "broken.zip", "PK not really");
    const std::string archive = utf8Of(folder / "a.zip");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
        std::string inOut;  // a part of the standard output
        bool errors;        // whether the error output has anything
        std::size_t outAtLeast = 0;
    };
    const Case cases[] = {
        {"a test that passes", {"t", archive}, 0, "Everything is Ok", false},
        {"a broken archive", {"t", utf8Of(folder / "broken.zip")}, 2, "", true},
        {"a command line error", {"no-such-command"}, 7, "", true},
        // The listing the update's check reads, in UTF-8.
        {"the listing", {"l", "-slt", "-ba", "-sccUTF-8", archive}, 0, "Path = Щит ABB.edz", false},
        // More than a pipe holds, read while 7-Zip writes it.
        {"an entry to the output", {"e", "-so", archive}, 0, "eeee", false, 1000000},
        // Empty input: 7-Zip reads its end at once and stores nothing.
        {"the input", {"a", "-si", "-bso0", utf8Of(folder / "in.7z")}, 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramResult result = runner.run(sevenZip(), c.args, 60s);
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        EXPECT_EQ(result.ok, c.exitCode == 0);
        EXPECT_NE(result.out.find(c.inOut), std::string::npos) << result.out.substr(0, 300);
        EXPECT_EQ(!result.errors.empty(), c.errors) << result.errors;
        EXPECT_GE(result.out.size(), c.outAtLeast);
    }
    EXPECT_EQ(runner.run(sevenZip(), {"e", "-so", archive}, 60s).out, std::string(1000000, 'e'));
}

TEST_F(Programs, RunStopsAProgramAtTheLimitAndSaysWhyOneCannotStart) {
    // 7-Zip's benchmark runs far longer than the limit.
    const ProgramResult stopped = runner.run(sevenZip(), {"b", "-mmt1"}, 300ms);
    EXPECT_TRUE(stopped.started);
    EXPECT_TRUE(stopped.timedOut);
    EXPECT_EQ(stopped.exitCode, -1);
    EXPECT_FALSE(stopped.ok);

    const ProgramResult missing = runner.run(path("no-such-program.exe"), {}, 20s);
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.exitCode, -1);
    EXPECT_FALSE(missing.errors.empty());
}

// What the self-update relies on: a running program's file cannot be deleted, but it can be
// set aside, and its name is then free for the new one.
TEST_F(Programs, ARunningProgramsFileIsSetAsideAndItsLeftoverGoesOnceItHasEnded) {
    const fs::path program = path("VOLNOR_Eplan_DB.exe");
    fs::copy_file(sevenZip(), program);
    fs::copy_file(path("7z/7z.dll"), path("7z.dll"));
    // A leftover of an earlier update that could not be removed yet.
    writeFile(update::setAsideName(program), "older");

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = win32::WinScriptRunner::commandLine(program, {});
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                               &process));
    EXPECT_FALSE(DeleteFileW(program.c_str()));

    std::error_code error;
    fs::rename(program, update::setAsideName(program), error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_FALSE(exists("VOLNOR_Eplan_DB.exe"));
    writeFile(program, "new program");
    // While it runs, its file stays, silently.
    update::removeSetAside(program);
    EXPECT_TRUE(exists("VOLNOR_Eplan_DB.exe.old"));

    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    update::removeSetAside(program);
    EXPECT_FALSE(exists("VOLNOR_Eplan_DB.exe.old"));
    EXPECT_EQ(readFile(program), "new program");
}

// The update's scripts exactly as the program writes them, run by the command interpreter while
// the old program still runs: its file set aside, they put the new program in its place.
TEST_F(Programs, TheUpdateScriptsReplaceTheProgramWhileTheOldOneStillRuns) {
    // The program stands in as a copy of 7-Zip with its library beside it, old and new told
    // apart by a mark after the executable's image.
    const std::string image = readFile(sevenZip());
    const fs::path program = path(update::kProgram);
    writeFile(program, image + "old");
    fs::copy_file(path("7z/7z.dll"), path("7z.dll"));
    writeFile(path("data/readme.txt"), "old data");
    {
        const TempDir stage;
        writeFile(stage.file(update::kProgram), image + "new");
        writeFile(stage.file("data/readme.txt"), "new data");
        const ProgramResult made = runner.run(
            sevenZip(),
            {"a", "-t7z", "-bso0", utf8Of(path(update::kArchive)), utf8Of(stage.path() / "*")},
            60s);
        ASSERT_TRUE(made.ok) << made.errors;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION old{};
    std::wstring line = win32::WinScriptRunner::commandLine(program, {});
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                               &old));
    std::error_code error;
    fs::rename(program, update::setAsideName(program), error);
    ASSERT_FALSE(error) << error.message();
    writeScript(path(update::kRestartScript), update::restartScript());
    writeScript(path(update::kUpdateScript), update::updateScript());
    EXPECT_TRUE(runner.startDetached(path(update::kUpdateScript), old.dwProcessId));

    // The restart script deletes the update script as its first line.
    for (int i = 0; i < 3000 && exists(update::kUpdateScript); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(exists(update::kUpdateScript));
    EXPECT_EQ(WaitForSingleObject(old.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(readFile(program), image + "new");
    EXPECT_EQ(readFile(path("data/readme.txt")), "new data");
    EXPECT_FALSE(exists(update::kArchive));

    TerminateProcess(old.hProcess, 0);
    WaitForSingleObject(old.hProcess, INFINITE);
    CloseHandle(old.hThread);
    CloseHandle(old.hProcess);
    // The restart script goes at a start once its interpreter has let it go, as does what was
    // set aside once the old process has ended.
    for (int i = 0; i < 3000 && exists(update::kRestartScript); ++i) {
        update::removeRestartScript(dir());
        std::this_thread::sleep_for(10ms);
    }
    update::removeSetAside(program);
    EXPECT_FALSE(exists(update::kRestartScript));
    EXPECT_FALSE(exists("VOLNOR_Eplan_DB.exe.old"));
}

}  // namespace
}  // namespace volnor::test

// The command interpreter `cmd`, run for real on scripts in a throwaway program directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <functional>

#include "download/program_dir.h"
#include "download/script_file.h"

namespace volnor::test {
namespace {

class Interpreter : public ProgramDirTest {
protected:
    ScriptResult run(const QStringList& lines, const QString& name = QStringLiteral("t.cmd")) {
        writeScript(path(name), lines);
        return runner().start(path(name))->wait({});
    }
    // A small executable shell script in the program directory.
    void tool(const QString& name, const QByteArray& body) {
        write(name, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path(name), QFile::permissions(path(name)) | QFile::ExeOwner);
    }
    // Waits, within a bound, for something a detached process does.
    static bool eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) QThread::msleep(10);
        return done();
    }
};

TEST_F(Interpreter, CdTakesARelativeFolderWrittenWithBackslashes) {
    ASSERT_TRUE(dir().mkpath(QStringLiteral("a/b")));
    write(QStringLiteral("a/b/x.txt"), "x");
    write(QStringLiteral("y.txt"), "y");
    const auto result = run({"cd a\\b", "del x.txt", "cd ..\\..\\", "del y.txt"});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_FALSE(exists(QStringLiteral("a/b/x.txt")));
    EXPECT_FALSE(exists(QStringLiteral("y.txt")));
}

TEST_F(Interpreter, DelRemovesFilesNamedInTheCodePage) {
    write(QStringLiteral("Щит ЩРН-12.txt"), "x");
    write(QStringLiteral("keep.txt"), "x");
    const auto result = run({"del \"Щит ЩРН-12.txt\""});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_FALSE(exists(QStringLiteral("Щит ЩРН-12.txt")));
    EXPECT_TRUE(exists(QStringLiteral("keep.txt")));
}

// Each of these lines fails; the script goes on with the next line, reports the line and
// ends with a failed status.
TEST_F(Interpreter, AFailingLineIsReportedAndTheScriptGoesOn) {
    ASSERT_TRUE(dir().mkdir(QStringLiteral("folder")));
    tool(QStringLiteral("fails"), "exit 3");
    const char* failing[] = {
        "del missing.txt",        // no such file
        "del folder",             // not a file
        "cd nowhere\\",           // no such folder
        "frobnicate now",         // unknown command
        "fails.exe",              // a program that exits non-zero
        "start missing-program",  // nothing to start
    };
    for (const char* line : failing) {
        write(QStringLiteral("after.txt"), "x");
        const auto result = run({QString::fromUtf8(line), "del after.txt"});
        EXPECT_FALSE(result.ok) << line;
        EXPECT_EQ(result.exitCode, 1) << line;
        EXPECT_TRUE(result.errors.contains(QString::fromUtf8(line))) << result.errors.toStdString();
        EXPECT_FALSE(exists(QStringLiteral("after.txt"))) << "stopped after: " << line;
        EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
    }
}

TEST_F(Interpreter, ExitEndsTheScript) {
    write(QStringLiteral("kept.txt"), "x");
    const auto result = run({"exit", "del kept.txt"});
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(exists(QStringLiteral("kept.txt")));
}

// "X.exe" stands for the executable "X" here, and the arguments' Windows paths are translated.
TEST_F(Interpreter, RunsAProgramByNameWithNativeArguments) {
    ASSERT_TRUE(dir().mkdir(QStringLiteral("sub")));
    tool(QStringLiteral("sub/echoargs"), "printf '%s\\n' \"$@\" > ../args.txt");
    const auto result = run({"cd sub\\", "echoargs.exe x -r ..\\a.zip -o..\\ -y"});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_EQ(read(QStringLiteral("args.txt")), QByteArray("x\n-r\n../a.zip\n-o../\n-y\n"));
}

// The update scripts name the program "VOLNOR_Eplan_DB.exe"; here it has no extension.
TEST_F(Interpreter, AnExeNameStandsForTheExecutableWithoutIt) {
    tool(QStringLiteral("mark"), "touch marked");
    tool(QStringLiteral("old-program"), "exit 0");
    const auto result = run({"start mark.exe", "del old-program.exe"});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_TRUE(eventually([&] { return exists(QStringLiteral("marked")); }));
    EXPECT_FALSE(exists(QStringLiteral("old-program")));
}

TEST_F(Interpreter, StartDoesNotWaitForTheProgram) {
    // The started program waits for a file that appears only after the script has ended.
    const auto result =
        run({"start sh -c \"i=0; while [ ! -e go ] && [ $i -lt 2000 ]; do sleep 0.01; "
             "i=$((i+1)); done; touch started-done\""});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_FALSE(exists(QStringLiteral("started-done")));
    write(QStringLiteral("go"), "");
    EXPECT_TRUE(eventually([&] { return exists(QStringLiteral("started-done")); }));
}

TEST_F(Interpreter, StartRunsAnotherScriptInAnInterpreterOfItsOwn) {
    write(QStringLiteral("victim.txt"), "x");
    writeScript(path(QStringLiteral("second.cmd")), {"del victim.txt"});
    const auto result = run({"start second.cmd"});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_TRUE(eventually([&] { return !exists(QStringLiteral("victim.txt")); }));
}

// The update script replaces the interpreter's own file before its line "start cmdrun.cmd".
TEST_F(Interpreter, StartsAScriptAfterItsOwnFileWasReplaced) {
    ASSERT_TRUE(dir().mkdir(QStringLiteral("new")));
    const QString self = runner().interpreterPath();
    ASSERT_TRUE(QFile::copy(self, path(QStringLiteral("cmd"))));
    ASSERT_TRUE(QFile::copy(self, path(QStringLiteral("new/cmd"))));
    write(QStringLiteral("victim.txt"), "x");
    writeScript(path(QStringLiteral("second.cmd")), {"del victim.txt"});
    writeScript(path(QStringLiteral("t.cmd")),
                {"del cmd", "cp.exe -p new\\cmd cmd", "start second.cmd"});
    const auto result = ScriptRunner({dir().path()}).start(path(QStringLiteral("t.cmd")))->wait({});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_TRUE(eventually([&] { return !exists(QStringLiteral("victim.txt")); }));
}

// With --wait-pid the first line runs only once that process has ended; the process here is a
// child of the test that nobody reaps while the script waits, so it ends as a zombie.
TEST_F(Interpreter, WaitsForTheProgramBeforeTheFirstLine) {
    tool(QStringLiteral("check"), "[ -e ended ] && touch checked");
    writeScript(path(QStringLiteral("t.cmd")), {"check.exe"});
    QProcess program;
    program.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("sleep 0.5; touch ended")});
    ASSERT_TRUE(program.waitForStarted());
    QProcess script;
    script.start(runner().interpreterPath(),
                 {QStringLiteral("--wait-pid"), QString::number(program.processId()),
                  path(QStringLiteral("t.cmd"))});
    ASSERT_TRUE(script.waitForStarted());
    // Only the interpreter is waited for: the program stays unreaped until the end.
    ASSERT_TRUE(script.waitForFinished(20000));
    EXPECT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    EXPECT_TRUE(exists(QStringLiteral("checked")));
    program.waitForFinished();
}

// A program that does not end within the bound keeps its files: no line runs.
TEST_F(Interpreter, GivesUpWhenTheProgramDoesNotEnd) {
    write(QStringLiteral("kept.txt"), "x");
    writeScript(path(QStringLiteral("t.cmd")), {"del kept.txt"});
    QProcess program;
    program.start(QStringLiteral("/bin/sleep"), {QStringLiteral("10")});
    ASSERT_TRUE(program.waitForStarted());
    QProcess script;
    script.start(runner().interpreterPath(),
                 {QStringLiteral("--wait-pid"), QString::number(program.processId()),
                  QStringLiteral("--wait-limit"), QStringLiteral("1"), path(QStringLiteral("t.cmd"))});
    ASSERT_TRUE(script.waitForFinished(20000));
    EXPECT_EQ(script.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(script.readAllStandardError()).contains(QString::number(program.processId())));
    EXPECT_TRUE(exists(QStringLiteral("kept.txt")));
    program.kill();
    program.waitForFinished();
}

TEST_F(Interpreter, RejectsABadCommandLine) {
    writeScript(path(QStringLiteral("t.cmd")), {"exit"});
    const QStringList bad[] = {
        {},
        {QStringLiteral("--wait-pid"), QStringLiteral("x1"), path(QStringLiteral("t.cmd"))},
        {QStringLiteral("--wait-pid"), QStringLiteral("0"), path(QStringLiteral("t.cmd"))},
        {path(QStringLiteral("t.cmd")), path(QStringLiteral("t.cmd"))},
    };
    for (const QStringList& args : bad) {
        QProcess script;
        script.start(runner().interpreterPath(), args);
        ASSERT_TRUE(script.waitForFinished(20000));
        EXPECT_EQ(script.exitCode(), 1) << args.join(' ').toStdString();
        EXPECT_FALSE(script.readAllStandardError().isEmpty());
    }
}

TEST_F(Interpreter, AMissingScriptFails) {
    const auto result = runner().start(path(QStringLiteral("absent.cmd")))->wait({});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.errors.contains(QStringLiteral("absent.cmd")));
}

}  // namespace
}  // namespace volnor::test

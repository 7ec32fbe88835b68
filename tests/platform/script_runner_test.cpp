// Starting scripts through the interpreter as processes of their own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "download/program_dir.h"
#include "download/script_file.h"

namespace volnor::test {
namespace {

using ScriptRunnerTest = ProgramDirTest;

// A line that waits (boundedly) for a file to appear, then leaves a mark.
const QString kWaitForGo = QStringLiteral(
    "sh -c \"i=0; while [ ! -e go ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done; "
    "[ -e go ] && touch done\"");

TEST_F(ScriptRunnerTest, TheScriptWorksInTheProgramsCurrentDirectory) {
    ASSERT_TRUE(dir().mkdir(QStringLiteral("scripts")));
    write(QStringLiteral("here.txt"), "x");
    write(QStringLiteral("scripts/here.txt"), "x");
    writeScript(path(QStringLiteral("scripts/s.cmd")), {"del here.txt"});
    const ScriptResult result = runner().start(QStringLiteral("scripts/s.cmd"))->wait({});
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(exists(QStringLiteral("here.txt")));
    EXPECT_TRUE(exists(QStringLiteral("scripts/here.txt")));
}

TEST_F(ScriptRunnerTest, WaitingCallsThePump) {
    writeScript(path(QStringLiteral("s.cmd")), {kWaitForGo});
    auto script = runner().start(path(QStringLiteral("s.cmd")));
    // Only the pump makes the file the script waits for.
    const ScriptResult result = script->wait([this] { write(QStringLiteral("go"), ""); });
    EXPECT_TRUE(result.ok) << result.errors.toStdString();
    EXPECT_TRUE(exists(QStringLiteral("done")));
}

TEST_F(ScriptRunnerTest, DroppingTheHandleDoesNotCutTheScriptShort) {
    write(QStringLiteral("go"), "");
    writeScript(path(QStringLiteral("s.cmd")), {"sh -c \"sleep 0.2\"", "del go"});
    runner().start(path(QStringLiteral("s.cmd"))).reset();
    EXPECT_FALSE(exists(QStringLiteral("go")));
}

TEST_F(ScriptRunnerTest, ADetachedScriptRunsWithoutBeingWaitedFor) {
    writeScript(path(QStringLiteral("s.cmd")), {kWaitForGo});
    ASSERT_TRUE(runner().startDetached(path(QStringLiteral("s.cmd"))));
    EXPECT_FALSE(exists(QStringLiteral("done")));
    write(QStringLiteral("go"), "");
    for (int i = 0; i < 2000 && !exists(QStringLiteral("done")); ++i) QThread::msleep(10);
    EXPECT_TRUE(exists(QStringLiteral("done")));
    EXPECT_FALSE(ScriptRunner({path(QStringLiteral("no-such-folder"))})
                     .startDetached(path(QStringLiteral("s.cmd"))));
}

TEST_F(ScriptRunnerTest, AMissingInterpreterGivesAFailedResultWithAText) {
    writeScript(path(QStringLiteral("s.cmd")), {"exit"});
    const ScriptRunner nowhere({path(QStringLiteral("no-such-folder"))});
    const ScriptResult result = nowhere.start(path(QStringLiteral("s.cmd")))->wait({});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.errors.contains(nowhere.interpreterPath())) << result.errors.toStdString();
}

}  // namespace
}  // namespace volnor::test

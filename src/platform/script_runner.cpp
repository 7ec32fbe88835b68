#include "platform/script_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace volnor {

namespace {

ScriptResult resultOf(QProcess& process) {
    ScriptResult result;
    result.errors = QString::fromUtf8(process.readAllStandardError());
    if (process.error() == QProcess::FailedToStart) {
        result.errors = QStringLiteral("Не удалось запустить интерпретатор команд «%1»: %2")
                            .arg(process.program(), process.errorString());
        return result;
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        result.errors += QStringLiteral("Интерпретатор команд завершился аварийно.");
        return result;
    }
    result.exitCode = process.exitCode();
    result.ok = result.exitCode == 0;
    return result;
}

}  // namespace

RunningScript::RunningScript(std::unique_ptr<QProcess> process) : process_(std::move(process)) {}

RunningScript::~RunningScript() {
    if (!result_ && process_->state() != QProcess::NotRunning) process_->waitForFinished(-1);
}

ScriptResult RunningScript::wait(const Pump& pump) {
    if (!result_) {
        // Short slices keep the window painted while the script unpacks.
        while (process_->state() != QProcess::NotRunning && !process_->waitForFinished(20)) {
            if (pump) pump();
        }
        result_ = std::make_unique<ScriptResult>(resultOf(*process_));
    }
    return *result_;
}

ScriptRunner::ScriptRunner(Settings settings) : settings_(std::move(settings)) {}

QString ScriptRunner::interpreterPath() const {
    const QString dir = settings_.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                       : settings_.programDir;
    return QDir(dir).filePath(QStringLiteral("cmd"));
}

std::unique_ptr<RunningScript> ScriptRunner::start(const QString& scriptPath) const {
    auto process = std::make_unique<QProcess>();
    process->setProgram(interpreterPath());
    process->setArguments({QFileInfo(scriptPath).absoluteFilePath()});
    process->setWorkingDirectory(QDir::currentPath());
    // The tools' listings are of no use to anyone; the reasons of failed lines are kept.
    process->setStandardOutputFile(QProcess::nullDevice());
    // Nobody answers a question from a script: a tool that asks gets end of input at once.
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    process->waitForStarted(-1);
    return std::make_unique<RunningScript>(std::move(process));
}

bool ScriptRunner::startDetached(const QString& scriptPath,
                                 std::optional<qint64> waitForPid) const {
    QStringList args;
    if (waitForPid) args << QStringLiteral("--wait-pid") << QString::number(*waitForPid);
    args << QFileInfo(scriptPath).absoluteFilePath();
    return QProcess::startDetached(interpreterPath(), args, QDir::currentPath());
}

}  // namespace volnor

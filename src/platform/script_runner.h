#pragma once
#include <QString>
#include <memory>
#include <optional>

#include "platform/progress.h"

class QProcess;

namespace volnor {

// How a finished script went: ok when the interpreter ran every line without a failure.
struct ScriptResult {
    bool ok = false;
    int exitCode = -1;
    // The interpreter's error output: one reason for every line that failed, or why it could
    // not be started at all.
    QString errors;
};

// One script running in a process of its own. Destroying it waits for the script to end
// (without a pump): a script must never be cut short.
class RunningScript {
public:
    explicit RunningScript(std::unique_ptr<QProcess> process);
    ~RunningScript();
    RunningScript(const RunningScript&) = delete;
    RunningScript& operator=(const RunningScript&) = delete;

    // Blocks until the script has ended, calling pump (when set) meanwhile.
    ScriptResult wait(const Pump& pump);

private:
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<ScriptResult> result_;
};

// Starts ".cmd" scripts through the project's command interpreter `cmd`, which lies in the
// program directory, with the process's current directory as the script's working directory.
class ScriptRunner {
public:
    struct Settings {
        // The folder of the interpreter; empty means the running executable's folder.
        QString programDir;
    };

    explicit ScriptRunner(Settings settings = {});

    // Never fails by throwing: a script that cannot be started yields a failed result.
    std::unique_ptr<RunningScript> start(const QString& scriptPath) const;

    // Starts the script and forgets it: it goes on after the program has ended. With waitForPid
    // the interpreter runs no line before that process has ended (it gives up after a bounded
    // wait and runs nothing then). False when the interpreter could not be started.
    bool startDetached(const QString& scriptPath,
                       std::optional<qint64> waitForPid = std::nullopt) const;

    QString interpreterPath() const;

private:
    Settings settings_;
};

}  // namespace volnor

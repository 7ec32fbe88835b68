#pragma once
// Processes of the program directory: ".cmd" scripts through the platform's command
// interpreter, and the 7-Zip console program.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/progress.h"

namespace volnor {

// How a finished script went: ok when the interpreter ran every line without a failure.
struct ScriptResult {
    bool ok = false;
    int exitCode = -1;
    // The interpreter's error output: one reason for every line that failed, or why it could
    // not be started at all.
    std::string errors;
};

// One script running in a process of its own. Destroying it waits for the script to end
// (without a pump): a script must never be cut short.
class RunningScript {
public:
    virtual ~RunningScript() = default;
    // Blocks until the script has ended, calling pump (when set) meanwhile.
    virtual ScriptResult wait(const Pump& pump) = 0;
};

// How a program run to its end went.
struct ProgramResult {
    bool ok = false;        // started, ended by itself with exit code 0
    bool started = false;   // false: errors says why it could not be started
    bool timedOut = false;  // stopped at the limit
    int exitCode = -1;      // -1 when it did not start, crashed or was stopped at the limit
    std::string out;        // its standard output
    std::string errors;     // its error output, or why it could not be started
};

// Starts scripts with the process's current directory as their working directory.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;

    // Never fails by throwing: a script that cannot be started yields a failed result.
    virtual std::unique_ptr<RunningScript> start(const std::filesystem::path& script) const = 0;

    // Starts the script and forgets it: it goes on after the program has ended. With waitForPid
    // the interpreter runs no line before that process has ended (it gives up after a bounded
    // wait and runs nothing then). False when the interpreter could not be started.
    virtual bool startDetached(const std::filesystem::path& script,
                               std::optional<std::int64_t> waitForPid = std::nullopt) const = 0;

    // Runs a program to its end with empty input, stopping it after `limit`.
    virtual ProgramResult run(const std::filesystem::path& program,
                              const std::vector<std::string>& args,
                              std::chrono::milliseconds limit) const = 0;
};

}  // namespace volnor

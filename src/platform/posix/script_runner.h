#pragma once
#include <filesystem>

#include "platform/script_runner.h"

namespace volnor::posix {

// Starts ".cmd" scripts through the project's command interpreter `cmd`, which lies in the
// program directory, and runs programs, each in a process of its own.
class InterpreterRunner : public ScriptRunner {
public:
    // programDir: the folder of the interpreter; empty means the running executable's folder.
    explicit InterpreterRunner(std::filesystem::path programDir = {});

    // The script's standard output goes nowhere, its input is empty, its error output is kept.
    std::unique_ptr<RunningScript> start(const std::filesystem::path& script) const override;
    // The interpreter runs in a session of its own, with the program's standard channels.
    bool startDetached(const std::filesystem::path& script,
                       std::optional<std::int64_t> waitForPid = std::nullopt) const override;
    // A program without "/" in its name is looked for on the search path.
    ProgramResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit) const override;

    std::filesystem::path interpreterPath() const;

private:
    std::filesystem::path programDir_;
};

}  // namespace volnor::posix

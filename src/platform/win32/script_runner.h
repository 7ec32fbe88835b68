#pragma once
#include "platform/script_runner.h"

namespace volnor::win32 {

// ".cmd" scripts through the shell, so the system's command interpreter runs them in a console
// window of their own; programs through CreateProcessW, their output read through pipes.
class WinScriptRunner : public ScriptRunner {
public:
    // ShellExecuteExW without a verb or parameters, show mode 5. The interpreter reports no
    // reasons: the result is its exit code, which is the last command's.
    std::unique_ptr<RunningScript> start(const std::filesystem::path& script) const override;
    // The command interpreter cannot wait for a process: waitForPid is not used. The update
    // sets the running program's file aside instead, so the script need not wait for it.
    bool startDetached(const std::filesystem::path& script,
                       std::optional<std::int64_t> waitForPid = std::nullopt) const override;
    // Without a console window of its own; a name without a folder is looked for as the system
    // looks for programs.
    ProgramResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit) const override;

    // The command line CreateProcessW takes: every part quoted so that the program's runtime
    // gives it back as it was.
    static std::wstring commandLine(const std::filesystem::path& program,
                                    const std::vector<std::string>& args);
};

}  // namespace volnor::win32

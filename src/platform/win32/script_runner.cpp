#include "platform/win32/script_runner.h"

// The system's headers need <windows.h> before them.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <utility>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace volnor::win32 {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The longest a waiting caller goes without its pump, and a program's pipes without a read.
constexpr DWORD kSliceMs = 20;

// Owns a handle, closing it at the end.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    HANDLE* out() {
        reset();
        return &h_;
    }
    void reset() {
        if (h_ != nullptr) CloseHandle(h_);
        h_ = nullptr;
    }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_ = nullptr;
};

// ShellExecuteExW on the script: its process, or why it did not start.
struct Launch {
    Handle process;
    std::string failure;
};

Launch launch(const std::filesystem::path& script) {
    const std::wstring file = script.wstring();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No box of the shell's own: a failure is the caller's to report. The launch is complete
    // before the call returns, even when the program ends right after it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = nullptr;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOW;
    Launch result;
    if (!ShellExecuteExW(&info)) {
        result.failure = concat("Не удалось запустить сценарий «", utf8Of(script), "» (",
                                lastErrorText(GetLastError()), ")");
        return result;
    }
    result.process = Handle(info.hProcess);
    if (!result.process)
        result.failure = concat("Сценарий «", utf8Of(script), "» запущен без процесса");
    return result;
}

class ShellScript final : public RunningScript {
public:
    explicit ShellScript(Launch launch) : launch_(std::move(launch)) {}
    // A script is never cut short: the handle waits for it, without a pump.
    ~ShellScript() override { wait({}); }

    ScriptResult wait(const Pump& pump) override {
        if (!result_) result_ = finish(pump);
        return *result_;
    }

private:
    ScriptResult finish(const Pump& pump) {
        ScriptResult result;
        if (!launch_.process) {
            result.errors = launch_.failure;
            return result;
        }
        const HANDLE process = launch_.process.get();
        if (!pump) {
            WaitForSingleObject(process, INFINITE);
        } else {
            // Wakes for the script's end, for the window's messages, and at the slice's end.
            for (;;) {
                const DWORD woke =
                    MsgWaitForMultipleObjects(1, &process, FALSE, kSliceMs, QS_ALLINPUT);
                if (woke != WAIT_TIMEOUT && woke != WAIT_OBJECT_0 + 1) break;
                pump();
            }
        }
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code)) {
            result.errors = lastErrorText(GetLastError());
            return result;
        }
        result.exitCode = static_cast<int>(code);
        result.ok = code == 0;
        return result;
    }

    Launch launch_;
    std::optional<ScriptResult> result_;
};

// One argument as the C runtime's parser gives it back: quoted, a quote escaped, the
// backslashes before a quote (the closing one included) doubled.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// A pipe whose read end stays with this process and whose write end the child inherits.
bool makePipe(Handle& read, Handle& write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(read.out(), write.out(), &inherit, 1 << 16)) return false;
    return SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

// Whatever the pipe holds now, without blocking; the pipe is closed once it has ended.
void drain(Handle& pipe, std::string& into) {
    char buffer[65536];
    while (pipe) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe.get(), nullptr, 0, nullptr, &available, nullptr)) {
            pipe.reset();  // its writers have all gone
            return;
        }
        if (available == 0) return;
        DWORD got = 0;
        if (!ReadFile(pipe.get(), buffer, std::min<DWORD>(available, sizeof buffer), &got,
                      nullptr)) {
            pipe.reset();
            return;
        }
        into.append(buffer, got);
    }
}

}  // namespace

std::unique_ptr<RunningScript> WinScriptRunner::start(const std::filesystem::path& script) const {
    return std::make_unique<ShellScript>(launch(script));
}

bool WinScriptRunner::startDetached(const std::filesystem::path& script,
                                    std::optional<std::int64_t>) const {
    return static_cast<bool>(launch(script).process);
}

std::wstring WinScriptRunner::commandLine(const std::filesystem::path& program,
                                          const std::vector<std::string>& args) {
    std::wstring line;
    appendQuoted(line, program.wstring());
    for (const std::string& arg : args) {
        line += L' ';
        appendQuoted(line, wide(arg));
    }
    return line;
}

ProgramResult WinScriptRunner::run(const std::filesystem::path& program,
                                   const std::vector<std::string>& args,
                                   std::chrono::milliseconds limit) const {
    ProgramResult result;
    Handle outRead, outWrite, errRead, errWrite;
    // Empty input: the null device, which ends at once.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr));
    if (!input || !makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) {
        result.errors = lastErrorText(GetLastError());
        return result;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    std::wstring line = commandLine(program, args);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
        result.errors = lastErrorText(GetLastError());
        return result;
    }
    result.started = true;
    Handle process(info.hProcess);
    CloseHandle(info.hThread);
    // Only the child holds the write ends now: the pipes end when it (and whatever it started
    // with them) has gone.
    input.reset();
    outWrite.reset();
    errWrite.reset();

    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        const DWORD slice = static_cast<DWORD>(std::clamp<long long>(left.count(), 0, kSliceMs));
        const bool ended = WaitForSingleObject(process.get(), slice) == WAIT_OBJECT_0;
        drain(outRead, result.out);
        drain(errRead, result.errors);
        if (ended) break;
        if (left.count() <= static_cast<long long>(kSliceMs)) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), INFINITE);
            result.timedOut = true;
            break;
        }
    }
    // What it wrote before it ended; a process it started may still hold the pipes open.
    drain(outRead, result.out);
    drain(errRead, result.errors);
    DWORD code = 0;
    // An exception's code (0xC0000005 and the like) is a crash, not an exit code.
    if (!result.timedOut && GetExitCodeProcess(process.get(), &code) && code < 0xC0000000)
        result.exitCode = static_cast<int>(code);
    result.ok = result.exitCode == 0;
    return result;
}

}  // namespace volnor::win32

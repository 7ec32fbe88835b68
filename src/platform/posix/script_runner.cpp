#include "platform/posix/script_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/posix/system.h"
#include "platform/text.h"

extern char** environ;

namespace volnor::posix {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest a waiting caller goes without its pump: short enough to keep the window painted.
constexpr milliseconds kSlice{20};

std::string errnoText(int error) { return std::generic_category().message(error); }

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Where a child's output channel goes.
enum class Output { Inherit, Discard, Capture };

struct Channels {
    bool emptyInput = true;
    Output out = Output::Capture;
    Output err = Output::Capture;
    bool ownSession = false;  // goes on when the program's terminal or session ends
};

// A process just started: the read ends of its captured channels, or why it did not start.
struct Started {
    pid_t pid = -1;
    int error = 0;
    int out = -1;
    int err = -1;
};

Started spawn(const std::string& program, const std::vector<std::string>& args,
              const Channels& channels) {
    Started started;
    int pipes[2][2] = {{-1, -1}, {-1, -1}};  // [stdout, stderr][read, write]
    const auto closePipes = [&pipes] {
        for (auto& pipe : pipes)
            for (int& fd : pipe) closeFd(fd);
    };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (channels.emptyInput)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const Output outputs[2] = {channels.out, channels.err};
    for (int i = 0; i < 2; ++i) {
        const int target = i == 0 ? STDOUT_FILENO : STDERR_FILENO;
        if (outputs[i] == Output::Discard) {
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
        } else if (outputs[i] == Output::Capture) {
            // Both ends close on exec; the child's copy made by dup2 stays open.
            if (::pipe2(pipes[i], O_CLOEXEC) != 0) {
                started.error = errno;
                posix_spawn_file_actions_destroy(&actions);
                closePipes();
                return started;
            }
            ::fcntl(pipes[i][0], F_SETFL, O_NONBLOCK);
            posix_spawn_file_actions_adddup2(&actions, pipes[i][1], target);
        }
    }

    // The child starts with no signal blocked and SIGPIPE at its default, whatever this
    // process set for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (channels.ownSession) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    started.error =
        posix_spawnp(&started.pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);

    closeFd(pipes[0][1]);
    closeFd(pipes[1][1]);
    if (started.error != 0) {
        closePipes();
        started.pid = -1;
        return started;
    }
    started.out = pipes[0][0];
    started.err = pipes[1][0];
    return started;
}

// A started process whose captured channels are read while it runs, so that a full pipe never
// stops it, and whose end is taken in (it is reaped) once it has come.
class Child {
public:
    explicit Child(const Started& started)
        : pid_(started.pid), outFd_(started.out), errFd_(started.err) {
#ifdef SYS_pidfd_open
        // Wakes the wait at the process's exit; without it the exit is seen at the slice's end.
        pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
#endif
    }
    ~Child() {
        closeFd(outFd_);
        closeFd(errFd_);
        closeFd(pidFd_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits at most `limit` for the process to end; true once it has.
    bool waitFor(milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            if (reaped()) return true;
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd fds[3];
            nfds_t count = 0;
            for (const int fd : {outFd_, errFd_, pidFd_})
                if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
            ::poll(fds, count, static_cast<int>(left.count()));
            readPipes();
        }
    }

    void kill() {
        if (ended_) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        ended_ = true;
        status_.reset();
        readPipes();
    }

    // Ended by itself with an exit code; the code, or -1.
    int exitCode() const { return status_ && WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1; }
    bool crashed() const { return ended_ && !(status_ && WIFEXITED(*status_)); }

    std::string out;
    std::string err;

private:
    bool reaped() {
        if (ended_) return true;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == 0 || (r < 0 && errno == EINTR)) return false;
        ended_ = true;
        if (r == pid_) status_ = status;
        // What it wrote before it ended; a process it started may still hold the pipe open.
        readPipes();
        return true;
    }

    void readPipes() {
        readPipe(outFd_, out);
        readPipe(errFd_, err);
    }

    // All that the pipe holds now, without blocking; closed at its end.
    static void readPipe(int& fd, std::string& into) {
        char buffer[65536];
        while (fd >= 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                into.append(buffer, static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            } else {
                closeFd(fd);
            }
        }
    }

    pid_t pid_;
    int outFd_;
    int errFd_;
    int pidFd_ = -1;
    bool ended_ = false;
    std::optional<int> status_;  // nothing when it was killed or reaped elsewhere
};

class InterpreterScript final : public RunningScript {
public:
    explicit InterpreterScript(const Started& started) : child_(std::in_place, started) {}
    explicit InterpreterScript(std::string startFailure) : startFailure_(std::move(startFailure)) {}
    // A script is never cut short: the handle waits for it, without a pump.
    ~InterpreterScript() override { wait({}); }

    ScriptResult wait(const Pump& pump) override {
        if (!result_) result_ = finish(pump);
        return *result_;
    }

private:
    ScriptResult finish(const Pump& pump) {
        ScriptResult result;
        if (!child_) {
            result.errors = startFailure_;
            return result;
        }
        while (!child_->waitFor(kSlice))
            if (pump) pump();
        result.errors = child_->err;
        if (child_->crashed()) {
            result.errors += "Интерпретатор команд завершился аварийно.";
            return result;
        }
        result.exitCode = child_->exitCode();
        result.ok = result.exitCode == 0;
        return result;
    }

    std::optional<Child> child_;
    std::string startFailure_;
    std::optional<ScriptResult> result_;
};

std::string absoluteName(const std::filesystem::path& script) {
    std::error_code ec;
    return utf8Of(std::filesystem::absolute(script, ec).lexically_normal());
}

}  // namespace

InterpreterRunner::InterpreterRunner(std::filesystem::path programDir)
    : programDir_(std::move(programDir)) {}

std::filesystem::path InterpreterRunner::interpreterPath() const {
    const std::filesystem::path dir =
        programDir_.empty() ? PosixSystem().executablePath().parent_path() : programDir_;
    return dir / "cmd";
}

std::unique_ptr<RunningScript> InterpreterRunner::start(const std::filesystem::path& script) const {
    const std::string interpreter = utf8Of(interpreterPath());
    // The tools' listings are of no use to anyone; the reasons of failed lines are kept. Nobody
    // answers a question from a script: a tool that asks gets end of input at once.
    const Started started =
        spawn(interpreter, {absoluteName(script)}, {true, Output::Discard, Output::Capture});
    if (started.error != 0)
        return std::make_unique<InterpreterScript>("Не удалось запустить интерпретатор команд «" +
                                                   interpreter + "»: " + errnoText(started.error));
    return std::make_unique<InterpreterScript>(started);
}

bool InterpreterRunner::startDetached(const std::filesystem::path& script,
                                      std::optional<std::int64_t> waitForPid) const {
    std::vector<std::string> args;
    if (waitForPid) args = {"--wait-pid", std::to_string(*waitForPid)};
    args.push_back(absoluteName(script));
    const Started started =
        spawn(utf8Of(interpreterPath()), args, {false, Output::Inherit, Output::Inherit, true});
    if (started.error != 0) return false;
    // Nobody waits for it; this thread only takes in its end, so that it leaves no zombie.
    std::thread([pid = started.pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

ProgramResult InterpreterRunner::run(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     std::chrono::milliseconds limit) const {
    ProgramResult result;
    const Started started = spawn(program.native(), args, {});
    if (started.error != 0) {
        result.errors = errnoText(started.error);
        return result;
    }
    result.started = true;
    Child child(started);
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (child.waitFor(std::clamp(left, milliseconds{0}, kSlice))) break;
        if (left <= kSlice) {
            child.kill();
            result.timedOut = true;
            break;
        }
    }
    result.out = std::move(child.out);
    result.errors = std::move(child.err);
    if (!result.timedOut) result.exitCode = child.exitCode();
    result.ok = result.exitCode == 0;
    return result;
}

}  // namespace volnor::posix

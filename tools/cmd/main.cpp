// The command interpreter for the program's ".cmd" scripts: `cmd [--wait-pid PID] SCRIPT`
// carries out the script's lines in order in its working directory. A line that fails writes
// its reason to the error output and the script goes on with the next line; the exit status is
// 1 when any line failed, 0 otherwise.
//
// Commands: "cd FOLDER", "del FILE...", "start FILE [ARGS]" (not waited for; a ".cmd" file
// gets an interpreter of its own), "exit", and "PROGRAM [ARGS]" (waited for). Names and
// arguments are written Windows-style and translated: "\" becomes "/", and a name "X.exe" that
// does not exist stands for "X".
//
// With --wait-pid the interpreter first waits until that process has ended: the update script
// replaces the files of the program that starts it, so the program must be gone first.
//
// One interpreter starts for every unpacked archive, so it is a plain native program: no Qt,
// nothing loaded that a script does not need.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "script.h"

extern char** environ;

namespace {

using volnor::cmd::Line;

// How long the update script waits for the program that started it (--wait-limit changes it
// for tests).
constexpr auto kWaitForProgram = std::chrono::seconds(30);

// Found when the interpreter starts: the update may replace this very file before a line
// "start x.cmd" needs it.
std::string selfPath;

struct Failure {
    std::string reason;
};
using Result = std::optional<Failure>;

std::string quoted(const std::string& s) { return "«" + s + "»"; }

std::string native(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// The names a Windows-style file name may stand for here, in the order they are tried.
std::vector<std::string> candidates(const std::string& name) {
    std::vector<std::string> out{native(name)};
    if (endsWithNoCase(name, ".exe")) out.push_back(out.front().substr(0, out.front().size() - 4));
    return out;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

bool isFileOrLink(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) return true;
    return S_ISREG(st.st_mode);
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findFile(const std::string& name) {
    for (const std::string& c : candidates(name))
        if (isFileOrLink(c)) return absolute(c);
    return std::nullopt;
}

// A program in the working directory first, then one on the search path, as Windows looks.
std::optional<std::string> findProgram(const std::string& name) {
    for (const std::string& c : candidates(name)) {
        if (c.empty()) continue;
        if (isExecutableFile(c)) return absolute(c);
        if (c.find('/') != std::string::npos) continue;
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        for (std::size_t start = 0; start <= dirs.size();) {
            std::size_t end = dirs.find(':', start);
            if (end == std::string::npos) end = dirs.size();
            const std::string dir = dirs.substr(start, end - start);
            start = end + 1;
            if (dir.empty()) continue;
            const std::string full = dir + "/" + c;
            if (isExecutableFile(full)) return full;
        }
    }
    return std::nullopt;
}

// Starts program with args; the process id, or the error number of the failed start.
struct Spawned {
    pid_t pid = -1;
    int error = 0;
};
Spawned spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Spawned out;
    out.error = posix_spawn(&out.pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    return out;
}

std::vector<std::string> nativeArguments(const std::vector<std::string>& words, std::size_t from) {
    std::vector<std::string> out;
    for (std::size_t i = from; i < words.size(); ++i) out.push_back(native(words[i]));
    return out;
}

Result changeFolder(std::string folder) {
    std::string clean;
    for (const char c : folder)
        if (c != '"') clean += c;
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == '\t')) clean.pop_back();
    while (!clean.empty() && (clean.front() == ' ' || clean.front() == '\t')) clean.erase(0, 1);
    if (clean.empty()) {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd)) std::printf("%s\n", cwd);
        return std::nullopt;
    }
    if (chdir(native(clean).c_str()) != 0) return Failure{"папка " + quoted(clean) + " не найдена"};
    return std::nullopt;
}

Result deleteFiles(const std::vector<std::string>& names) {
    if (names.empty()) return Failure{"не указан файл"};
    std::string missing;
    for (const std::string& name : names) {
        const auto path = findFile(name);
        if (!path || unlink(path->c_str()) != 0) missing += (missing.empty() ? "" : ", ") + quoted(name);
    }
    if (!missing.empty()) return Failure{"не удалось удалить " + missing};
    return std::nullopt;
}

// The started process is never waited for; it is reaped once the interpreter has ended.
Result startDetached(const std::vector<std::string>& words) {
    if (words.empty()) return Failure{"не указан файл"};
    const std::string& name = words.front();
    std::string program;
    std::vector<std::string> args = nativeArguments(words, 1);
    if (endsWithNoCase(name, ".cmd")) {
        const auto script = findFile(name);
        if (!script) return Failure{"файл " + quoted(name) + " не найден"};
        program = selfPath;
        args.insert(args.begin(), *script);
    } else {
        const auto found = findProgram(name);
        if (!found) return Failure{"программа " + quoted(name) + " не найдена"};
        program = *found;
    }
    if (spawn(program, args).error != 0) return Failure{"не удалось запустить " + quoted(name)};
    return std::nullopt;
}

Result runProgram(const std::vector<std::string>& words) {
    const std::string& name = words.front();
    const auto program = findProgram(name);
    if (!program) return Failure{"неизвестная команда или программа " + quoted(name)};
    const Spawned child = spawn(*program, nativeArguments(words, 1));
    if (child.error != 0)
        return Failure{"не удалось запустить " + quoted(name) + ": " + std::strerror(child.error)};
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) return Failure{quoted(name) + " завершилась аварийно"};
    if (WEXITSTATUS(status) != 0)
        return Failure{quoted(name) + " завершилась с кодом " + std::to_string(WEXITSTATUS(status))};
    return std::nullopt;
}

void report(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// True once process pid has ended (a zombie that its parent has not reaped yet has ended too).
bool hasEnded(pid_t pid) {
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return false;
    char buf[512] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    // The state follows the name in brackets, which may itself hold ")".
    const char* close = std::strrchr(buf, ')');
    return n > 0 && close && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
}

// Waits until pid has ended, within the bound. A pidfd wakes at the exit itself; where the
// kernel has none, the process is looked at every 10 ms.
bool waitForEnd(pid_t pid, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
#ifdef SYS_pidfd_open
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        bool ended = false;
        while (!ended) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd, POLLIN, 0};
            const int rc = poll(&p, 1, static_cast<int>(left.count()));
            ended = rc > 0 || hasEnded(pid);
            if (rc < 0 && errno != EINTR) break;
        }
        close(fd);
        return ended || hasEnded(pid);
    }
    if (errno == ESRCH) return true;
#endif
    while (!hasEnded(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string findSelf(const char* argv0) {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return std::string(buf, static_cast<std::size_t>(n));
    char resolved[PATH_MAX];
    if (realpath(argv0, resolved)) return resolved;
    return absolute(argv0);
}

std::optional<std::string> readFile(const std::string& path, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes;
    char buf[8192];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "ошибка чтения";
        return std::nullopt;
    }
    return bytes;
}

// A positive whole number, or nothing.
std::optional<long> number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno != 0 || n <= 0 || n > INT_MAX)
        return std::nullopt;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    selfPath = findSelf(argv[0]);
    std::optional<pid_t> waitPid;
    std::chrono::seconds waitLimit = kWaitForProgram;
    std::vector<std::string> scripts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wait-pid" || arg == "--wait-limit") {
            const auto n = i + 1 < argc ? number(argv[i + 1]) : std::nullopt;
            if (!n) {
                report("cmd: неверное значение " + arg + " «" + (i + 1 < argc ? argv[i + 1] : "") +
                       "»");
                return 1;
            }
            if (arg == "--wait-pid")
                waitPid = static_cast<pid_t>(*n);
            else
                waitLimit = std::chrono::seconds(*n);
            ++i;
        } else {
            scripts.push_back(arg);
        }
    }
    if (scripts.size() != 1) {
        report("cmd: запуск: cmd [--wait-pid ПРОЦЕСС] СЦЕНАРИЙ");
        return 1;
    }
    const std::vector<std::string> args = scripts;
    if (waitPid && !waitForEnd(*waitPid, waitLimit)) {
        report("cmd: программа (процесс " + std::to_string(*waitPid) + ") не завершилась за " +
               std::to_string(waitLimit.count()) + " с; сценарий «" + args[0] + "» не выполнен");
        return 1;
    }
    std::string error;
    const auto bytes = readFile(args[0], error);
    if (!bytes) {
        report("cmd: не удалось открыть сценарий «" + args[0] + "»: " + error);
        return 1;
    }

    bool anyFailed = false;
    for (const Line& line : volnor::cmd::readScript(*bytes)) {
        Result failure;
        if (line.command == "exit") break;
        if (line.command == "cd")
            failure = changeFolder(line.rest);
        else if (line.command == "del")
            failure = deleteFiles(volnor::cmd::splitWords(line.rest));
        else if (line.command == "start")
            failure = startDetached(volnor::cmd::splitWords(line.rest));
        else
            failure = runProgram(line.words);
        if (failure) {
            anyFailed = true;
            report("cmd: строка " + std::to_string(line.number) + " «" + line.text + "»: " +
                   failure->reason);
        }
    }
    return anyFailed ? 1 : 0;
}

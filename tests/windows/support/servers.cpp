#include "support/servers.h"

#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "buildconfig.h"
#include "platform/text.h"
#include "platform/win32/script_runner.h"

namespace volnor::wintest {

namespace fs = test::fs;
using test::readFile;
using test::writeFile;

namespace {

using namespace std::chrono_literals;

// The longest wait for a server to listen or a program to leave its result.
constexpr auto kStartLimit = 30s;

std::string serverScript(const char* name) {
    return std::string(VOLNOR_TESTS_DIR "/servers/") + name;
}

// Starts the program and forgets it: under Wine its handle tells nothing.
void start(const std::vector<std::string>& argv) {
    std::wstring line = win32::WinScriptRunner::commandLine(
        pathOf(argv.front()), std::vector<std::string>(argv.begin() + 1, argv.end()));
    // Its output would end up among the test's.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (null != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
    }
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, null != INVALID_HANDLE_VALUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    if (!started)
        throw std::runtime_error(argv.front() + " could not be started (error " +
                                 std::to_string(error) + ")");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool waitFor(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    std::error_code ignored;
    while (!fs::exists(file, ignored)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A JSON string at text[i] (the opening quote); i ends after the closing one. The records hold
// ASCII text, and json.dumps writes every other character as \uXXXX.
std::string jsonString(std::string_view text, std::size_t& i) {
    std::string out;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'u':
                if (i + 4 < text.size()) {
                    const unsigned long code =
                        std::stoul(std::string(text.substr(i + 1, 4)), nullptr, 16);
                    out += code < 0x80 ? static_cast<char>(code) : '?';
                    i += 4;
                }
                break;
            default:
                out += c;
        }
    }
    ++i;
    return out;
}

}  // namespace

// ---- files and programs ---------------------------------------------------------------------

std::string unixPath(const fs::path& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    const std::wstring full = fs::absolute(path).wstring();
    if (!toUnix) return utf8Of(path);
    char* unix = toUnix(full.c_str());
    if (!unix) return utf8Of(path);
    std::string out(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

void runUntil(const std::vector<std::string>& argv, const fs::path& result) {
    start(argv);
    if (!waitFor(result))
        throw std::runtime_error(argv.front() + " left no " + utf8Of(result.filename()));
}

// ---- servers ----------------------------------------------------------------------------------

ServerProcess::ServerProcess(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3", script,
                                     "--workdir",        unixPath(dir_.path()),
                                     "--record",         unixPath(dir_.file("record.jsonl")),
                                     "--port-file",      unixPath(dir_.file("port")),
                                     "--stop-file",      unixPath(dir_.file("stop"))};
    argv.insert(argv.end(), args.begin(), args.end());
    start(argv);
    if (waitFor(dir_.file("port"))) {
        try {
            port_ = std::stoi(readFile(dir_.file("port")));
        } catch (const std::exception&) {
            port_ = 0;
        }
    }
    if (port_ <= 0) {
        writeFile(dir_.file("stop"), "");
        throw std::runtime_error("test server " + script + " did not start");
    }
}

ServerProcess::~ServerProcess() {
    try {
        writeFile(dir_.file("stop"), "");
    } catch (const std::exception&) {
        return;  // it ends after its lifetime
    }
    // The server removes its port file once its port is closed, as it exits; a test that needs a
    // port nobody listens on takes a stopped server's.
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    std::error_code ignored;
    while (fs::exists(dir_.file("port"), ignored) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
}

std::vector<std::string> ServerProcess::recordLines() const {
    return split(readFile(dir_.file("record.jsonl")), '\n', true);
}

std::string Record::value(std::string_view name) const {
    for (const auto& [key, value] : fields)
        if (key == name) return value;
    return {};
}

Record parseRecord(std::string_view line) {
    Record record;
    std::size_t i = line.find('{');
    while (i != std::string_view::npos && i < line.size()) {
        i = line.find('"', i);
        if (i == std::string_view::npos) break;
        const std::string key = jsonString(line, i);
        i = line.find_first_not_of(": ", i);
        if (i == std::string_view::npos) break;
        if (line[i] == '"') {
            record.fields.emplace_back(key, jsonString(line, i));
        } else if (line[i] == '[') {
            // [["name", "value"], ...]
            std::vector<std::string> strings;
            int depth = 0;
            for (; i < line.size();) {
                if (line[i] == '[') ++depth;
                if (line[i] == ']' && --depth == 0) break;
                if (line[i] == '"') {
                    strings.push_back(jsonString(line, i));
                    continue;
                }
                ++i;
            }
            ++i;
            if (key == "headers")
                for (std::size_t k = 0; k + 1 < strings.size(); k += 2)
                    record.headers.emplace_back(strings[k], strings[k + 1]);
        } else {
            const std::size_t end = line.find_first_of(",}", i);
            record.fields.emplace_back(key, std::string(trimmed(line.substr(i, end - i))));
            i = end;
        }
        i = line.find_first_of(",}", i);
        if (i == std::string_view::npos || line[i] == '}') break;
        ++i;
    }
    return record;
}

std::vector<std::string> RecordedRequest::values(std::string_view name) const {
    std::vector<std::string> found;
    for (const auto& [key, value] : headers)
        if (equalsAsciiNoCase(key, name)) found.push_back(value);
    return found;
}

HttpsServer::HttpsServer(const fs::path& root, Cert cert, Tls tls)
    : server_(serverScript("https_server.py"),
              {"--root", unixPath(root), "--ca-cert", VOLNOR_TEST_CA_CERT, "--ca-key",
               VOLNOR_TEST_CA_KEY, "--host", buildconfig::kWebHost, "--cert",
               cert == Cert::UnknownCa   ? "unknownca"
               : cert == Cert::Expired   ? "expired"
               : cert == Cert::WrongName ? "wrongname"
                                         : "good",
               "--tls",
               tls == Tls::V1_1Only   ? "1.1"
               : tls == Tls::V1_2Only ? "1.2"
               : tls == Tls::Silent   ? "silent"
                                      : "any"}),
      proxy_(serverScript("connect_proxy.py"), {"--target", std::to_string(server_.port())}) {}

std::string HttpsServer::proxy() const { return "127.0.0.1:" + std::to_string(proxy_.port()); }

std::string HttpsServer::url(const std::string& path) {
    return "https://" + std::string(buildconfig::kWebHost) + path;
}

std::vector<RecordedRequest> HttpsServer::requests() const {
    std::vector<RecordedRequest> requests;
    for (const std::string& line : server_.recordLines()) {
        Record record = parseRecord(line);
        requests.push_back(
            {record.value("method"), record.value("path"), std::move(record.headers)});
    }
    return requests;
}

std::vector<std::string> HttpsServer::tunnels() const {
    std::vector<std::string> tunnels;
    for (const std::string& line : proxy_.recordLines())
        tunnels.push_back(parseRecord(line).value("connect"));
    return tunnels;
}

FtpServer::FtpServer(const fs::path& root, Mode mode)
    : process_(serverScript("ftp_server.py"),
               {"--root", unixPath(root), "--mode",
                mode == Mode::RefuseLogin        ? "refuse-login"
                : mode == Mode::NoDataConnection ? "no-data-connection"
                : mode == Mode::StallData        ? "stall-data"
                                                 : "normal"}) {}

std::vector<std::string> FtpServer::commands() const {
    std::vector<std::string> commands;
    for (const std::string& line : process_.recordLines())
        commands.push_back(parseRecord(line).value("command"));
    return commands;
}

}  // namespace volnor::wintest

#include "support/servers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "buildconfig.h"
#include "platform/text.h"

extern char** environ;

namespace volnor::test {

namespace {

std::string serverScript(const char* name) { return std::string(VOLNOR_TESTS_DIR "/servers/") + name; }

}  // namespace

ServerProcess::ServerProcess(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3", script,          "--workdir",
                                     utf8Of(dir_.path()), "--record", utf8Of(recordFile())};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("no pipe for the test server");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        pid_ = -1;
        throw std::runtime_error("test server " + script + " could not be started");
    }
    // The script prints its port on the first line once it listens.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    try {
        port_ = std::stoi(line);
    } catch (const std::exception&) {
        port_ = 0;
    }
    if (port_ <= 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        throw std::runtime_error("test server " + script + " did not start");
    }
}

ServerProcess::~ServerProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::vector<std::string> ServerProcess::recordLines() const {
    std::vector<std::string> lines = split(readFile(recordFile()), '\n', true);
    return lines;
}

std::vector<std::string> RecordedRequest::values(const std::string& name) const {
    std::vector<std::string> found;
    for (const auto& [key, value] : headers)
        if (equalsAsciiNoCase(key, name)) found.push_back(value);
    return found;
}

HttpsServer::HttpsServer(const fs::path& root, Cert cert, Tls tls)
    : process_(serverScript("https_server.py"),
               {"--root", utf8Of(root), "--ca-cert", VOLNOR_TEST_CA_CERT, "--ca-key",
                VOLNOR_TEST_CA_KEY, "--host", buildconfig::kWebHost, "--cert",
                cert == Cert::UnknownCa   ? "unknownca"
                : cert == Cert::Expired   ? "expired"
                : cert == Cert::WrongName ? "wrongname"
                                          : "good",
                "--tls",
                tls == Tls::V1_1Only   ? "1.1"
                : tls == Tls::V1_2Only ? "1.2"
                : tls == Tls::V1_3Only ? "1.3"
                : tls == Tls::Silent   ? "silent"
                                       : "any"}) {}

std::vector<std::string> HttpsServer::connectTo() const {
    return {std::string(buildconfig::kWebHost) + ":443:127.0.0.1:" + std::to_string(port())};
}

std::string HttpsServer::url(const std::string& path) {
    return "https://" + std::string(buildconfig::kWebHost) + path;
}

std::vector<RecordedRequest> HttpsServer::requests() const {
    std::vector<RecordedRequest> requests;
    for (const std::string& line : process_.recordLines()) {
        const auto o = nlohmann::json::parse(line, nullptr, false);
        if (o.is_discarded()) continue;
        RecordedRequest r{o.value("method", ""), o.value("path", ""), o.value("version", ""),
                          o.value("client_port", 0), {}};
        for (const auto& h : o.value("headers", nlohmann::json::array()))
            r.headers.emplace_back(h.at(0).get<std::string>(), h.at(1).get<std::string>());
        requests.push_back(std::move(r));
    }
    return requests;
}

FtpServer::FtpServer(const fs::path& root, Mode mode)
    : process_(serverScript("ftp_server.py"),
               {"--root", utf8Of(root), "--mode",
                mode == Mode::RefuseLogin        ? "refuse-login"
                : mode == Mode::NoDataConnection ? "no-data-connection"
                : mode == Mode::StallData        ? "stall-data"
                                                 : "normal"}) {}

std::vector<std::string> FtpServer::connectTo() const {
    return {std::string(buildconfig::kFtpHost) + ":2121:127.0.0.1:" + std::to_string(port())};
}

std::vector<std::string> FtpServer::commands() const {
    std::vector<std::string> commands;
    for (const std::string& line : process_.recordLines()) {
        const auto o = nlohmann::json::parse(line, nullptr, false);
        if (!o.is_discarded()) commands.push_back(o.value("command", ""));
    }
    return commands;
}

}  // namespace volnor::test

#pragma once
// The real local test servers of tests/servers/ for the Windows tests under Wine: each Python
// script runs as a Linux process (/usr/bin/python3, started with CreateProcessW), bound to
// 127.0.0.1 on a free port that it writes into a port file. Wine can neither wait for nor kill
// such a process, so each object ends its server with a stop file in its destructor, and the
// scripts end by themselves after their lifetime as well.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/files.h"
#include "transfer/connect_to.h"

namespace volnor::wintest {

// The path as the Linux processes see it (Wine's mapping of the drives).
std::string unixPath(const test::fs::path& path);

// Starts a Linux program with its arguments and waits, for a bounded time, until `result`
// exists; throws std::runtime_error when it does not appear. The program must write the file
// last and whole (a rename), since nothing else tells that it has ended.
void runUntil(const std::vector<std::string>& argv, const test::fs::path& result);

// One server script in a work folder of its own, with the file it records into.
class ServerProcess {
public:
    ServerProcess(const std::string& script, const std::vector<std::string>& args);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    // The record file's lines so far, each a JSON object of string fields and lists of them.
    std::vector<std::string> recordLines() const;

private:
    test::TempDir dir_;
    int port_ = 0;
};

// The string fields of one JSON record line ({"command": "..."}); a field that is a list of
// pairs ("headers": [["Host", "vn.test"], ...]) as those pairs. Enough for the servers' records.
struct Record {
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string value(std::string_view name) const;
};
Record parseRecord(std::string_view line);

// A request as the HTTPS server received it; the header values of a name without regard to
// case.
struct RecordedRequest {
    std::string method;
    std::string path;  // as sent: through a proxy's tunnel WinHTTP sends the absolute form
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> values(std::string_view name) const;
};

// The HTTPS server of the maker's web host and the CONNECT proxy in front of it, through which
// the Windows client reaches it: its certificate is made when it starts for the maker's web host
// and signed by the build's test CA (see ca_store.h), unless Cert says otherwise.
class HttpsServer {
public:
    enum class Cert { Good, UnknownCa, Expired, WrongName };
    enum class Tls { Any, V1_1Only, V1_2Only, Silent };

    // root: the folder whose files are served ("/f/1234/a.zip" is root/f/1234/a.zip).
    explicit HttpsServer(const test::fs::path& root, Cert cert = Cert::Good, Tls tls = Tls::Any);

    int port() const { return server_.port(); }
    // The proxy for the client: "127.0.0.1:PORT".
    std::string proxy() const;
    // "https://<the maker's web host>" + path.
    static std::string url(const std::string& path);
    std::vector<RecordedRequest> requests() const;
    // The CONNECT targets the proxy was asked for ("vn.test:443").
    std::vector<std::string> tunnels() const;

private:
    ServerProcess server_;
    ServerProcess proxy_;
};

class FtpServer {
public:
    enum class Mode { Normal, RefuseLogin, NoDataConnection, StallData };

    // root: the folder served as the anonymous user's root.
    explicit FtpServer(const test::fs::path& root, Mode mode = Mode::Normal);

    int port() const { return process_.port(); }
    // Where the client reaches it in place of the maker's FTP host.
    ConnectTarget target() const { return {"127.0.0.1", port()}; }
    // The commands received, as sent ("USER anonymous", "PASS ", "PORT 127,0,0,1,4,1").
    std::vector<std::string> commands() const;

private:
    ServerProcess process_;
};

}  // namespace volnor::wintest

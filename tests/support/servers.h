#pragma once
// Real local servers for tests: the Python scripts under tests/servers/, run with
// /usr/bin/python3, bound to 127.0.0.1 on a free port. Each object starts its server in the
// constructor (throwing std::runtime_error when it does not come up) and kills it in the
// destructor; the scripts also end by themselves after their lifetime.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "support/files.h"

namespace volnor::test {

// One server script in a work folder of its own, with the file it records into.
class ServerProcess {
public:
    ServerProcess(const std::string& script, const std::vector<std::string>& args);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    fs::path workDir() const { return dir_.path(); }
    fs::path recordFile() const { return dir_.file("record.jsonl"); }
    // The lines of the record file so far.
    std::vector<std::string> recordLines() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

struct RecordedRequest {
    std::string method;
    std::string path;
    std::string version;
    int clientPort = 0;  // tells the connections apart
    std::vector<std::pair<std::string, std::string>> headers;
    // Every value of that header (names compared without regard to case).
    std::vector<std::string> values(const std::string& name) const;
};

// Its certificate is made when it starts: for the maker's web host and signed by the build's test
// CA, which the clients of a test build trust, unless Cert says otherwise.
class HttpsServer {
public:
    enum class Cert {
        Good,
        UnknownCa,  // self-signed
        Expired,    // signed by the test CA, ended in 2020
        WrongName,  // signed by the test CA for another host
    };
    enum class Tls {
        Any,
        V1_1Only,
        V1_2Only,
        V1_3Only,
        Silent,  // accepts connections and never answers, not even the TLS handshake
    };

    // root: the folder whose files are served ("/f/1234/a.zip" is root/f/1234/a.zip).
    explicit HttpsServer(const fs::path& root, Cert cert = Cert::Good, Tls tls = Tls::Any);

    int port() const { return process_.port(); }
    // The connect-to entry that sends the maker's web host (port 443) to this server.
    std::vector<std::string> connectTo() const;
    // "https://<the maker's web host>" + path.
    static std::string url(const std::string& path);
    std::vector<RecordedRequest> requests() const;

private:
    ServerProcess process_;
};

class FtpServer {
public:
    enum class Mode {
        Normal,
        RefuseLogin,       // no anonymous user: the log-in is refused
        NoDataConnection,  // PORT/EPRT are answered, but the server never connects back
        StallData,         // the data connection sends a little, then nothing
    };

    // root: the folder served as the anonymous user's root.
    explicit FtpServer(const fs::path& root, Mode mode = Mode::Normal);

    int port() const { return process_.port(); }
    // The connect-to entry that sends the maker's FTP host, port 2121, to this server.
    std::vector<std::string> connectTo() const;
    // The commands received, as sent ("USER anonymous", "PASS ", "EPRT |1|127.0.0.1|5000|").
    std::vector<std::string> commands() const;

private:
    ServerProcess process_;
};

}  // namespace volnor::test

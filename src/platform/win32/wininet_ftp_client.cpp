#include "platform/win32/wininet_ftp_client.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/worker_call.h"

namespace volnor::win32 {

namespace {

using std::chrono::milliseconds;

constexpr DWORD kReadSize = 16 * 1024;

struct HandleClose {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

struct FileClose {
    void operator()(HANDLE file) const { CloseHandle(file); }
};
using File = std::unique_ptr<void, FileClose>;

// The session and its control connection. Shared with the thread of a call, which may outlive
// the client's hold on them after a time-out.
struct Connection {
    Handle internet;
    Handle ftp;
};

// Why the last WinINet call of this thread failed: the server's own reply where it gave one
// ("530 Anonymous access not allowed."), else the system's text, with the code.
std::string failureText(DWORD code) {
    wchar_t buffer[4096] = {};
    DWORD replyCode = 0;
    DWORD length = sizeof buffer / sizeof buffer[0];
    std::string reply;
    // The length it gives back is not to be trusted under Wine; the text ends with its zero.
    if (InternetGetLastResponseInfoW(&replyCode, buffer, &length))
        reply = std::string(trimmed(narrow(buffer)));
    // Only the last line of a reply that spans several.
    if (const auto newline = reply.find_last_of('\n'); newline != std::string::npos)
        reply = std::string(trimmed(std::string_view(reply).substr(newline + 1)));
    if (!reply.empty()) return reply + " (WinINet error " + std::to_string(code) + ")";
    const std::string text = lastErrorText(code);
    return text.front() == '(' ? "WinINet error " + text : text;
}

std::string busyText(const std::string& url) {
    return "Another transfer of this client is still running: " + url;
}

std::string urlOf(const std::string& remotePath) { return ftpServerUrl() + remotePath; }

// A control-connection exchange: connecting, greeting and log-in, or one command and its reply.
constexpr milliseconds kExchangeLimit = FtpClient::kConnectTimeout + 3 * FtpClient::kReplyTimeout;
// Commands and replies, then the server's connection to our listening port.
constexpr milliseconds kDataConnectionLimit = FtpClient::kReplyTimeout + FtpClient::kListenTimeout;

}  // namespace

ConnectTarget ftpServer(std::string_view connectTo) {
    const auto target =
        connectTarget(connectToList(connectTo), buildconfig::kFtpHost, FtpClient::kPort);
    return target ? *target : ConnectTarget{buildconfig::kFtpHost, FtpClient::kPort};
}

struct WinInetFtpClient::Impl {
    ConnectTarget server;
    Pump pump;
    std::shared_ptr<Connection> connection;
    bool busy = false;

    // Runs the work with the pump, the blocks it hands over to onBlock; the client is busy
    // meanwhile. After a time-out the connection is left to the work's thread: the client no
    // longer counts as connected. Returns the error text, empty on success.
    std::string run(WorkerCall::Work work, const std::string& url,
                    const WorkerCall::OnBlock& onBlock = {}) {
        busy = true;
        struct Release {
            bool& busy;
            ~Release() { busy = false; }
        } release{busy};
        WorkerCall::Result result = WorkerCall::run(std::move(work), onBlock, pump);
        if (result.timedOut) {
            connection.reset();
            result.error += ": " + url;
        }
        return result.error;
    }
};

WinInetFtpClient::WinInetFtpClient(ConnectTarget server) : d_(std::make_unique<Impl>()) {
    d_->server = std::move(server);
}

WinInetFtpClient::~WinInetFtpClient() = default;

void WinInetFtpClient::setPump(Pump pump) { d_->pump = std::move(pump); }

bool WinInetFtpClient::Connected() const { return d_->connection != nullptr; }

void WinInetFtpClient::Disconnect() {
    if (d_->busy) throw FtpConnectError(busyText(urlOf({})));
    std::shared_ptr<Connection> connection = std::move(d_->connection);
    if (!connection) return;
    // Whether the server still hears the QUIT changes nothing: the connection is closed anyway.
    d_->run(
        [connection](WorkerCall::Context& job) {
            job.step("saying QUIT", FtpClient::kReplyTimeout);
            FtpCommandW(connection->ftp.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, L"QUIT", 0,
                        nullptr);
            return std::string();
        },
        urlOf({}));
}

void WinInetFtpClient::Connect() {
    const std::string url = urlOf({});
    if (d_->busy) throw FtpConnectError(busyText(url));
    d_->connection.reset();
    auto connection = std::make_shared<Connection>();
    const std::wstring host = wide(d_->server.host);
    const auto port = static_cast<INTERNET_PORT>(d_->server.port);
    const std::string error = d_->run(
        [connection, host, port, url](WorkerCall::Context& job) {
            job.step("connecting and logging in", kExchangeLimit);
            connection->internet.reset(
                InternetOpenW(L"VOLNOR_Eplan_DB", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
            if (!connection->internet) return failureText(GetLastError()) + ": " + url;
            HINTERNET internet = connection->internet.get();
            // WinINet's own limits, where it keeps them (Windows does).
            DWORD value = static_cast<DWORD>(kConnectTimeout.count());
            InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
            value = 1;
            InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_RETRIES, &value, sizeof value);
            value = static_cast<DWORD>(kReplyTimeout.count());
            InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
            InternetSetOptionW(internet, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
            value = static_cast<DWORD>(kTransferTimeout.count());
            InternetSetOptionW(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &value,
                               sizeof value);
            // No INTERNET_FLAG_PASSIVE: active mode, the server connects to us.
            connection->ftp.reset(InternetConnectW(internet, host.c_str(), port,
                                                   wide(kUser).c_str(), L"", INTERNET_SERVICE_FTP,
                                                   0, 0));
            if (!connection->ftp) return failureText(GetLastError()) + ": " + url;
            return std::string();
        },
        url);
    if (!error.empty()) throw FtpConnectError(error);
    d_->connection = std::move(connection);
}

void WinInetFtpClient::Get(const std::string& remotePath, const std::filesystem::path& localPath,
                           bool overwrite, bool resume) {
    const std::string url = urlOf(remotePath);
    const std::string local = utf8Of(localPath);
    if (d_->busy) throw FtpGetError(busyText(url));
    if (!d_->connection) throw FtpGetError("Not connected: " + url);

    const std::wstring path = localPath.wstring();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (overwrite) {
            // A folder is no file to replace: DeleteFileW refuses it.
            if (!DeleteFileW(path.c_str())) {
                const DWORD code = GetLastError();
                throw FtpGetError("Cannot delete " + local + ": " + lastErrorText(code));
            }
            resume = false;
        } else if (!resume) {
            throw FtpGetError("The file " + local + " exists already");
        }
    }
    File file(CreateFileW(path.c_str(), resume ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                          resume ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        file.release();
        throw FtpGetError("Cannot write " + local + ": " + lastErrorText(code));
    }
    LARGE_INTEGER offset{};
    if (resume && !GetFileSizeEx(file.get(), &offset)) {
        const DWORD code = GetLastError();
        throw FtpGetError("Cannot write " + local + ": " + lastErrorText(code));
    }

    std::shared_ptr<Connection> connection = d_->connection;
    const std::wstring remote = wide(remotePath);
    const long long start = offset.QuadPart;
    long long total = start;
    // The worker reads, this thread writes: a worker left behind after a time-out holds no file.
    const auto write = [&](std::string& block) {
        DWORD written = 0;
        if (!WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written,
                       nullptr) ||
            written != block.size()) {
            const DWORD code = GetLastError();
            throw FtpGetError("Cannot write " + local + ": " + lastErrorText(code));
        }
        total += written;
    };
    // Written by the worker, which may outlive this call.
    const auto size = std::make_shared<long long>(-1);
    const std::string error = d_->run(
        [connection, remote, start, url, size](WorkerCall::Context& job) -> std::string {
            HINTERNET ftp = connection->ftp.get();
            // The size from the listing: WinINet's FtpGetFileSize is not to be relied on (Wine's
            // answers 0), and a data connection that ends early must not pass for the whole file.
            job.step("listing the file", kDataConnectionLimit);
            WIN32_FIND_DATAW found{};
            const Handle find(
                FtpFindFirstFileW(ftp, remote.c_str(), &found, INTERNET_FLAG_RELOAD, 0));
            if (!find) {
                // A listing without the file: Windows says so, Wine sets no error at all.
                const DWORD code = GetLastError();
                return (code == ERROR_NO_MORE_FILES || code == ERROR_SUCCESS
                            ? std::string("Remote file not found")
                            : failureText(code)) +
                       ": " + url;
            }
            const long long remoteSize =
                static_cast<long long>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
            if (start > remoteSize) return "The local file is longer than the remote one: " + url;
            if (start == remoteSize) {
                *size = remoteSize;
                return std::string();
            }
            if (start > 0) {
                // The listing switched to ASCII, in which a server refuses to resume.
                job.step("resuming", kExchangeLimit);
                const std::wstring rest = L"REST " + std::to_wstring(start);
                for (const wchar_t* command : {L"TYPE I", rest.c_str()})
                    if (!FtpCommandW(ftp, FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr))
                        return failureText(GetLastError()) + ": " + url;
            }
            job.step("waiting for the data connection", kDataConnectionLimit);
            const Handle data(FtpOpenFileW(ftp, remote.c_str(), GENERIC_READ,
                                           FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
            if (!data) return failureText(GetLastError()) + ": " + url;
            std::string block;
            for (;;) {
                job.step("waiting for data", kTransferTimeout);
                block.resize(kReadSize);
                DWORD read = 0;
                if (!InternetReadFile(data.get(), block.data(), kReadSize, &read))
                    return failureText(GetLastError()) + ": " + url;
                if (read == 0) break;
                block.resize(read);
                if (!job.handOver(block)) return std::string();
            }
            // The reply after the data (226) is read when the handle closes.
            *size = remoteSize;
            return std::string();
        },
        url, write);
    if (!error.empty()) throw FtpGetError(error);
    if (total != *size)
        throw FtpGetError("The transfer ended after " + std::to_string(total) + " of " +
                          std::to_string(*size) + " bytes: " + url);
}

}  // namespace volnor::win32

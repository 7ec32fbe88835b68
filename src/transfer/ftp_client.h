#pragma once
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/error.h"
#include "platform/progress.h"

namespace volnor {

// A failed Connect (control connection or log-in) and a failed Get are told apart, because their
// caller shows them after different prefixes.
class FtpConnectError : public Error {
public:
    using Error::Error;
};
class FtpGetError : public Error {
public:
    using Error::Error;
};

// The program's one FTP client (IdFTP1): the maker's FTP host on port 2121, IPv4, anonymous with
// an empty password, binary, active mode only, plain FTP, no proxy. Blocking like HttpClient.
class FtpClient {
public:
    static constexpr int kPort = 2121;
    static constexpr char kUser[] = "anonymous";
    static constexpr std::chrono::milliseconds kConnectTimeout{1000};
    // Each reply on the control connection.
    static constexpr std::chrono::milliseconds kReplyTimeout{5000};
    // Active mode: the longest wait for the server to open the data connection.
    static constexpr std::chrono::milliseconds kListenTimeout{1000};
    // The longest wait for data on the data connection.
    static constexpr std::chrono::milliseconds kTransferTimeout{1000};

    virtual ~FtpClient() = default;

    // Called often while a call blocks, also while no data arrives.
    virtual void setPump(Pump pump) = 0;

    // True while the control connection that Connect opened is still held.
    virtual bool Connected() const = 0;
    // Says QUIT and closes the control connection.
    virtual void Disconnect() = 0;
    // Opens the control connection and logs in; raises FtpConnectError.
    virtual void Connect() = 0;
    // Downloads remotePath ("/eplan/update.7z") into localPath; raises FtpGetError. With
    // overwrite an existing local file is deleted first; with resume the download continues an
    // existing local file; with neither, an existing local file is an error. A failure during the
    // transfer may leave a partial local file.
    virtual void Get(const std::string& remotePath, const std::filesystem::path& localPath,
                     bool overwrite, bool resume) = 0;
};

// The maker's FTP server as a URL with its port: "ftp://<host>:2121" (no trailing "/").
std::string ftpServerUrl();

}  // namespace volnor

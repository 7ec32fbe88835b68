#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "buildconfig.h"
#include "transfer/connect_to.h"
#include "transfer/ftp_client.h"

namespace volnor::win32 {

// Where the maker's FTP host on port 2121 is reached: the connect-to list's entry for it, else
// the host itself (a release build).
ConnectTarget ftpServer(std::string_view connectTo = buildconfig::kConnectTo);

// FtpClient over WinINet, in active mode. Connect opens the control connection and logs in;
// Get uses it until Disconnect says QUIT. Each blocking call runs on a thread of its own while
// the calling thread calls the pump and holds the client's time-outs, which WinINet under Wine
// does not (it waits without end for a data connection that never comes, or for data that
// stops); a call that overruns them fails, and its thread ends whenever WinINet lets it.
class WinInetFtpClient : public FtpClient {
public:
    explicit WinInetFtpClient(ConnectTarget server = ftpServer());
    ~WinInetFtpClient() override;
    WinInetFtpClient(const WinInetFtpClient&) = delete;
    WinInetFtpClient& operator=(const WinInetFtpClient&) = delete;

    void setPump(Pump pump) override;
    bool Connected() const override;
    void Disconnect() override;
    void Connect() override;
    void Get(const std::string& remotePath, const std::filesystem::path& localPath, bool overwrite,
             bool resume) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace volnor::win32

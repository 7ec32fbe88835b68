#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "transfer/ftp_client.h"

namespace volnor::posix {

// FtpClient over libcurl. The control connection is curl's cached connection of the client's
// handle: Connect leaves it open for Get, and Disconnect closes it with QUIT.
class CurlFtpClient : public FtpClient {
public:
    // connectTo: curl connect-to entries ("HOST:PORT:ADDR:PORT"), connectToList() in the product.
    explicit CurlFtpClient(std::vector<std::string> connectTo = {});
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

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

}  // namespace volnor::posix

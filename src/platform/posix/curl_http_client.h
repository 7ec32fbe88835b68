#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "transfer/http_client.h"

namespace volnor::posix {

// HttpClient over libcurl: one handle and its connection cache for the client's life, so a
// connection is reused while the server keeps it open, and cookies live in memory with it.
// HTTPS only with a verified server: TLS 1.2 or later, a certificate chain to a trusted CA and
// the host's name in the certificate. Raises TransferError with curl's text and the URL.
class CurlHttpClient : public HttpClient {
public:
    // connectTo: curl connect-to entries ("HOST:PORT:ADDR:PORT"), connectToList() in the product.
    // caFile: a CA file trusted besides the system's store, none when empty; by default the one
    // the program was built with (none in a release build, the test CA in the tests and the demo).
    explicit CurlHttpClient(std::vector<std::string> connectTo = {},
                            std::string caFile = buildconfig::kCaFile);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    void setHandleRedirects(bool on) override;
    bool handleRedirects() const override;
    void setUserAgent(const std::string& userAgent) override;
    std::string userAgent() const override;
    void setOnWork(WorkHandler handler) override;
    void setPump(Pump pump) override;
    void Get(const std::string& url, std::string& buffer) override;
    void Get(const std::string& url, ByteSink& sink) override;

    // For tests: a shorter stall limit.
    void setStallTimeout(std::chrono::milliseconds timeout);
    // For tests: a shorter limit for the connection and the TLS handshake.
    void setConnectTimeout(std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace volnor::posix

#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "buildconfig.h"
#include "transfer/http_client.h"
#include "transfer/transfer_error.h"

namespace volnor::win32 {

// The proxy that the connect-to list names for the maker's web host on port 443, as
// "ADDR:PORT"; empty without one, as in a release build. Windows has no connect-to: tests and the
// demo reach their server through a small CONNECT proxy there, so that the host name stays in
// TLS and in the request.
std::string webProxy(std::string_view connectTo = buildconfig::kConnectTo);

// What a WinHTTP (or Winsock) error code says went wrong.
TransferError::Kind kindOfWinHttpError(unsigned long code);

// HttpClient over WinHTTP: one session for the client's life, so connections are reused while
// the server keeps them open and cookies live in memory with it. HTTPS with TLS 1.2 or later and
// the server's certificate checked by the system against its trust store. The blocking calls run
// on a thread of their own while the calling thread writes the body to the sink, reports the
// work and calls the pump. Raises TransferError with WinHTTP's text and the URL.
class WinHttpClient : public HttpClient {
public:
    // proxy: "HOST:PORT" of a proxy every request goes through; none when empty.
    explicit WinHttpClient(std::string proxy = webProxy());
    ~WinHttpClient() override;
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;

    void setHandleRedirects(bool on) override;
    bool handleRedirects() const override;
    void setUserAgent(const std::string& userAgent) override;
    std::string userAgent() const override;
    void setOnWork(WorkHandler handler) override;
    void setPump(Pump pump) override;
    void Get(const std::string& url, std::string& buffer) override;
    void Get(const std::string& url, ByteSink& sink) override;

    // For tests: a shorter limit for an answer and for each pause in the data.
    void setStallTimeout(std::chrono::milliseconds timeout);
    // For tests: a shorter limit for opening the connection.
    void setConnectTimeout(std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace volnor::win32

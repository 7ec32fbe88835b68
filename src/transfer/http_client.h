#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/progress.h"

namespace volnor {

// Where a body goes as it arrives.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be written; errorText() then says why.
    virtual bool write(std::string_view bytes) = 0;
    virtual std::string errorText() const = 0;
};

// The whole body in memory: what the clients' Get into a buffer writes to.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& buffer) : buffer_(buffer) {}
    bool write(std::string_view bytes) override {
        buffer_.append(bytes);
        return true;
    }
    std::string errorText() const override { return {}; }

private:
    std::string& buffer_;
};

// The program's one HTTP(S) client (IdHTTP1 with its TLS transport). One instance lives as long
// as the window, so connections and cookies are reused for the run. Blocking: Get returns when
// the whole body is in the buffer, or raises a TransferError with a message text.
class HttpClient {
public:
    enum class WorkMode { Read, Write };
    // IdHTTP1Work: AWorkCount is the number of body bytes since the previous report. The blocks
    // that arrive together make one report; a pause in the data ends a block.
    using WorkHandler =
        std::function<void(HttpClient& sender, WorkMode mode, std::int64_t workCount)>;

    // The User-Agent the client carries until start-up replaces it.
    static constexpr char kStoredUserAgent[] = "Mozilla/3.0 (compatible; HTTP client)";
    // The User-Agent that start-up sets.
    static constexpr char kUserAgent[] =
        "Opera/9.80 (Windows NT 6.1) Presto/2.12.388 Version/12.12";
    static constexpr char kAccept[] =
        "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
    static constexpr int kMaxRedirects = 15;
    // Opening the connection, TLS handshake included.
    static constexpr std::chrono::milliseconds kConnectTimeout{10000};
    // No data for this long fails the transfer (counted in whole seconds).
    static constexpr std::chrono::milliseconds kStallTimeout{30000};

    virtual ~HttpClient() = default;

    virtual void setHandleRedirects(bool on) = 0;
    virtual bool handleRedirects() const = 0;
    virtual void setUserAgent(const std::string& userAgent) = 0;
    virtual std::string userAgent() const = 0;
    virtual void setOnWork(WorkHandler handler) = 0;
    // Called often while Get blocks, also while no data arrives.
    virtual void setPump(Pump pump) = 0;

    // The whole body into the buffer.
    virtual void Get(const std::string& url, std::string& buffer) = 0;
    // The body written to the sink as it arrives, so that memory does not grow with it; each
    // block is written before its progress report. A failed write ends the transfer with an
    // error. After a failure the sink may hold part of the body.
    virtual void Get(const std::string& url, ByteSink& sink) = 0;
};

}  // namespace volnor

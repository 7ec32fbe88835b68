#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/progress.h"

namespace volnor {

// The program's one HTTP(S) client (IdHTTP1 with its TLS transport). One instance lives as long
// as the window, so connections and cookies are reused for the run. Blocking: Get returns when
// the whole body is in the buffer, or raises a TransferError with a message text.
class HttpClient {
public:
    enum class WorkMode { Read, Write };
    // IdHTTP1Work: AWorkCount is the number of body bytes since the previous report.
    using WorkHandler =
        std::function<void(HttpClient& sender, WorkMode mode, std::int64_t workCount)>;

    // The User-Agent the client carries until start-up replaces it.
    static const QString kStoredUserAgent;
    // The User-Agent that start-up sets.
    static const QString kUserAgent;
    static const QString kAccept;
    static constexpr int kMaxRedirects = 15;
    // Opening the connection, TLS handshake included.
    static constexpr std::chrono::milliseconds kConnectTimeout{10000};
    // No data for this long fails the transfer (counted in whole seconds).
    static constexpr std::chrono::milliseconds kStallTimeout{30000};

    // connectTo: curl connect-to entries ("HOST:PORT:ADDR:PORT"), the build's list in the product.
    explicit HttpClient(QStringList connectTo = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setHandleRedirects(bool on);
    bool handleRedirects() const;
    void setUserAgent(const QString& userAgent);
    QString userAgent() const;
    void setOnWork(WorkHandler handler);
    // Called often while Get blocks, also while no data arrives.
    void setPump(Pump pump);
    // For tests: a shorter stall limit.
    void setStallTimeout(std::chrono::milliseconds timeout);
    // For tests: a shorter limit for the connection and the TLS handshake.
    void setConnectTimeout(std::chrono::milliseconds timeout);

    void Get(const QString& url, QByteArray& buffer);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace volnor

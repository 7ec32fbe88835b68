#pragma once
// What the HTTP and FTP clients share over libcurl: one easy handle and one multi handle kept
// for the client's life (the multi handle owns the connection cache), and a blocking transfer
// loop that calls the pump while it waits.
#include <curl/curl.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <exception>
#include <memory>

#include "platform/progress.h"

namespace volnor::transfer {

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

Slist makeSlist(const QStringList& items);

// For curl options in whole seconds: the limit rounded up, at least one second.
long wholeSeconds(std::chrono::milliseconds limit);
// A stall: less than one byte a second for the whole limit. curl averages the speed over the
// last few seconds, so after a burst of data the failure can come a few seconds late.
void setStallLimit(CURL* easy, std::chrono::milliseconds limit);

class CurlSession {
public:
    // The longest wait between two calls of the pump while a transfer blocks.
    static constexpr long kPumpIntervalMs = 50;

    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* easy() const { return easy_; }
    // The error text of the last transfer: curl's detail when it gave one.
    QString errorText(CURLcode code) const;

    // Runs the transfer set up on easy() until it ends; calls pump at least every
    // kPumpIntervalMs. An exception thrown inside a callback is kept with keep() (the callback
    // then aborts the transfer) and rethrown here; so is one thrown by the pump.
    CURLcode perform(const Pump& pump);
    void keep(std::exception_ptr error) { callbackError_ = std::move(error); }
    // Whether curl kept the last transfer's connection open for the next one.
    bool keepsConnection() const { return keepsConnection_; }
    // True while perform() runs. A pump that processes events could otherwise start a second
    // transfer on the same handle, which would end the first one and report its part as whole.
    bool busy() const { return busy_; }
    static QString busyText(const QString& url);

private:
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::exception_ptr callbackError_;
    bool keepsConnection_ = false;
    bool busy_ = false;
};

}  // namespace volnor::transfer

#include "transfer/curl_session.h"

#include <algorithm>
#include <stdexcept>

namespace volnor::transfer {

Slist makeSlist(const QStringList& items) {
    curl_slist* list = nullptr;
    for (const QString& item : items) {
        curl_slist* grown = curl_slist_append(list, item.toUtf8().constData());
        if (!grown) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = grown;
    }
    return Slist(list);
}

long wholeSeconds(std::chrono::milliseconds limit) {
    return std::max<long>(
        1, static_cast<long>(std::chrono::ceil<std::chrono::seconds>(limit).count()));
}

void setStallLimit(CURL* easy, std::chrono::milliseconds limit) {
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, wholeSeconds(limit));
}

CurlSession::CurlSession() {
    // Reference-counted by libcurl; paired with the cleanup in the destructor.
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        throw std::runtime_error("libcurl could not be initialised");
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (!multi_ || !easy_) {
        if (easy_) curl_easy_cleanup(easy_);
        if (multi_) curl_multi_cleanup(multi_);
        curl_global_cleanup();
        throw std::runtime_error("libcurl could not be initialised");
    }
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
}

CurlSession::~CurlSession() {
    // The multi handle closes the cached connections (an FTP connection says QUIT).
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_global_cleanup();
}

QString CurlSession::errorText(CURLcode code) const {
    const QString detail = QString::fromUtf8(errorBuffer_).trimmed();
    return detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : detail;
}

QString CurlSession::busyText(const QString& url) {
    return QStringLiteral("Another transfer of this client is still running: %1").arg(url);
}

CURLcode CurlSession::perform(const Pump& pump) {
    if (busy_) return CURLE_RECURSIVE_API_CALL;
    errorBuffer_[0] = '\0';
    callbackError_ = nullptr;
    keepsConnection_ = false;
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return CURLE_FAILED_INIT;
    busy_ = true;
    struct Detach {
        CurlSession* s;
        ~Detach() {
            curl_multi_remove_handle(s->multi_, s->easy_);
            s->busy_ = false;
        }
    } detach{this};

    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) return CURLE_FAILED_INIT;
        if (callbackError_) std::rethrow_exception(callbackError_);
        if (running == 0) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_)
                    result = msg->data.result;
            // curl names the kept connection only while the handle is in the multi handle.
            curl_socket_t socket = CURL_SOCKET_BAD;
            keepsConnection_ =
                curl_easy_getinfo(easy_, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
                socket != CURL_SOCKET_BAD;
            return result;
        }
        if (pump) pump();
        // Wakes on socket activity or curl's own timers, at the latest after the interval.
        if (curl_multi_poll(multi_, nullptr, 0, kPumpIntervalMs, nullptr) != CURLM_OK)
            return CURLE_FAILED_INIT;
    }
}

}  // namespace volnor::transfer

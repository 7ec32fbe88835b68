#include "transfer/http_client.h"

#include "transfer/curl_session.h"
#include "transfer/transfer_error.h"

namespace volnor {

const QString HttpClient::kStoredUserAgent =
    QStringLiteral("Mozilla/3.0 (compatible; HTTP client)");
const QString HttpClient::kUserAgent =
    QStringLiteral("Opera/9.80 (Windows NT 6.1) Presto/2.12.388 Version/12.12");
const QString HttpClient::kAccept =
    QStringLiteral("text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");

struct HttpClient::Impl {
    HttpClient* self = nullptr;
    transfer::CurlSession session;
    transfer::Slist connectTo;
    transfer::Slist headers;
    bool handleRedirects = false;
    QString userAgent = kStoredUserAgent;
    WorkHandler onWork;
    Pump pump;
    QByteArray* buffer = nullptr;

    static size_t write(char* data, size_t size, size_t count, void* user) {
        auto* d = static_cast<Impl*>(user);
        const size_t bytes = size * count;
        try {
            d->buffer->append(data, static_cast<qsizetype>(bytes));
            if (d->onWork) d->onWork(*d->self, WorkMode::Read, static_cast<std::int64_t>(bytes));
        } catch (...) {
            d->session.keep(std::current_exception());
            return 0;  // aborts the transfer
        }
        return bytes;
    }
};

HttpClient::HttpClient(QStringList connectTo) : d_(std::make_unique<Impl>()) {
    d_->self = this;
    d_->connectTo = transfer::makeSlist(connectTo);
    d_->headers = transfer::makeSlist({QStringLiteral("Accept: ") + kAccept});
    CURL* h = d_->session.easy();
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_SSLVERSION,
                     long{CURL_SSLVERSION_TLSv1_2} | long{CURL_SSLVERSION_MAX_TLSv1_2});
    // Any certificate is accepted: no peer and no host name check.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    // An empty proxy also keeps curl from taking one from the environment.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, d_->headers.get());
    curl_easy_setopt(h, CURLOPT_CONNECT_TO, d_->connectTo.get());
    // The cookie engine without a file: cookies live in memory for the client's life.
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
    setConnectTimeout(kConnectTimeout);
    setStallTimeout(kStallTimeout);
    // Fail on 4xx/5xx before the error page's body is taken as data.
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::write);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, d_.get());
}

HttpClient::~HttpClient() = default;

void HttpClient::setHandleRedirects(bool on) { d_->handleRedirects = on; }
bool HttpClient::handleRedirects() const { return d_->handleRedirects; }
void HttpClient::setUserAgent(const QString& userAgent) { d_->userAgent = userAgent; }
QString HttpClient::userAgent() const { return d_->userAgent; }
void HttpClient::setOnWork(WorkHandler handler) { d_->onWork = std::move(handler); }
void HttpClient::setPump(Pump pump) { d_->pump = std::move(pump); }
void HttpClient::setStallTimeout(std::chrono::milliseconds timeout) {
    transfer::setStallLimit(d_->session.easy(), timeout);
}
void HttpClient::setConnectTimeout(std::chrono::milliseconds timeout) {
    curl_easy_setopt(d_->session.easy(), CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(timeout.count()));
}

void HttpClient::Get(const QString& url, QByteArray& buffer) {
    if (d_->session.busy())
        throw TransferError(transfer::CurlSession::busyText(url), CURLE_RECURSIVE_API_CALL, 0);
    buffer.clear();
    CURL* h = d_->session.easy();
    const QByteArray encodedUrl = url.toUtf8();
    curl_easy_setopt(h, CURLOPT_URL, encodedUrl.constData());
    curl_easy_setopt(h, CURLOPT_USERAGENT, d_->userAgent.toUtf8().constData());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, d_->handleRedirects ? 1L : 0L);
    d_->buffer = &buffer;
    struct Release {
        Impl* d;
        ~Release() { d->buffer = nullptr; }
    } release{d_.get()};

    const CURLcode code = d_->session.perform(d_->pump);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
        const QString text = d_->session.errorText(code);
        throw TransferError(
            code == CURLE_HTTP_RETURNED_ERROR
                ? QStringLiteral("%1 (HTTP status %2): %3").arg(text).arg(status).arg(url)
                : QStringLiteral("%1: %2").arg(text, url),
            code, status);
    }
    if (status < 200 || status > 299)
        throw TransferError(QStringLiteral("HTTP status %1: %2").arg(status).arg(url), CURLE_OK,
                            status);
}

}  // namespace volnor

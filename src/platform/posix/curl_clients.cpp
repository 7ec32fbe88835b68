// The HTTP(S) and FTP clients over libcurl. What they share (the session, the option helpers,
// the error kinds) lives in this one file, so that no header shows curl.
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/posix/curl_ftp_client.h"
#include "platform/posix/curl_http_client.h"
#include "platform/text.h"
#include "transfer/transfer_error.h"

namespace volnor::posix {

namespace {

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

Slist makeSlist(const std::vector<std::string>& items) {
    curl_slist* list = nullptr;
    for (const std::string& item : items) {
        curl_slist* grown = curl_slist_append(list, item.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = grown;
    }
    return Slist(list);
}

long ms(std::chrono::milliseconds value) { return static_cast<long>(value.count()); }

// For curl options in whole seconds: the limit rounded up, at least one second.
long wholeSeconds(std::chrono::milliseconds limit) {
    return std::max<long>(
        1, static_cast<long>(std::chrono::ceil<std::chrono::seconds>(limit).count()));
}

// A stall: less than one byte a second for the whole limit. curl averages the speed over the
// last few seconds, so after a burst of data the failure can come a few seconds late.
void setStallLimit(CURL* easy, std::chrono::milliseconds limit) {
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, wholeSeconds(limit));
}

std::string busyText(const std::string& url) {
    return "Another transfer of this client is still running: " + url;
}

std::string errnoText(int error) { return std::generic_category().message(error); }

// What went wrong, from curl's result and the last response's status.
TransferError::Kind kindOf(CURLcode code, long httpStatus) {
    using Kind = TransferError::Kind;
    if (code == CURLE_OK || code == CURLE_HTTP_RETURNED_ERROR) {
        if (httpStatus == 404 || httpStatus == 410) return Kind::NotFound;
        if (httpStatus >= 500 && httpStatus <= 599) return Kind::ServerError;
        return Kind::OtherStatus;
    }
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return Kind::NoConnection;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            return Kind::BrokenOff;
        case CURLE_PARTIAL_FILE:
            return Kind::Incomplete;
        case CURLE_OPERATION_TIMEDOUT:
            return Kind::TimedOut;
        case CURLE_PEER_FAILED_VERIFICATION:
            return Kind::Certificate;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CACERT_BADFILE:
            return Kind::Secure;
        default:
            return Kind::Other;
    }
}

// One easy handle and one multi handle kept for the client's life (the multi handle owns the
// connection cache), and a blocking transfer loop that calls the pump while it waits.
class CurlSession {
public:
    // The longest wait between two calls of the pump while a transfer blocks.
    static constexpr int kPumpIntervalMs = 50;

    CurlSession() {
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

    ~CurlSession() {
        // The multi handle closes the cached connections (an FTP connection says QUIT).
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        curl_global_cleanup();
    }

    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* easy() const { return easy_; }

    // The error text of the last transfer: curl's detail when it gave one.
    std::string errorText(CURLcode code) const {
        const std::string_view detail = trimmed(errorBuffer_);
        return detail.empty() ? std::string(curl_easy_strerror(code)) : std::string(detail);
    }

    // Runs the transfer set up on easy() until it ends; calls pump at least every
    // kPumpIntervalMs. An exception thrown inside a callback is kept with keep() (the callback
    // then aborts the transfer) and rethrown here; so is one thrown by the pump.
    CURLcode perform(const Pump& pump) {
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

    void keep(std::exception_ptr error) { callbackError_ = std::move(error); }
    // Whether curl kept the last transfer's connection open for the next one.
    bool keepsConnection() const { return keepsConnection_; }
    // True while perform() runs. A pump that processes events could otherwise start a second
    // transfer on the same handle, which would end the first one and report its part as whole.
    bool busy() const { return busy_; }

private:
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::exception_ptr callbackError_;
    bool keepsConnection_ = false;
    bool busy_ = false;
};

// A path as the path of a URL: every byte percent-encoded but the unreserved characters and "/".
std::string percentEncoded(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~' || b == '/') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

// The remote path goes after the server's "/" as given: "/eplan/update.7z" makes
// "ftp://host:2121//eplan/update.7z", which curl asks for as "/eplan/update.7z".
std::string ftpUrl(std::string_view remotePath) {
    return ftpServerUrl() + "/" + percentEncoded(remotePath);
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

// ---- HTTP ---------------------------------------------------------------------------------

struct CurlHttpClient::Impl {
    HttpClient* self = nullptr;
    // The lists before the session: curl may use them until its handle is cleaned up.
    Slist connectTo;
    Slist headers;
    CurlSession session;
    bool handleRedirects = false;
    std::string userAgent = kStoredUserAgent;
    WorkHandler onWork;
    Pump pump;
    ByteSink* sink = nullptr;
    std::int64_t unreported = 0;

    // One report for all the blocks that curl hands over at one wake-up: the window repaints
    // its bar for a report, once for every 16 KiB block otherwise.
    void report() {
        const std::int64_t count = std::exchange(unreported, 0);
        if (count > 0 && onWork) onWork(*self, WorkMode::Read, count);
    }

    static size_t write(char* data, size_t size, size_t count, void* user) {
        auto* d = static_cast<Impl*>(user);
        const size_t bytes = size * count;
        try {
            if (!d->sink->write(std::string_view(data, bytes)))
                throw Error("Не удалось записать полученные данные (" + d->sink->errorText() + ")");
            d->unreported += static_cast<std::int64_t>(bytes);
        } catch (...) {
            d->session.keep(std::current_exception());
            return 0;  // aborts the transfer
        }
        return bytes;
    }
};

CurlHttpClient::CurlHttpClient(std::vector<std::string> connectTo, std::string caFile)
    : d_(std::make_unique<Impl>()) {
    d_->self = this;
    d_->connectTo = makeSlist(connectTo);
    d_->headers = makeSlist({std::string("Accept: ") + kAccept});
    CURL* h = d_->session.easy();
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    // TLS 1.2 at least, 1.3 when the server offers it. The server's chain must lead to a CA of
    // the system's store and its certificate must name the host: whoever answers in the maker's
    // place must not be taken for the maker.
    curl_easy_setopt(h, CURLOPT_SSLVERSION, long{CURL_SSLVERSION_TLSv1_2});
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    // The extra CA replaces curl's default bundle file; curl's CA folder (the same system store,
    // hashed: /etc/ssl/certs on Debian) stays set, so both are trusted.
    if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
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

CurlHttpClient::~CurlHttpClient() = default;

void CurlHttpClient::setHandleRedirects(bool on) { d_->handleRedirects = on; }
bool CurlHttpClient::handleRedirects() const { return d_->handleRedirects; }
void CurlHttpClient::setUserAgent(const std::string& userAgent) { d_->userAgent = userAgent; }
std::string CurlHttpClient::userAgent() const { return d_->userAgent; }
void CurlHttpClient::setOnWork(WorkHandler handler) { d_->onWork = std::move(handler); }
void CurlHttpClient::setPump(Pump pump) { d_->pump = std::move(pump); }

void CurlHttpClient::setStallTimeout(std::chrono::milliseconds timeout) {
    setStallLimit(d_->session.easy(), timeout);
}

void CurlHttpClient::setConnectTimeout(std::chrono::milliseconds timeout) {
    curl_easy_setopt(d_->session.easy(), CURLOPT_CONNECTTIMEOUT_MS, ms(timeout));
}

void CurlHttpClient::Get(const std::string& url, std::string& buffer) {
    if (d_->session.busy())
        throw TransferError(busyText(url), kindOf(CURLE_RECURSIVE_API_CALL, 0), 0);
    buffer.clear();
    StringSink sink(buffer);
    Get(url, sink);
}

void CurlHttpClient::Get(const std::string& url, ByteSink& sink) {
    if (d_->session.busy())
        throw TransferError(busyText(url), kindOf(CURLE_RECURSIVE_API_CALL, 0), 0);
    CURL* h = d_->session.easy();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, d_->userAgent.c_str());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, d_->handleRedirects ? 1L : 0L);
    d_->sink = &sink;
    struct Release {
        Impl* d;
        ~Release() { d->sink = nullptr; }
    } release{d_.get()};

    Impl* d = d_.get();
    d->unreported = 0;
    CURLcode code = CURLE_OK;
    try {
        code = d->session.perform([d] {
            d->report();
            if (d->pump) d->pump();
        });
    } catch (...) {
        d->unreported = 0;
        throw;
    }
    d->report();
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
        const std::string text = d->session.errorText(code);
        throw TransferError(code == CURLE_HTTP_RETURNED_ERROR
                                ? text + " (HTTP status " + std::to_string(status) + "): " + url
                                : text + ": " + url,
                            kindOf(code, status), status);
    }
    if (status < 200 || status > 299)
        throw TransferError("HTTP status " + std::to_string(status) + ": " + url,
                            kindOf(CURLE_OK, status), status);
}

// ---- FTP ----------------------------------------------------------------------------------

struct CurlFtpClient::Impl {
    Slist connectTo;
    std::unique_ptr<CurlSession> session;
    bool connected = false;
    Pump pump;
    std::FILE* file = nullptr;
    int writeError = 0;  // errno of the write that failed

    // A fresh handle with the client's settings; the old one, if any, closes its connection.
    void open() {
        session.reset();
        session = std::make_unique<CurlSession>();
        CURL* h = session->easy();
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get());
        curl_easy_setopt(h, CURLOPT_IPRESOLVE, long{CURL_IPRESOLVE_V4});
        curl_easy_setopt(h, CURLOPT_USERNAME, kUser);
        curl_easy_setopt(h, CURLOPT_PASSWORD, "");
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        curl_easy_setopt(h, CURLOPT_USE_SSL, long{CURLUSESSL_NONE});
        curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
        // Active mode on the control connection's local address. With FTPPORT set curl never
        // falls back to PASV or EPSV.
        curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(h, CURLOPT_FTP_USE_EPSV, 0L);
        // The path goes whole into SIZE and RETR, as the caller gave it.
        curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, long{CURLFTPMETHOD_NOCWD});
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, ms(kConnectTimeout));
        // Whole seconds only in this libcurl.
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, wholeSeconds(kReplyTimeout));
        curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, ms(kListenTimeout));
        setStallLimit(h, kTransferTimeout);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
        connected = false;
    }

    static size_t write(char* data, size_t size, size_t count, void* user) {
        auto* d = static_cast<Impl*>(user);
        const size_t bytes = size * count;
        if (d->file && std::fwrite(data, 1, bytes, d->file) == bytes) return bytes;
        d->writeError = errno;
        return 0;
    }

    CURLcode perform(const std::string& url) {
        curl_easy_setopt(session->easy(), CURLOPT_URL, url.c_str());
        return session->perform(pump);
    }
};

CurlFtpClient::CurlFtpClient(std::vector<std::string> connectTo) : d_(std::make_unique<Impl>()) {
    d_->connectTo = makeSlist(connectTo);
    d_->open();
}

CurlFtpClient::~CurlFtpClient() = default;

void CurlFtpClient::setPump(Pump pump) { d_->pump = std::move(pump); }

bool CurlFtpClient::Connected() const { return d_->connected && d_->session->keepsConnection(); }

void CurlFtpClient::Disconnect() {
    if (d_->session->busy()) throw FtpConnectError(busyText(ftpUrl({})));
    d_->open();
}

void CurlFtpClient::Connect() {
    const std::string url = ftpUrl({});
    if (d_->session->busy()) throw FtpConnectError(busyText(url));
    CURL* h = d_->session->easy();
    // A request for the root without a body: connect, greeting, log-in, and nothing else.
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, curl_off_t{0});
    const CURLcode code = d_->perform(url);
    if (code != CURLE_OK) throw FtpConnectError(d_->session->errorText(code) + ": " + url);
    d_->connected = true;
}

void CurlFtpClient::Get(const std::string& remotePath, const std::filesystem::path& localPath,
                        bool overwrite, bool resume) {
    const std::string url = ftpUrl(remotePath);
    const std::string local = utf8Of(localPath);
    if (d_->session->busy()) throw FtpGetError(busyText(url));
    std::error_code ignored;
    if (std::filesystem::exists(localPath, ignored)) {
        if (overwrite) {
            // unlink, not filesystem::remove: an empty folder of that name is no file to replace.
            if (::unlink(localPath.c_str()) != 0) {
                const int error = errno;  // before the message allocates
                throw FtpGetError("Cannot delete " + local + ": " + errnoText(error));
            }
            resume = false;
        } else if (!resume) {
            throw FtpGetError("The file " + local + " exists already");
        }
    }
    const std::unique_ptr<std::FILE, FileClose> file(
        std::fopen(localPath.c_str(), resume ? "ab" : "wb"));
    if (!file) {
        const int error = errno;
        throw FtpGetError("Cannot write " + local + ": " + errnoText(error));
    }
    curl_off_t offset = 0;
    if (resume) {
        std::error_code error;
        const auto size = std::filesystem::file_size(localPath, error);
        if (!error) offset = static_cast<curl_off_t>(size);
    }

    CURL* h = d_->session->easy();
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, offset);
    d_->file = file.get();
    d_->writeError = 0;
    struct Release {
        Impl* d;
        ~Release() { d->file = nullptr; }
    } release{d_.get()};
    const CURLcode code = d_->perform(url);
    // The buffered rest goes to the file now, so that a full disk shows here.
    const bool written = std::fflush(file.get()) == 0;
    if (!written && d_->writeError == 0) d_->writeError = errno;
    if (code == CURLE_WRITE_ERROR || !written)
        throw FtpGetError("Cannot write " + local + ": " + errnoText(d_->writeError));
    // Only the code's own text: after an active-mode accept curl leaves a misleading note in its
    // error buffer that would hide the real cause.
    if (code != CURLE_OK) throw FtpGetError(std::string(curl_easy_strerror(code)) + ": " + url);
}

}  // namespace volnor::posix

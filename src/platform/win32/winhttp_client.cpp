#include "platform/win32/winhttp_client.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "transfer/connect_to.h"

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace volnor::win32 {

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two calls of the pump while a transfer blocks.
constexpr std::chrono::milliseconds kPumpInterval{50};
// The most one read asks for; WinHTTP hands over what has arrived, up to that.
constexpr DWORD kReadSize = 64 * 1024;

struct HandleClose {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

DWORD ms(std::chrono::milliseconds value) { return static_cast<DWORD>(value.count()); }

// WinHTTP's own text for its codes, the system's for the others (Winsock's among them).
std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS,
        GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::string text = length ? narrow(std::wstring_view(buffer, length)) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.'))
        text.pop_back();
    const std::string number = "WinHTTP error " + std::to_string(code);
    return text.empty() ? number : text + " (" + number + ")";
}

std::string busyText(const std::string& url) {
    return "Another transfer of this client is still running: " + url;
}

// The whole body in memory.
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

// One request as the worker thread runs it and the calling thread takes its body. Shared by the
// two: when the caller leaves early (a refused write, an error of the handler or the pump), the
// worker ends on its own after its current call and cleans up.
struct Transfer {
    // Set before the worker starts.
    std::shared_ptr<void> session;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
    bool followRedirects = false;
    std::wstring headers;
    DWORD connectMs = 0;
    DWORD stallMs = 0;

    std::mutex mutex;
    std::condition_variable changed;
    // Worker to caller: one block of the body at a time, then the end.
    std::string block;
    bool blockReady = false;
    bool done = false;
    DWORD error = 0;  // 0: the request went through
    bool secureTimedOut = false;
    long status = 0;
    long long contentLength = -1;
    long long received = 0;
    // Caller to worker.
    bool abandoned = false;

    void finish(DWORD code) {
        const std::lock_guard lock(mutex);
        error = code;
        done = true;
        changed.notify_all();
    }

    // Hands a block to the caller and waits until it is taken; false when the caller left.
    bool handOver(std::string& data) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !blockReady || abandoned; });
        if (abandoned) return false;
        block.swap(data);
        blockReady = true;
        changed.notify_all();
        return true;
    }

    void run() {
        const Handle connection(WinHttpConnect(session.get(), host.c_str(), port, 0));
        if (!connection) return finish(GetLastError());
        const Handle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return finish(GetLastError());
        HINTERNET r = request.get();
        // The receive time-outs hold for the TLS handshake and the answer too: a silent server
        // fails the request instead of holding it without end.
        DWORD responseMs = stallMs;
        if (!WinHttpSetTimeouts(r, static_cast<int>(connectMs), static_cast<int>(connectMs),
                                static_cast<int>(stallMs), static_cast<int>(stallMs)) ||
            !WinHttpSetOption(r, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                              sizeof responseMs))
            return finish(GetLastError());
        if (followRedirects) {
            DWORD most = HttpClient::kMaxRedirects;
            if (!WinHttpSetOption(r, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &most,
                                  sizeof most))
                return finish(GetLastError());
        } else {
            DWORD feature = WINHTTP_DISABLE_REDIRECTS;
            if (!WinHttpSetOption(r, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature))
                return finish(GetLastError());
        }
        if (!WinHttpAddRequestHeaders(r, headers.c_str(), static_cast<DWORD>(-1),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
            return finish(GetLastError());

        const Clock::time_point sent = Clock::now();
        if (!WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                0, 0)) {
            const DWORD code = GetLastError();
            // WinHTTP under Wine reports a handshake that got no answer as a channel error; one
            // that failed only once the time-out had run out failed because nothing came.
            secureTimedOut = code == ERROR_WINHTTP_SECURE_CHANNEL_ERROR &&
                             Clock::now() - sent >= std::chrono::milliseconds(stallMs);
            return finish(code);
        }
        if (!WinHttpReceiveResponse(r, nullptr)) return finish(GetLastError());

        DWORD code = 0;
        DWORD size = sizeof code;
        if (!WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &code, &size,
                                 WINHTTP_NO_HEADER_INDEX))
            return finish(GetLastError());
        wchar_t length[32] = {};
        size = sizeof length;
        long long announced = -1;
        if (WinHttpQueryHeaders(r, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                                length, &size, WINHTTP_NO_HEADER_INDEX))
            announced = std::wcstoll(length, nullptr, 10);
        {
            const std::lock_guard lock(mutex);
            status = static_cast<long>(code);
            contentLength = announced;
        }
        // An error page is never handed out as data.
        if (code < 200 || code > 299) return finish(0);

        std::string data;
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(r, &available)) return finish(GetLastError());
            if (available == 0) return finish(0);
            data.resize(std::min(available, kReadSize));
            DWORD read = 0;
            if (!WinHttpReadData(r, data.data(), static_cast<DWORD>(data.size()), &read))
                return finish(GetLastError());
            if (read == 0) return finish(0);
            data.resize(read);
            {
                const std::lock_guard lock(mutex);
                received += read;
            }
            if (!handOver(data)) return;
        }
    }
};

}  // namespace

std::string webProxy(std::string_view connectTo) {
    const auto target = connectTarget(connectToList(connectTo), buildconfig::kWebHost, 443);
    return target ? target->host + ":" + std::to_string(target->port) : std::string();
}

TransferError::Kind kindOfWinHttpError(unsigned long code) {
    using Kind = TransferError::Kind;
    switch (code) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return Kind::NoConnection;
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:  // what WinHTTP under Wine gives for a silent server
            return Kind::TimedOut;
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return Kind::BrokenOff;
        // Windows names what is wrong with the certificate (or says 12175 and tells the status
        // callback); all of them refuse the server.
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return Kind::Certificate;
        // On Windows a failed handshake: no TLS version or cipher in common. Wine gives it for a
        // refused certificate as well, without telling which.
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
            return Kind::Secure;
        default:
            return Kind::Other;
    }
}

struct WinHttpClient::Impl {
    std::shared_ptr<void> session;
    bool handleRedirects = false;
    std::string userAgent = kStoredUserAgent;
    WorkHandler onWork;
    Pump pump;
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::milliseconds stallTimeout = kStallTimeout;
    bool busy = false;
};

WinHttpClient::WinHttpClient(std::string proxy) : d_(std::make_unique<Impl>()) {
    const std::wstring proxyName = wide(proxy);
    HINTERNET session = WinHttpOpen(
        wide(kStoredUserAgent).c_str(),
        proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxyName.c_str(), WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) throw Error("WinHTTP could not be opened: " + errorText(GetLastError()));
    d_->session = std::shared_ptr<void>(session, HandleClose());
    // TLS 1.2 at least, 1.3 where the system has it. The server's chain must lead to a CA of the
    // system's store and its certificate must name the host (WinHTTP's default, which no
    // security flag here relaxes): whoever answers in the maker's place must not be taken for
    // the maker.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                          sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                              sizeof protocols))
            throw Error("WinHTTP cannot use TLS 1.2: " + errorText(GetLastError()));
    }
}

WinHttpClient::~WinHttpClient() = default;

void WinHttpClient::setHandleRedirects(bool on) { d_->handleRedirects = on; }
bool WinHttpClient::handleRedirects() const { return d_->handleRedirects; }
void WinHttpClient::setUserAgent(const std::string& userAgent) { d_->userAgent = userAgent; }
std::string WinHttpClient::userAgent() const { return d_->userAgent; }
void WinHttpClient::setOnWork(WorkHandler handler) { d_->onWork = std::move(handler); }
void WinHttpClient::setPump(Pump pump) { d_->pump = std::move(pump); }
void WinHttpClient::setStallTimeout(std::chrono::milliseconds timeout) {
    d_->stallTimeout = timeout;
}
void WinHttpClient::setConnectTimeout(std::chrono::milliseconds timeout) {
    d_->connectTimeout = timeout;
}

void WinHttpClient::Get(const std::string& url, std::string& buffer) {
    if (d_->busy) throw TransferError(busyText(url), TransferError::Kind::Other, 0);
    buffer.clear();
    StringSink sink(buffer);
    Get(url, sink);
}

void WinHttpClient::Get(const std::string& url, ByteSink& sink) {
    using Kind = TransferError::Kind;
    // A pump that processes events could otherwise start a second transfer in the middle of
    // this one.
    if (d_->busy) throw TransferError(busyText(url), Kind::Other, 0);

    const std::wstring wideUrl = wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTPS && parts.nScheme != INTERNET_SCHEME_HTTP))
        throw TransferError("Not an http(s) URL: " + url, Kind::Other, 0);

    auto transfer = std::make_shared<Transfer>();
    transfer->session = d_->session;
    transfer->host.assign(parts.lpszHostName, parts.dwHostNameLength);
    transfer->port = parts.nPort;
    transfer->path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    transfer->path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (transfer->path.empty()) transfer->path = L"/";
    transfer->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    transfer->followRedirects = d_->handleRedirects;
    transfer->headers =
        wide("User-Agent: " + d_->userAgent + "\r\nAccept: " + std::string(kAccept) + "\r\n");
    transfer->connectMs = ms(d_->connectTimeout);
    transfer->stallMs = ms(d_->stallTimeout);

    d_->busy = true;
    // However Get ends, the worker is told to stop handing over blocks, and the client is free.
    struct Release {
        Impl* d;
        Transfer* t;
        ~Release() {
            {
                const std::lock_guard lock(t->mutex);
                t->abandoned = true;
            }
            t->changed.notify_all();
            d->busy = false;
        }
    } release{d_.get(), transfer.get()};
    std::thread([transfer] { transfer->run(); }).detach();

    Clock::time_point lastPump = Clock::now();
    for (;;) {
        std::unique_lock lock(transfer->mutex);
        transfer->changed.wait_for(lock, kPumpInterval,
                                   [&] { return transfer->blockReady || transfer->done; });
        if (transfer->blockReady) {
            std::string block;
            block.swap(transfer->block);
            transfer->blockReady = false;
            lock.unlock();
            transfer->changed.notify_all();
            if (!sink.write(block))
                throw Error("Не удалось записать полученные данные (" + sink.errorText() + ")");
            if (d_->onWork)
                d_->onWork(*this, WorkMode::Read, static_cast<std::int64_t>(block.size()));
        } else if (transfer->done) {
            break;
        } else {
            lock.unlock();
        }
        if (Clock::now() - lastPump >= kPumpInterval) {
            if (d_->pump) d_->pump();
            lastPump = Clock::now();
        }
    }

    // The worker has ended; what it left is read without a lock.
    const long status = transfer->status;
    if (transfer->error != 0) {
        const DWORD code = transfer->error;
        throw TransferError(errorText(code) + ": " + url,
                            transfer->secureTimedOut ? Kind::TimedOut : kindOfWinHttpError(code),
                            status);
    }
    if (status < 200 || status > 299) {
        const Kind kind = status == 404 || status == 410      ? Kind::NotFound
                          : status >= 500 && status <= 599 ? Kind::ServerError
                                                           : Kind::OtherStatus;
        throw TransferError("HTTP status " + std::to_string(status) + ": " + url, kind, status);
    }
    if (transfer->contentLength >= 0 && transfer->received < transfer->contentLength)
        throw TransferError("The body ended after " + std::to_string(transfer->received) +
                                " of " + std::to_string(transfer->contentLength) +
                                " bytes: " + url,
                            Kind::Incomplete, status);
}

}  // namespace volnor::win32

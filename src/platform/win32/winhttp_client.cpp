#include "platform/win32/winhttp_client.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "platform/win32/worker_call.h"
#include "transfer/connect_to.h"

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace volnor::win32 {

namespace {

using Clock = std::chrono::steady_clock;

// The most one read asks for; WinHTTP hands over what has arrived, up to that.
constexpr DWORD kReadSize = 64 * 1024;

struct HandleClose {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

DWORD ms(std::chrono::milliseconds value) { return static_cast<DWORD>(value.count()); }

// "The attempt to connect to the server failed. (12029)"; "WinHTTP error (12157)" where the
// system has no text for the code (Wine has none for WinHTTP's).
std::string errorText(DWORD code) {
    const std::string text = lastErrorText(code);
    return text.front() == '(' ? "WinHTTP error " + text : text;
}

std::string busyText(const std::string& url) {
    return "Another transfer of this client is still running: " + url;
}

// One request as its worker runs it. What it learns is read by the caller once it has ended.
struct Request {
    std::shared_ptr<void> session;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
    bool followRedirects = false;
    std::wstring headers;
    DWORD connectMs = 0;
    DWORD stallMs = 0;

    DWORD error = 0;  // 0: the request went through
    bool secureTimedOut = false;
    long status = 0;
    long long contentLength = -1;
    long long received = 0;

    void run(WorkerCall::Context& call) {
        const Handle connection(WinHttpConnect(session.get(), host.c_str(), port, 0));
        if (!connection) return fail();
        const Handle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return fail();
        HINTERNET r = request.get();
        // The receive time-outs hold for the TLS handshake and the answer too: a silent server
        // fails the request instead of holding it without end.
        DWORD responseMs = stallMs;
        if (!WinHttpSetTimeouts(r, static_cast<int>(connectMs), static_cast<int>(connectMs),
                                static_cast<int>(stallMs), static_cast<int>(stallMs)) ||
            !WinHttpSetOption(r, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                              sizeof responseMs))
            return fail();
        if (followRedirects) {
            DWORD most = HttpClient::kMaxRedirects;
            if (!WinHttpSetOption(r, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &most,
                                  sizeof most))
                return fail();
        } else {
            DWORD feature = WINHTTP_DISABLE_REDIRECTS;
            if (!WinHttpSetOption(r, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature))
                return fail();
        }
        if (!WinHttpAddRequestHeaders(r, headers.c_str(), static_cast<DWORD>(-1),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
            return fail();

        const Clock::time_point sent = Clock::now();
        if (!WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                0)) {
            fail();
            // WinHTTP under Wine reports a handshake that got no answer as a channel error; one
            // that failed only once the time-out had run out failed because nothing came.
            secureTimedOut = error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR &&
                             Clock::now() - sent >= std::chrono::milliseconds(stallMs);
            return;
        }
        if (!WinHttpReceiveResponse(r, nullptr)) return fail();

        DWORD code = 0;
        DWORD size = sizeof code;
        if (!WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &code, &size,
                                 WINHTTP_NO_HEADER_INDEX))
            return fail();
        status = static_cast<long>(code);
        wchar_t length[32] = {};
        size = sizeof length;
        if (WinHttpQueryHeaders(r, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                                length, &size, WINHTTP_NO_HEADER_INDEX))
            contentLength = std::wcstoll(length, nullptr, 10);
        // An error page is never handed out as data.
        if (code < 200 || code > 299) return;

        std::string data;
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(r, &available)) return fail();
            if (available == 0) return;
            data.resize(std::min(available, kReadSize));
            DWORD read = 0;
            if (!WinHttpReadData(r, data.data(), static_cast<DWORD>(data.size()), &read))
                return fail();
            if (read == 0) return;
            data.resize(read);
            received += read;
            if (!call.handOver(data)) return;
        }
    }

    void fail() { error = GetLastError(); }
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
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
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

    auto request = std::make_shared<Request>();
    request->session = d_->session;
    request->host.assign(parts.lpszHostName, parts.dwHostNameLength);
    request->port = parts.nPort;
    request->path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    request->path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (request->path.empty()) request->path = L"/";
    request->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    request->followRedirects = d_->handleRedirects;
    request->headers =
        wide("User-Agent: " + d_->userAgent + "\r\nAccept: " + std::string(kAccept) + "\r\n");
    request->connectMs = ms(d_->connectTimeout);
    request->stallMs = ms(d_->stallTimeout);

    d_->busy = true;
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{d_->busy};
    WorkerCall::run(
        [request](WorkerCall::Context& call) {
            request->run(call);
            return std::string();
        },
        [&](std::string& block) {
            if (!sink.write(block))
                throw Error("Не удалось записать полученные данные (" + sink.errorText() + ")");
            if (d_->onWork)
                d_->onWork(*this, WorkMode::Read, static_cast<std::int64_t>(block.size()));
        },
        d_->pump);

    // The request has ended: what it learnt is read without a lock.
    const long status = request->status;
    if (request->error != 0)
        throw TransferError(
            errorText(request->error) + ": " + url,
            request->secureTimedOut ? Kind::TimedOut : kindOfWinHttpError(request->error), status);
    if (status < 200 || status > 299) {
        const Kind kind = status == 404 || status == 410   ? Kind::NotFound
                          : status >= 500 && status <= 599 ? Kind::ServerError
                                                           : Kind::OtherStatus;
        throw TransferError("HTTP status " + std::to_string(status) + ": " + url, kind, status);
    }
    if (request->contentLength >= 0 && request->received < request->contentLength)
        throw TransferError("The body ended after " + std::to_string(request->received) + " of " +
                                std::to_string(request->contentLength) + " bytes: " + url,
                            Kind::Incomplete, status);
}

}  // namespace volnor::win32

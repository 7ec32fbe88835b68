#include "transfer/ftp_client.h"

#include <QFile>
#include <QUrl>

#include "buildconfig.h"
#include "transfer/curl_session.h"

namespace volnor {

namespace {

long ms(std::chrono::milliseconds value) { return static_cast<long>(value.count()); }

QString serverUrl(const QString& path) {
    return QStringLiteral("ftp://%1:%2/")
               .arg(QString::fromUtf8(buildconfig::kFtpHost))
               .arg(FtpClient::kPort) +
           QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

}  // namespace

struct FtpClient::Impl {
    transfer::Slist connectTo;
    std::unique_ptr<transfer::CurlSession> session;
    bool connected = false;
    Pump pump;
    QFile* file = nullptr;

    // A fresh handle with the client's settings; the old one, if any, closes its connection.
    void open() {
        session.reset();
        session = std::make_unique<transfer::CurlSession>();
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
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, transfer::wholeSeconds(kReplyTimeout));
        curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, ms(kListenTimeout));
        transfer::setStallLimit(h, kTransferTimeout);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
        connected = false;
    }

    static size_t write(char* data, size_t size, size_t count, void* user) {
        auto* d = static_cast<Impl*>(user);
        const qint64 bytes = static_cast<qint64>(size * count);
        return d->file && d->file->write(data, bytes) == bytes ? size * count : 0;
    }

    CURLcode perform(const QString& url) {
        CURL* h = session->easy();
        const QByteArray encoded = url.toUtf8();
        curl_easy_setopt(h, CURLOPT_URL, encoded.constData());
        return session->perform(pump);
    }
};

FtpClient::FtpClient(QStringList connectTo) : d_(std::make_unique<Impl>()) {
    d_->connectTo = transfer::makeSlist(connectTo);
    d_->open();
}

FtpClient::~FtpClient() = default;

void FtpClient::setPump(Pump pump) { d_->pump = std::move(pump); }

bool FtpClient::Connected() const { return d_->connected && d_->session->keepsConnection(); }

void FtpClient::Disconnect() {
    if (d_->session->busy()) throw FtpConnectError(transfer::CurlSession::busyText(serverUrl({})));
    d_->open();
}

void FtpClient::Connect() {
    const QString url = serverUrl(QString());
    if (d_->session->busy()) throw FtpConnectError(transfer::CurlSession::busyText(url));
    CURL* h = d_->session->easy();
    // A request for the root without a body: connect, greeting, log-in, and nothing else.
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, curl_off_t{0});
    const CURLcode code = d_->perform(url);
    if (code != CURLE_OK)
        throw FtpConnectError(QStringLiteral("%1: %2").arg(d_->session->errorText(code), url));
    d_->connected = true;
}

void FtpClient::Get(const QString& remotePath, const QString& localPath, bool overwrite,
                    bool resume) {
    QFile file(localPath);
    const QString url = serverUrl(remotePath);
    if (d_->session->busy()) throw FtpGetError(transfer::CurlSession::busyText(url));
    if (file.exists()) {
        if (overwrite) {
            if (!file.remove())
                throw FtpGetError(
                    QStringLiteral("Cannot delete %1: %2").arg(localPath, file.errorString()));
            resume = false;
        } else if (!resume) {
            throw FtpGetError(QStringLiteral("The file %1 exists already").arg(localPath));
        }
    }
    if (!file.open(resume ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate))
        throw FtpGetError(QStringLiteral("Cannot write %1: %2").arg(localPath, file.errorString()));

    CURL* h = d_->session->easy();
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, curl_off_t{resume ? file.size() : 0});
    d_->file = &file;
    struct Release {
        Impl* d;
        ~Release() { d->file = nullptr; }
    } release{d_.get()};
    const CURLcode code = d_->perform(url);
    const bool written = file.flush();
    if (code == CURLE_WRITE_ERROR || !written)
        throw FtpGetError(QStringLiteral("Cannot write %1: %2").arg(localPath, file.errorString()));
    // Only the code's own text: after an active-mode accept curl leaves a misleading note in its
    // error buffer that would hide the real cause.
    if (code != CURLE_OK)
        throw FtpGetError(
            QStringLiteral("%1: %2").arg(QString::fromUtf8(curl_easy_strerror(code)), url));
}

}  // namespace volnor

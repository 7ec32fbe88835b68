#include "support/servers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

#include "buildconfig.h"

namespace volnor::test {

namespace {

QString serverScript(const char* name) {
    return QStringLiteral(VOLNOR_TESTS_DIR "/servers/") + QString::fromLatin1(name);
}

}  // namespace

ServerProcess::ServerProcess(const QString& script, const QStringList& args)
    : process_(std::make_unique<QProcess>()) {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder for the test server");
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("/usr/bin/python3"),
                    QStringList{script, QStringLiteral("--workdir"), dir_.path(),
                                QStringLiteral("--record"), recordFile()} +
                        args);
    // The script prints its port on the first line once it listens.
    const QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
        out += process_->readAllStandardOutput();
    }
    bool ok = false;
    port_ = out.left(out.indexOf('\n')).trimmed().toInt(&ok);
    if (!ok || port_ <= 0) {
        process_->kill();
        process_->waitForFinished(5000);
        throw std::runtime_error("test server " + script.toStdString() + " did not start");
    }
}

ServerProcess::~ServerProcess() {
    process_->kill();
    process_->waitForFinished(5000);
}

QList<QByteArray> ServerProcess::recordLines() const {
    QFile file(recordFile());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QStringList RecordedRequest::values(const QString& name) const {
    QStringList found;
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) found << value;
    return found;
}

HttpsServer::HttpsServer(const QString& root, Cert cert, Tls tls)
    : process_(serverScript("https_server.py"),
               {QStringLiteral("--root"), root, QStringLiteral("--cert"),
                cert == Cert::Expired     ? QStringLiteral("expired")
                : cert == Cert::WrongName ? QStringLiteral("wrongname")
                                          : QStringLiteral("selfsigned"),
                QStringLiteral("--tls"),
                tls == Tls::V1_2Only   ? QStringLiteral("1.2")
                : tls == Tls::V1_3Only ? QStringLiteral("1.3")
                : tls == Tls::Silent   ? QStringLiteral("silent")
                                       : QStringLiteral("any")}) {}

QStringList HttpsServer::connectTo() const {
    return {QStringLiteral("%1:443:127.0.0.1:%2")
                .arg(QString::fromUtf8(buildconfig::kWebHost))
                .arg(port())};
}

QString HttpsServer::url(const QString& path) {
    return QStringLiteral("https://") + QString::fromUtf8(buildconfig::kWebHost) + path;
}

QList<RecordedRequest> HttpsServer::requests() const {
    QList<RecordedRequest> requests;
    for (const QByteArray& line : process_.recordLines()) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        RecordedRequest r{o.value("method").toString(),
                          o.value("path").toString(),
                          o.value("version").toString(),
                          o.value("client_port").toInt(),
                          {}};
        for (const QJsonValue& h : o.value("headers").toArray())
            r.headers.append({h.toArray().at(0).toString(), h.toArray().at(1).toString()});
        requests.append(r);
    }
    return requests;
}

FtpServer::FtpServer(const QString& root, Mode mode)
    : process_(serverScript("ftp_server.py"),
               {QStringLiteral("--root"), root, QStringLiteral("--mode"),
                mode == Mode::RefuseLogin        ? QStringLiteral("refuse-login")
                : mode == Mode::NoDataConnection ? QStringLiteral("no-data-connection")
                : mode == Mode::StallData        ? QStringLiteral("stall-data")
                                                 : QStringLiteral("normal")}) {}

QStringList FtpServer::connectTo() const {
    return {QStringLiteral("%1:2121:127.0.0.1:%2")
                .arg(QString::fromUtf8(buildconfig::kFtpHost))
                .arg(port())};
}

QStringList FtpServer::commands() const {
    QStringList commands;
    for (const QByteArray& line : process_.recordLines())
        commands << QJsonDocument::fromJson(line).object().value("command").toString();
    return commands;
}

}  // namespace volnor::test

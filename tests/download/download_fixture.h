#pragma once
// A program directory, a local HTTPS server standing for the maker's web server, and a
// Downloader wired to them with recording dialogs and shell.
#include <QDir>
#include <QUrl>
#include <memory>

#include "download/downloader.h"
#include "download/program_dir.h"
#include "support/recorders.h"
#include "support/servers.h"
#include "transfer/http_client.h"

namespace volnor::test {

class DownloadTest : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        ASSERT_TRUE(web_.isValid());
        server_ = std::make_unique<HttpsServer>(web_.path());
        http_ = std::make_unique<HttpClient>(server_->connectTo());
        http_->setOnWork([this](HttpClient&, HttpClient::WorkMode, std::int64_t count) {
            progress_.advance(count);
        });
        downloader_ = std::make_unique<Downloader>(*http_, progress_, dialogs_, shell_, runner(),
                                                   [this] { ++pumped_; });
    }
    void TearDown() override {
        downloader_.reset();
        ProgramDirTest::TearDown();
    }

    // Serves bytes at the path of an archive URL.
    void serve(const QString& url, const QByteArray& bytes) {
        const QString file = web_.path() + QUrl(url).path();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Serves bytes at the path of an archive URL, but the server closes the connection after
    // `sent` of them, in the middle of the body.
    void serveBroken(const QString& url, const QByteArray& bytes, qsizetype sent) {
        serve(url, bytes);
        QFile cut(web_.path() + QUrl(url).path() + QStringLiteral(".cut"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(QByteArray::number(sent));
    }
    // An archive as the maker publishes it: EDZ files and a text file.
    static QByteArray edzArchive(const QStringList& edz, const QByteArray& data = "edz") {
        QList<ZipEntry> entries;
        for (const QString& name : edz) entries.append({name, data + " " + name.toUtf8()});
        entries.append({QStringLiteral("readme.txt"), "readme"});
        return zip(entries);
    }
    // The paths the server was asked for, in order.
    QStringList requestedPaths() const {
        QStringList out;
        for (const RecordedRequest& r : server_->requests()) out << r.path;
        return out;
    }

    QTemporaryDir web_;
    std::unique_ptr<HttpsServer> server_;
    std::unique_ptr<HttpClient> http_;
    HeldProgress progress_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    int pumped_ = 0;
    std::unique_ptr<Downloader> downloader_;
};

}  // namespace volnor::test

#include "download/downloader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "catalogue/catalogue.h"
#include "download/failure_reason.h"
#include "download/script_file.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/filesearch.h"
#include "platform/shell.h"
#include "transfer/http_client.h"
#include "transfer/transfer_error.h"

namespace volnor {

namespace {

const QString kDone = QStringLiteral("Загрузка завершена!");

// ExtractFileExt: from the last "." to the end, the dot included.
QString extensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

void deleteWithExtension(const QString& mask, const QString& extension) {
    for (const QString& name : findEntries(QString(), mask)) {
        if (extensionOf(name) == extension) QFile::remove(name);  // a failure leaves it there
    }
}

QString saveArchive(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return {};
    return QStringLiteral("не удалось сохранить файл «%1»: %2").arg(path, file.errorString());
}

}  // namespace

Downloader::Downloader(HttpClient& http, Progress& progress, Dialogs& dialogs, Shell& shell,
                       ScriptRunner runner, Pump pump)
    : http_(http),
      progress_(progress),
      dialogs_(dialogs),
      shell_(shell),
      runner_(std::move(runner)),
      pump_(std::move(pump)) {}

Downloader::~Downloader() {
    if (!running_) return;
    running_->wait({});  // the window may be gone: no pump here
    running_.reset();
    QFile::remove(runningScriptPath_);
}

void Downloader::finishScripts() {
    if (!running_) return;
    outcomes_[runningIndex_].unpack = running_->wait(pump_);
    running_.reset();
    QFile::remove(runningScriptPath_);
}

void Downloader::getfile(const QString& webpro, const QString& nodeText) {
    fetch(webpro, nodeText, Folder::AfterTransfer);
}

void Downloader::fetch(const QString& webpro, const QString& nodeText, Folder folder) {
    const QString shortweb = catalogue::shortweb(webpro);
    if (folder == Folder::BeforeTransfer) QDir::current().mkdir(nodeText);

    ArchiveOutcome outcome{shortweb, {}, std::nullopt};
    QByteArray stream;
    try {
        http_.Get(webpro, stream);
    } catch (const TransferError& e) {
        outcome.transferError = failureReason(e);
        stream = QByteArray();
    } catch (const Error& e) {
        outcome.transferError = e.text();
        stream = QByteArray();
    }
    progress_.setPosition(0);

    // Nothing of this archive touches the disk while the previous script still unpacks: it
    // may be reading an archive of the same name.
    finishScripts();
    if (outcome.transferError.isEmpty()) {
        if (folder == Folder::AfterTransfer) QDir::current().mkdir(nodeText);
        outcome.transferError = saveArchive(shortweb, stream);
    }
    stream = QByteArray();
    outcomes_.push_back(outcome);

    const QString script = QDir::current().absoluteFilePath(shortweb + QStringLiteral(".cmd"));
    writeScript(script, unpackScript(shortweb));
    running_ = runner_.start(script);
    runningScriptPath_ = script;
    runningIndex_ = outcomes_.size() - 1;
}

void Downloader::download(const std::optional<QString>& currentNode) {
    if (!currentNode) return;
    const QString& node = *currentNode;
    finishScripts();
    outcomes_.clear();

    QStringList menulist;
    catalogue::menuload(menulist);
    if (const auto entry = catalogue::findEntry(menulist, node))
        fetch(entry->webpro, node, Folder::BeforeTransfer);
    if (const catalogue::GroupRow* row = catalogue::findRow(node))
        for (const QString& url : row->urls) getfile(url, node);
    // The arrangement acts on what the unpacks produced: let the last one end first.
    finishScripts();
    arrange(node);
    report(node);
}

void Downloader::arrange(const QString& nodeText) {
    deleteWithExtension(QStringLiteral("*.zip"), QStringLiteral(".zip"));
    deleteWithExtension(QStringLiteral("*.7z"), QStringLiteral(".7z"));
    const QDir target(nodeText);
    for (const QString& name : findEntries(QString(), QStringLiteral("*.edz"))) {
        // QFile::rename never replaces an existing target: an older file stays as it is.
        QFile::rename(name, target.filePath(name));
    }
}

void Downloader::report(const QString& nodeText) {
    QStringList notFetched;
    QStringList notUnpacked;
    for (const ArchiveOutcome& o : outcomes_) {
        QString line;
        if (!o.transferError.isEmpty()) {
            line = QStringLiteral("  %1: %2").arg(o.archive, o.transferError);
            if (!notFetched.contains(line)) notFetched << line;
        } else if (!o.ok()) {
            line = QStringLiteral("  %1: %2")
                       .arg(o.archive, unpackFailureReason(o.unpack.value_or(ScriptResult{})));
            if (!notUnpacked.contains(line)) notUnpacked << line;
        }
    }
    if (notFetched.isEmpty() && notUnpacked.isEmpty()) {
        dialogs_.confirm(kDone);
    } else {
        QString text = QStringLiteral("Загрузка завершена с ошибками.\n");
        if (!notFetched.isEmpty())
            text += QStringLiteral("\nНе удалось скачать:\n") + notFetched.join(QLatin1Char('\n')) +
                    QLatin1Char('\n');
        if (!notUnpacked.isEmpty())
            text += QStringLiteral("\nНе удалось распаковать:\n") +
                    notUnpacked.join(QLatin1Char('\n')) + QLatin1Char('\n');
        text += QStringLiteral("\nПовторите загрузку позже.");
        dialogs_.warning(text);
    }
    const QFileInfo folder(nodeText);
    if (folder.isDir()) shell_.openFolder(folder.absoluteFilePath());
}

}  // namespace volnor

#include "download/failure_reason.h"

#include <QStringList>

#include "platform/script_runner.h"
#include "transfer/transfer_error.h"

namespace volnor {

namespace {

QString reason(TransferError::Kind kind) {
    using Kind = TransferError::Kind;
    switch (kind) {
        case Kind::NotFound:
            return QStringLiteral("файл не найден на сервере");
        case Kind::ServerError:
            return QStringLiteral("ошибка на сервере");
        case Kind::OtherStatus:
            return QStringLiteral("сервер не выдал файл");
        case Kind::NoConnection:
            return QStringLiteral("нет связи с сервером: соединение отклонено или нет сети");
        case Kind::BrokenOff:
            return QStringLiteral("соединение с сервером прервалось");
        case Kind::Incomplete:
            return QStringLiteral("файл получен не полностью");
        case Kind::TimedOut:
            return QStringLiteral("сервер не ответил за отведённое время");
        case Kind::Secure:
            return QStringLiteral("не удалось установить защищённое соединение");
        case Kind::Other:
            break;
    }
    return QStringLiteral("ошибка при скачивании");
}

bool isAnswerOfTheServer(TransferError::Kind kind) {
    using Kind = TransferError::Kind;
    return kind == Kind::NotFound || kind == Kind::ServerError || kind == Kind::OtherStatus;
}

}  // namespace

QString failureReason(const TransferError& error) {
    const TransferError::Kind kind = error.kind();
    // The client's text repeats the status and adds the URL; the status is said once.
    const QString detail =
        isAnswerOfTheServer(kind) ? QString::number(error.httpStatus()) : error.text();
    return QStringLiteral("%1 (%2)").arg(reason(kind), detail);
}

QString unpackFailureReason(const ScriptResult& result) {
    const QString first =
        result.errors.trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0).trimmed();
    const QString reason = QStringLiteral("архив повреждён или не распаковался");
    return first.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, first);
}

}  // namespace volnor

#include "download/failure_reason.h"

#include "platform/script_runner.h"
#include "platform/text.h"
#include "transfer/transfer_error.h"

namespace volnor {

namespace {

std::string reason(TransferError::Kind kind) {
    using Kind = TransferError::Kind;
    switch (kind) {
        case Kind::NotFound:
            return "файл не найден на сервере";
        case Kind::ServerError:
            return "ошибка на сервере";
        case Kind::OtherStatus:
            return "сервер не выдал файл";
        case Kind::NoConnection:
            return "нет связи с сервером: соединение отклонено или нет сети";
        case Kind::BrokenOff:
            return "соединение с сервером прервалось";
        case Kind::Incomplete:
            return "файл получен не полностью";
        case Kind::TimedOut:
            return "сервер не ответил за отведённое время";
        case Kind::Secure:
            return "не удалось установить защищённое соединение";
        case Kind::Certificate:
            return "сертификат сервера не прошёл проверку";
        case Kind::Other:
            break;
    }
    return "ошибка при скачивании";
}

bool isAnswerOfTheServer(TransferError::Kind kind) {
    using Kind = TransferError::Kind;
    return kind == Kind::NotFound || kind == Kind::ServerError || kind == Kind::OtherStatus;
}

}  // namespace

std::string failureReason(const TransferError& error) {
    const TransferError::Kind kind = error.kind();
    // The client's text repeats the status and adds the URL; the status is said once.
    const std::string detail =
        isAnswerOfTheServer(kind) ? std::to_string(error.httpStatus()) : error.text();
    return reason(kind) + " (" + detail + ")";
}

std::string unpackFailureReason(const ScriptResult& result) {
    const std::vector<std::string> lines = split(trimmed(result.errors), '\n', true);
    const std::string first = lines.empty() ? std::string() : std::string(trimmed(lines.front()));
    const std::string reason = "архив повреждён или не распаковался";
    return first.empty() ? reason : reason + " (" + first + ")";
}

}  // namespace volnor

#include "platform/win32/ado_texts.h"

#include "platform/text.h"

namespace volnor::win32::ado::text {
namespace {

std::string name(const Path& file) { return inQuotes(utf8Of(file)); }

// The technical detail: " (detail)", nothing when there is none.
std::string bracketed(std::string_view detail) {
    return detail.empty() ? std::string() : concat(" (", detail, ")");
}

// What a failed compaction leaves: the database itself untouched.
std::string sourceKept(const Path& source) {
    return concat(" База данных ", name(source), " осталась как была, только не сжата.");
}

constexpr std::string_view kChooseAgain =
    " Выберите файл базы деталей (обычно ESS_part001.mdb) и подключите его заново.";
constexpr std::string_view kRetry = " и повторите команду.";
constexpr std::string_view kPartOfWindows =
    "входит в состав Windows для 32-разрядных программ; без него удалять детали из базы "
    "нельзя.";

}  // namespace

std::string notFound(const Path& file) {
    return concat("Файл базы данных ", name(file), " не найден.", kChooseAgain);
}

std::string folderNotFile(const Path& folder) {
    return concat(name(folder), " — папка, а не файл базы данных.", kChooseAgain);
}

std::string noDataSource() {
    return concat("В строке подключения не указан файл базы данных.", kChooseAgain);
}

std::string providerMissing(const Path& file, const std::string& detail) {
    return concat(
        "База данных ", name(file),
        " не открыта: в системе нет поставщика данных «Microsoft.Jet.OLEDB.4.0»", bracketed(detail),
        ". Удаление деталей из базы требует поставщика Jet 4.0, который ", kPartOfWindows);
}

std::string adoMissing(const Path& file, const std::string& detail) {
    return concat("База данных ", name(file),
                  " не открыта: компоненты доступа к данным Windows (ADO) недоступны",
                  bracketed(detail), ".");
}

std::string openFailed(const Path& file, const std::string& detail) {
    return concat("Не удалось открыть базу данных ", name(file), bracketed(detail),
                  ". Проверьте, что это база деталей Access, что её не открыла в монопольном "
                  "режиме другая программа и что у вас есть права на чтение и запись этого "
                  "файла.");
}

std::string connectionClosed() {
    return "Подключение к базе данных закрыто, команда не выполнена. Подключите базу заново.";
}

std::string missingParameter(std::string_view name) {
    return concat("Команде для базы данных не передано значение параметра ", inQuotes(name), ".");
}

std::string statementFailed(const Path& file, const std::string& detail) {
    return concat("Не удалось выполнить команду в базе данных ", name(file), bracketed(detail),
                  ".");
}

std::string engineMissing(const Path& source, const std::string& detail) {
    return concat("Базу данных ", name(source),
                  " не удалось сжать: в системе нет компонента сжатия «JRO.JetEngine» (Microsoft "
                  "Jet and Replication Objects)",
                  bracketed(detail), ". Этот компонент ", kPartOfWindows, sourceKept(source));
}

std::string sourceBusy(const Path& source) {
    return concat("База данных ", name(source),
                  " открыта другой программой (например, EPLAN); сжатие не выполнено. Закройте "
                  "эту программу",
                  kRetry);
}

std::string copyExists(const Path& copy) {
    return concat("Сжатую копию базы нельзя записать в ", name(copy),
                  ": такой файл или папка уже есть. Удалите или переименуйте его", kRetry);
}

std::string copyNotWritten(const Path& copy, const Path& source, const std::string& detail) {
    return concat("Не удалось записать сжатую копию ", name(copy), bracketed(detail), ".",
                  sourceKept(source));
}

std::string copyNotSynced(const Path& copy, const Path& source, const std::string& detail) {
    return concat("Не удалось до конца записать сжатую копию ", name(copy), " на диск",
                  bracketed(detail), ".", sourceKept(source));
}

std::string copyCheckFailed(const Path& copy, const Path& source, const std::string& detail) {
    return concat("Сжатая копия ", name(copy), " не открывается", bracketed(detail), ".",
                  sourceKept(source));
}

std::string sourceReadOnly(const Path& source) {
    return concat("Файл ", name(source),
                  " доступен только для чтения: сжатая копия не может его заменить. Снимите с "
                  "файла атрибут «Только чтение»",
                  kRetry);
}

std::string sourceHeldOpen(const Path& source, const std::string& detail) {
    return concat("Файл ", name(source),
                  " открыт другой программой: сжатая копия не может его заменить",
                  bracketed(detail), ". Закройте эту программу", kRetry);
}

std::string sourceNotReplaced(const Path& source, const std::string& detail) {
    return concat("Не удалось заменить файл ", name(source), " сжатой копией", bracketed(detail),
                  ".", sourceKept(source));
}

}  // namespace volnor::win32::ado::text

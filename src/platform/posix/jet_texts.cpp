#include "platform/posix/jet_texts.h"

#include <sqlite3.h>

#include "platform/text.h"

namespace volnor::posix::jet::text {
namespace {

std::string name(const Path& file) { return inQuotes(utf8Of(file)); }

// The technical detail: " (why)", nothing when there is none.
std::string detail(std::string_view why) {
    return why.empty() ? std::string() : concat(" (", why, ")");
}

// What a failed compaction leaves: the database itself untouched.
std::string sourceKept(const Path& source) {
    return concat(" База данных ", name(source), " осталась как была, только не сжата.");
}

constexpr std::string_view kChooseAgain =
    " Выберите файл базы деталей (обычно ESS_part001.mdb) и подключите его заново.";
constexpr std::string_view kRetry = " и повторите команду.";

std::string busy(const Path& file, const std::string& why) {
    return concat("База данных ", name(file), " занята: другая программа сейчас записывает в неё",
                  detail(why), ". Дождитесь, пока она закончит, или закройте её", kRetry);
}

std::string readOnly(const Path& file, const std::string& why) {
    return concat("База данных ", name(file), " доступна только для чтения, изменить её нельзя",
                  detail(why), ". Дайте права на запись в файл и его папку", kRetry);
}

std::string corrupt(const Path& file, const std::string& why) {
    return concat("База данных ", name(file), " повреждена", detail(why),
                  ". Восстановите её из резервной копии.");
}

std::string diskFull(const Path& file, const std::string& why) {
    return concat("На диске не хватает места для записи в базу данных ", name(file), detail(why),
                  ". Освободите место на диске", kRetry);
}

}  // namespace

std::string notFound(const Path& file) {
    return concat("Файл базы данных ", name(file), " не найден.", kChooseAgain);
}

std::string notADatabase(const Path& file) {
    return concat("Файл ", name(file), " не является базой данных или повреждён.", kChooseAgain);
}

std::string folderNotFile(const Path& folder) {
    return concat(name(folder), " — папка, а не файл базы данных.", kChooseAgain);
}

std::string accessDatabase(const Path& file) {
    return concat(
        "Файл ", name(file),
        " — база данных Access, а эта сборка программы (для Linux) открывать такие базы не "
        "умеет. Подключите эту базу в сборке программы для Windows: та её открывает.");
}

std::string cannotOpen(const Path& file, const std::string& why) {
    return concat("Не удалось открыть файл базы данных ", name(file), detail(why),
                  ". Проверьте, что у вас есть права на чтение и запись этого файла.");
}

std::string openFailed(const Path& file, int code, const std::string& why) {
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return busy(file, why);
        case SQLITE_NOTADB:
            return notADatabase(file);
        case SQLITE_READONLY:
            return concat(
                "Запись в базу данных ", name(file),
                " была прервана, и её журнал восстановления нужно откатить, но файл или его "
                "папка недоступны для записи",
                detail(why), ". Дайте права на запись в файл и его папку", kRetry);
        case SQLITE_CORRUPT:
            return corrupt(file, why);
        default:
            return cannotOpen(file, why);
    }
}

std::string wrongPassword(const Path& file) {
    return concat(
        "Пароль базы данных ", name(file),
        " не подходит, база не открыта. Программа подключается к базе без пароля: снимите с "
        "базы пароль и подключите её заново.");
}

std::string passwordNotWritten(const Path& file, const std::string& why) {
    return concat("Не удалось записать пароль базы данных ", name(file), detail(why), ".");
}

std::string unknownProvider(std::string_view provider) {
    return concat("Поставщик данных ", inQuotes(provider),
                  " не поддерживается: база деталей открывается поставщиком "
                  "«Microsoft.Jet.OLEDB.4.0».");
}

std::string unknownUser(std::string_view user) {
    return concat("Пользователь ", inQuotes(user),
                  " не может подключиться к базе данных: подключение идёт от имени «Admin».");
}

std::string noDataSource() {
    return concat("В строке подключения не указан файл базы данных.", kChooseAgain);
}

std::string connectionClosed() {
    return "Подключение к базе данных закрыто, команда не выполнена. Подключите базу заново.";
}

std::string missingTable(const Path& file, std::string_view table) {
    return concat("В базе данных ", name(file), " нет таблицы ", inQuotes(table),
                  ": похоже, это не база деталей.", kChooseAgain);
}

std::string missingParameter(std::string_view name) {
    return concat("Команде для базы данных не передано значение параметра ", inQuotes(name), ".");
}

std::string statementFailed(const Path& file, int code, const std::string& why) {
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return busy(file, why);
        case SQLITE_FULL:
            return diskFull(file, why);
        case SQLITE_READONLY:
            return readOnly(file, why);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return corrupt(file, why);
        default:
            return concat("Не удалось выполнить команду в базе данных ", name(file), detail(why),
                          ".");
    }
}

std::string walNotFolded(const Path& source, const std::string& why) {
    return concat("Журнал WAL базы данных ", name(source),
                  " не удалось перенести в файл базы: её открыла другая программа", detail(why),
                  ". Закройте эту программу", kRetry);
}

std::string noExclusiveHold(const Path& source, const std::string& why) {
    return concat("Не удалось взять базу данных ", name(source),
                  " в исключительное пользование; сжатие не выполнено", detail(why), ".");
}

std::string sourceBusy(const Path& source, const std::string& why) {
    return concat(
        "База данных ", name(source),
        " занята другой программой, которая её читает или записывает; сжатие не выполнено",
        detail(why), ". Закройте эту программу", kRetry);
}

std::string copyExists(const Path& copy) {
    return concat("Сжатую копию базы нельзя записать в ", name(copy),
                  ": такой файл или папка уже есть. Удалите или переименуйте его", kRetry);
}

std::string copyNotWritten(const Path& copy, const Path& source, int code, const std::string& why) {
    if ((code & 0xff) == SQLITE_FULL)
        return concat("Не удалось записать сжатую копию ", name(copy),
                      ": на диске не хватает места", detail(why), ".", sourceKept(source),
                      " Освободите место на диске", kRetry);
    return concat("Не удалось записать сжатую копию ", name(copy), detail(why), ".",
                  sourceKept(source));
}

std::string copyNotOpened(const Path& copy, const Path& source, const std::string& why) {
    return concat("Не удалось открыть сжатую копию ", name(copy), " для проверки", detail(why), ".",
                  sourceKept(source));
}

std::string copyNotSynced(const Path& copy, const Path& source) {
    return concat("Не удалось до конца записать сжатую копию ", name(copy), " на диск.",
                  sourceKept(source));
}

std::string copyCheckFailed(const Path& copy, const Path& source, const std::string& verdict) {
    return concat("Сжатая копия ", name(copy), " не прошла проверку", detail(verdict), ".",
                  sourceKept(source));
}

std::string sourceReadOnly(const Path& source) {
    return concat("Файл ", name(source),
                  " доступен только для чтения: сжатая копия не может его заменить. Дайте права на "
                  "запись в файл",
                  kRetry);
}

std::string sourceHeldOpen(const Path& source, const std::string& processes) {
    return concat("Файл ", name(source),
                  " открыт другой программой: сжатая копия не может его заменить",
                  detail(concat("процесс ", processes)), ". Закройте эту программу", kRetry);
}

std::string sourceNotReplaced(const Path& source, const std::string& why) {
    return concat("Не удалось заменить файл ", name(source), " сжатой копией", detail(why), ".",
                  sourceKept(source));
}

}  // namespace volnor::posix::jet::text

#include "partsdb/texts.h"

#include "partsdb/ado.h"
#include "platform/text.h"

namespace volnor::partsdb::text {
std::string noDatabaseChosen() {
    return concat("База данных ещё не выбрана (источник данных ", inQuotes(kPlaceholder),
                  "). Выберите файл базы кнопкой «путь к базе» и повторите команду.");
}

std::string parameterNotFound(std::string_view name) {
    return concat("В тексте команды для базы данных нет параметра ", inQuotes(name), ".");
}

std::string badConnectionOption(std::string_view option) {
    return concat("Строку подключения к базе данных не удалось разобрать у параметра ",
                  inQuotes(option),
                  ". Если в пути к файлу базы есть двойная кавычка, переименуйте файл или папку и "
                  "выберите базу заново.");
}

std::string noTemporaryFile(std::string_view folder, std::string_view why) {
    return concat("Не удалось создать временный файл для сжатия базы в папке ", inQuotes(folder),
                  " (", why,
                  "). Проверьте, что папка есть и доступна для записи; база данных осталась как "
                  "была, только не сжата.");
}

std::string copyOntoItself(std::string_view dest) {
    return concat("Сжатую копию нельзя записать в сам файл базы ", inQuotes(dest),
                  ": укажите для неё другой файл.");
}

}  // namespace volnor::partsdb::text

#include "app/app.h"

#include "buildconfig.h"
#include "platform/error.h"
#include "platform/text.h"
#include "transfer/ftp_client.h"

namespace volnor::app {

std::string applicationTitle(const std::filesystem::path& executable) {
    std::string name = utf8Of(executable.filename());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    const std::string first = utf16Mid(name, 0, 1);
    return first + toLower(name.substr(first.size()));
}

std::string withFullStop(const std::string& text) {
    // The last byte of a UTF-8 text stands for its last character: ASCII as itself, any other
    // character by a byte above 0x7F, above '.' as the character is.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + '.';
    return text;
}

std::string errorReportText(const std::exception_ptr& error) {
    std::string text;
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Неизвестная ошибка";
    }
    return withFullStop(text);
}

std::string webSiteUrl() { return "https://" + std::string(buildconfig::kWebHost) + "/"; }

std::string fullArchiveUrl() { return ftpServerUrl() + "/eplan/Eplan.7z"; }

std::string supportMailUrl() {
    return "mailto:" + std::string(buildconfig::kSupportName) + "<" +
           std::string(buildconfig::kSupportEmail) + ">?subject=Вопросы по Eplan";
}

const std::vector<std::string>& instructionLines() {
    // 45 pairs of a hyphen and a blank, and one blank more.
    static const std::string kRule = [] {
        std::string rule;
        for (int i = 0; i < 45; ++i) rule += "- ";
        return rule + ' ';
    }();
    static const std::vector<std::string> lines = {
        std::string("0. Для скачивания файлов щелкните два раза левой кнопкой мыши на группу "
                       "продукции из списка, "),
        std::string("дождитесь получения сообщения о успешном завершении скачивания. "),
        kRule,
        std::string("Импорт файлов осуществляется средствами EPLAN Electric P8: "),
        kRule,
        std::string("1.Откройте базу данных изделий;  "),
        std::string(),
        std::string("2.Выберите Дополнительно -> Импортировать;  "),
        std::string(),
        std::string("3.Выберите из раскрывающегося списка тип файла «Формат обмена данными "
                       "EPLAN Data Portal (EDZ)»;  "),
        std::string(),
        std::string("4.В поле «Имя файла» укажите файлы, необходимые для импорта (возможен "
                       "многократный выбор);  "),
        std::string(),
        std::string("5.Щелкните по кнопке «ОК». "),
        kRule,
        std::string("Для удаления продукции ВОЛНОР необходимо  подключить в программе базу "
                       "данных EPLAN Electric P8: "),
        ' ' + std::string(trimmed(kRule)) + ' ',
        std::string(" 1. Нажмите в меню программы кнопку \"Путь к базе\"; "),
        std::string(),
        std::string("2. В диалоговом окне выберите MDB файл базы данных;"),
        std::string(),
        std::string("3. По умолчанию база данных лежит по следующему пути: "
                       "C:\\Users\\Public\\EPLAN\\Data\\Элементы"),
        std::string("\\ESS_part001.mdb"),
        std::string(),
        std::string("4. Выделить из списка продукцию и нажать правой кнопкой мыши по заголовку "
                       "выбрав из контекстного "),
        std::string("меню пункт \"Удаление группы\"."),
    };
    return lines;
}

}  // namespace volnor::app

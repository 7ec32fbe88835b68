#include "app/app.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/error.h"

namespace volnor::app {
namespace {

TEST(ApplicationTitle, IsTheFileNameWithoutExtensionInLowerCaseAfterTheFirstCharacter) {
    struct Case {
        const char* path;
        const char* title;
    };
    const Case cases[] = {
        {"C:/Program Files/VOLNOR/VOLNOR_Eplan_DB.exe", "Volnor_eplan_db"},
        {"/opt/volnor/VOLNOR_Eplan_DB", "Volnor_eplan_db"},
        {"/x/volnor.Setup.EXE", "volnor.setup"},
        {"/x/ВОЛНОР.exe", "Волнор"},
        {"/x/ЁЛКА_Ärger.exe", "Ёлка_ärger"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(applicationTitle(std::filesystem::path(std::u8string(
                      reinterpret_cast<const char8_t*>(c.path)))),
                  c.title)
            << c.path;
}

TEST(WithFullStop, AddsAStopOnlyAfterCharactersAboveTheFullStop) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"'' is not a valid date", "'' is not a valid date."},
        {"Файл не найден", "Файл не найден."},
        {"Ошибка 404", "Ошибка 404."},
        {"(в скобках)", "(в скобках)"},  // ')' lies below '.'
        {"ends with a colon:", "ends with a colon:."},
        {"Already stopped.", "Already stopped."},
        {"Trailing blank ", "Trailing blank "},
        {"Exclaimed!", "Exclaimed!"},
        {"Comma,", "Comma,"},
        {"Dash-", "Dash-"},
        {"Slash/", "Slash/."},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(withFullStop(c.text), c.shown) << c.text;
}

TEST(ErrorReportText, TakesTheProgramsTextThenAnyOtherErrorsAndNamesTheUnknown) {
    const auto text = [](auto&& raise) {
        try {
            raise();
        } catch (...) {
            return errorReportText(std::current_exception());
        }
        return std::string("nothing raised");
    };
    EXPECT_EQ(text([] { throw Error("'' is not a valid date"); }), "'' is not a valid date.");
    EXPECT_EQ(text([] { throw std::runtime_error("Нет места на диске"); }),
              "Нет места на диске.");
    EXPECT_EQ(text([] { throw 42; }), "Неизвестная ошибка.");
}

}  // namespace
}  // namespace volnor::app

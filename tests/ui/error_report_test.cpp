#include "ui/error_report.h"

#include <gtest/gtest.h>

using volnor::ui::applicationTitle;
using volnor::ui::withFullStop;

TEST(ApplicationTitle, IsTheFileNameWithoutExtensionInLowerCaseAfterTheFirstCharacter) {
    struct Case {
        const char* path;
        const char* title;
    };
    const Case cases[] = {
        {"C:/Program Files/VOLNOR/VOLNOR_Eplan_DB.exe", "Volnor_eplan_db"},  // as Qt gives it
        {"/opt/volnor/VOLNOR_Eplan_DB", "Volnor_eplan_db"},
        {"/x/volnor.Setup.EXE", "volnor.setup"},
        {"/x/ВОЛНОР.exe", "Волнор"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(applicationTitle(QString::fromUtf8(c.path)), QString::fromUtf8(c.title))
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
    for (const auto& c : cases)
        EXPECT_EQ(withFullStop(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
}

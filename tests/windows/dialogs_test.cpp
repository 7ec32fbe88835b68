// The message boxes and the file chooser as a user sees them: the test reads the box's window
// once it is on the screen and closes it as a click would.
#include "platform/win32/dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "platform/text.h"
#include "platform/win32/wide.h"
#include "support/files.h"

namespace volnor::test {
namespace {

std::string textOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return win32::narrow(text);
}

std::string classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return win32::narrow(name);
}

BOOL CALLBACK collect(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

std::vector<HWND> children(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(window, collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What a box showed.
struct Seen {
    std::string title;
    std::vector<std::string> buttons;
    std::vector<std::string> texts;  // of the other visible controls
    HICON icon = nullptr;
};

Seen look(HWND box) {
    Seen seen;
    seen.title = textOf(box);
    for (HWND child : children(box)) {
        if (!IsWindowVisible(child)) continue;
        if (classOf(child) == "Button") {
            seen.buttons.push_back(textOf(child));
        } else if (const auto icon =
                       reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                   classOf(child) == "Static" && icon != nullptr) {
            seen.icon = icon;
        } else if (!textOf(child).empty()) {
            seen.texts.push_back(textOf(child));
        }
    }
    return seen;
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(Boxes, ShowTheirTitleTextIconAndOneRussianButton) {
    struct Case {
        const char* what;
        std::function<void(win32::WinDialogs&)> show;
        std::string title;
        const wchar_t* icon;  // nothing: no icon
        std::string button;
        int buttonId;
    };
    const Case cases[] = {
        {"confirmation", [](win32::WinDialogs& d) { d.confirm("Загрузка завершена!"); },
         "Подтверждение", IDI_QUESTION, "Да", win32::WinDialogs::kYes},
        {"warning", [](win32::WinDialogs& d) { d.warning("Загрузка завершена!"); },
         "Предупреждение", IDI_WARNING, "OK", IDOK},
        {"message", [](win32::WinDialogs& d) { d.showMessage("Загрузка завершена!"); },
         "Volnor_eplan_db", nullptr, "OK", IDOK},
        {"error report",
         [](win32::WinDialogs& d) { d.errorReport("Volnor_eplan_db", "Загрузка завершена!"); },
         "Volnor_eplan_db", IDI_ERROR, "OK", IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win32::WinDialogs dialogs("Volnor_eplan_db");
        std::optional<Seen> seen;
        dialogs.setOnShown([&](HWND box) {
            seen = look(box);
            SendMessageW(box, TDM_CLICK_BUTTON, c.buttonId, 0);
        });
        c.show(dialogs);
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(seen->title, c.title);
        EXPECT_EQ(seen->buttons, std::vector<std::string>{c.button});
        EXPECT_TRUE(contains(seen->texts, "Загрузка завершена!")) << join(seen->texts, "|");
        EXPECT_EQ(seen->icon, c.icon ? LoadIconW(nullptr, c.icon) : nullptr);
    }
}

TEST(FileChooser, TakesItsFilterInTheDialogsForm) {
    using namespace std::string_literals;
    EXPECT_EQ(win32::WinDialogs::fileFilter("Eplan MDB base|*.mdb"), L"Eplan MDB base\0*.mdb\0\0"s);
    EXPECT_EQ(win32::WinDialogs::fileFilter("Базы|*.mdb;*.accdb|Все|*.*"),
              L"Базы\0*.mdb;*.accdb\0Все\0*.*\0\0"s);
}

TEST(FileChooser, ShowsItsTitleAndFilterAndGivesTheChosenPath) {
    const TempDir dir;
    // With backslashes, as the dialog gives a path back.
    const auto windowsPath = [&dir](std::string_view name) {
        fs::path path = dir.file(name);
        return path.make_preferred();
    };
    const fs::path base = windowsPath("Базы EPLAN/ESS_part001.mdb");
    writeFile(base, "");
    struct Case {
        const char* what;
        std::optional<fs::path> typed;  // nothing: cancelled
    };
    const Case cases[] = {
        {"a chosen file", base},
        // The default options take a typed name of a file that is not there.
        {"a missing file", windowsPath("Базы EPLAN/новая.mdb")},
        {"cancelled", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win32::WinDialogs dialogs("Volnor_eplan_db");
        std::string title;
        std::vector<std::string> filters;
        dialogs.setOnShown([&](HWND chooser) {
            title = textOf(chooser);
            const HWND types = GetDlgItem(chooser, cmb1);
            for (LRESULT i = 0; i < SendMessageW(types, CB_GETCOUNT, 0, 0); ++i) {
                wchar_t item[256] = {};
                SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                filters.push_back(win32::narrow(item));
            }
            if (c.typed) {
                SendMessageW(chooser, CDM_SETCONTROLTEXT, cmb13,
                             reinterpret_cast<LPARAM>(c.typed->wstring().c_str()));
                PostMessageW(chooser, WM_COMMAND, IDOK, 0);
            } else {
                PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
            }
        });
        const CurrentDir keep(dir.path());
        const std::optional<std::string> chosen =
            dialogs.chooseFile("Подключение базы данных Eplan", "Eplan MDB base|*.mdb");
        EXPECT_EQ(title, "Подключение базы данных Eplan");
        EXPECT_EQ(filters, std::vector<std::string>{"Eplan MDB base"});
        if (c.typed)
            EXPECT_EQ(chosen, utf8Of(*c.typed));
        else
            EXPECT_FALSE(chosen.has_value());
    }
}

}  // namespace
}  // namespace volnor::test

#pragma once
#include <windows.h>

#include <functional>

#include "platform/dialogs.h"

namespace volnor::win32 {

// Task dialogs (comctl32 version 6, which the program's manifest asks for), whose buttons say
// what the program says in Russian whatever the language of Windows, and the system's file-open
// dialog. The owner is set once the main window exists; until then the boxes belong to no
// window.
class WinDialogs : public Dialogs {
public:
    explicit WinDialogs(std::string applicationTitle);
    void setOwner(HWND owner) { owner_ = owner; }

    // For tests, which must read and close what a user would: called with the window of every
    // box and file chooser once it is on the screen.
    void setOnShown(std::function<void(HWND)> onShown) { onShown_ = std::move(onShown); }

    // The question icon and the one button "Да" (id kYes).
    void confirm(const std::string& text) override;
    // The warning icon, the stop icon, no icon; the one button "OK" (id IDOK).
    void warning(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void errorReport(const std::string& title, const std::string& text) override;
    // GetOpenFileNameW; a typed name of a missing file is taken, and the current directory may
    // change (the caller restores it).
    std::optional<std::string> chooseFile(const std::string& title,
                                          const std::string& filter) override;

    static constexpr int kYes = 100;

    // "Description|*.a;*.b|..." in the form the file dialog takes: "Description\0*.a;*.b\0...\0".
    static std::wstring fileFilter(const std::string& filter);

private:
    enum class Icon { None, Question, Warning, Stop };
    void box(const std::string& title, const std::string& text, Icon icon, int buttonId,
             const wchar_t* button);

    std::string title_;
    HWND owner_ = nullptr;
    std::function<void(HWND)> onShown_;
};

}  // namespace volnor::win32

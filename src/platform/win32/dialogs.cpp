#include "platform/win32/dialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace volnor::win32 {

namespace {

// The longest path the file dialog can give back.
constexpr DWORD kPathBuffer = 32768;

struct Shown {
    const std::function<void(HWND)>* onShown;
    bool told = false;
};

// A test sees the box at its first timer tick, when it can already be clicked.
HRESULT CALLBACK taskDialogEvent(HWND dialog, UINT event, WPARAM, LPARAM, LONG_PTR data) {
    auto* shown = reinterpret_cast<Shown*>(data);
    if (event == TDN_TIMER && !shown->told) {
        shown->told = true;
        (*shown->onShown)(dialog);
    }
    return S_OK;
}

UINT_PTR CALLBACK fileDialogEvent(HWND child, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(child, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
    } else if (message == WM_NOTIFY &&
               reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
        auto* shown = reinterpret_cast<Shown*>(GetWindowLongPtrW(child, GWLP_USERDATA));
        if (shown != nullptr) (*shown->onShown)(GetParent(child));
    }
    return 0;
}

}  // namespace

WinDialogs::WinDialogs(std::string applicationTitle) : title_(std::move(applicationTitle)) {}

void WinDialogs::box(const std::string& title, const std::string& text, Icon icon, int buttonId,
                     const wchar_t* button) {
    const std::wstring caption = wide(title);
    const std::wstring content = wide(text);
    const TASKDIALOG_BUTTON buttons[] = {{buttonId, button}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner_;
    // Closed by Esc and by the frame's button as well, as a message box is.
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = caption.c_str();
    config.pszContent = content.c_str();
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = buttonId;
    const LPCWSTR icons[] = {nullptr, IDI_QUESTION, IDI_WARNING, IDI_ERROR};
    if (icon != Icon::None) {
        // The task dialog has no question icon of its own: the system's is given as a handle.
        config.dwFlags |= TDF_USE_HICON_MAIN;
        config.hMainIcon = LoadIconW(nullptr, icons[static_cast<int>(icon)]);
    }
    Shown shown{&onShown_};
    if (onShown_) {
        config.dwFlags |= TDF_CALLBACK_TIMER;
        config.pfCallback = taskDialogEvent;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(&shown);
    }
    TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
}

void WinDialogs::confirm(const std::string& text) {
    box("Подтверждение", text, Icon::Question, kYes, L"Да");
}

void WinDialogs::warning(const std::string& text) {
    box("Предупреждение", text, Icon::Warning, IDOK, L"OK");
}

void WinDialogs::showMessage(const std::string& text) {
    box(title_, text, Icon::None, IDOK, L"OK");
}

void WinDialogs::errorReport(const std::string& title, const std::string& text) {
    box(title, text, Icon::Stop, IDOK, L"OK");
}

std::wstring WinDialogs::fileFilter(const std::string& filter) {
    std::wstring out;
    for (const std::string& part : split(filter, '|')) {
        out += wide(part);
        out += L'\0';
    }
    out += L'\0';
    return out;
}

std::optional<std::string> WinDialogs::chooseFile(const std::string& title,
                                                  const std::string& filter) {
    const std::wstring caption = wide(title);
    const std::wstring filters = fileFilter(filter);
    std::vector<wchar_t> file(kPathBuffer, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathBuffer;
    ofn.lpstrTitle = caption.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    Shown shown{&onShown_};
    if (onShown_) {
        ofn.Flags |= OFN_ENABLEHOOK;
        ofn.lpfnHook = fileDialogEvent;
        ofn.lCustData = reinterpret_cast<LPARAM>(&shown);
    }
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return narrow(file.data());
}

}  // namespace volnor::win32

// The program's entry point on Windows: the real implementations of the platform's interfaces,
// the main window, the message loop.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <objbase.h>

#include <filesystem>
#include <string>

#include "app/app.h"
#include "platform/paths.h"
#include "platform/win32/ado_engine.h"
#include "platform/win32/cng_signature.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/file_search.h"
#include "platform/win32/ini_files.h"
#include "platform/win32/script_runner.h"
#include "platform/win32/shell.h"
#include "platform/win32/system.h"
#include "platform/win32/winhttp_client.h"
#include "platform/win32/wininet_ftp_client.h"
#include "ui/win32/Unit1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    using namespace volnor;
    // The parts database's ADO objects live on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const INITCOMMONCONTROLSEX controls{
        sizeof(INITCOMMONCONTROLSEX),
        ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    win32::WinSystem system;
    const std::filesystem::path executable = system.executablePath();
    const std::filesystem::path exeDir = executable.parent_path();
    // The program directory is the current directory: ".\" names and "7z\7z.exe" are found there.
    SetCurrentDirectoryW(exeDir.c_str());

    const std::string title = app::applicationTitle(executable);
    win32::WinDialogs dialogs(title);
    const WinPaths paths(L"C:\\");
    win32::WinShell shell(paths);
    // The maker's servers, or what the build's connect-to list maps them to (none in a release
    // build).
    win32::WinHttpClient http;
    win32::WinInetFtpClient ftp;
    win32::WinScriptRunner runner;
    win32::WinIniFiles ini;
    win32::WinFileSearch files;
    win32::AdoEngine database;
    win32::CngSignatureCheck signatures;

    int exitCode = 0;
    {
        // Start-up runs while the window is created, before it is shown.
        ui::TForm1 Form1(instance, {dialogs, shell, http, ftp, runner, ini, files, database,
                                    signatures, system, paths, exeDir});
        dialogs.setOwner(Form1.handle());
        shell.setOwner(Form1.handle());
        ShowWindow(Form1.handle(), show);
        UpdateWindow(Form1.handle());
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }
    CoUninitialize();
    return exitCode;
}

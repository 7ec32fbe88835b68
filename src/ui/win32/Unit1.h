#pragma once
// The main window as Win32 common controls: a front-end of the core, as the Qt window is on
// Linux. Its handlers call the core's operations and show what they return; every outside thing
// comes in through an interface.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window_layout.h"
#include "download/downloader.h"
#include "partsdb/maintenance.h"
#include "platform/database.h"
#include "platform/dialogs.h"
#include "platform/file_search.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/script_runner.h"
#include "platform/shell.h"
#include "platform/signature.h"
#include "platform/system.h"
#include "transfer/ftp_client.h"
#include "transfer/http_client.h"
#include "ui/win32/Unit2.h"
#include "update/self_update.h"

namespace volnor::ui {

// The outside things the window works with; they outlive it.
struct Services {
    Dialogs& dialogs;
    Shell& shell;
    HttpClient& http;
    FtpClient& ftp;
    const ScriptRunner& runner;
    IniFiles& ini;
    const FileSearch& files;
    db::Engine& database;
    const SignatureCheck& signatures;
    const System& system;
    WinPaths paths;
    // The executable's directory, which the program expects to be its current directory too.
    std::filesystem::path exeDir;
};

// ProgressBar1 as the Progress seam; the bar's range is 0 to 40000 and a value outside it is
// held at the nearer end.
class BarProgress : public Progress {
public:
    explicit BarProgress(HWND bar) : bar_(bar) {}
    int position() const override;
    void setPosition(std::int64_t value) override;

private:
    HWND bar_;
};

class TForm1 {
public:
    // Command identifiers: ToolButtonN is kToolButtonId + N.
    static constexpr int kToolButtonId = 100;
    static constexpr int kN1Id = 200;

    // Creates the window with its components and runs start-up, before it is shown.
    // update: the short date format, today and the process id of the start-up's update check.
    TForm1(HINSTANCE instance, Services services, update::Settings update);
    explicit TForm1(HINSTANCE instance, Services services);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND handle() const { return Form1; }

    // The size limits of the outer window: all four are set, whatever they held.
    static void FormConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight);
    // Progress reports of IdHTTP1: each count is added to the bar's position.
    void IdHTTP1Work(HttpClient& ASender, HttpClient::WorkMode AWorkMode, std::int64_t AWorkCount);
    void TreeView1DblClick();
    // The context menu asked for on the tree at the screen point `at`.
    void TreeView1ContextPopup(POINT at);
    void ToolButton7Click();
    void N1Click();
    void ToolButton4Click();
    void ToolButton2Click();
    void ToolButton1Click();
    void ToolButton5Click();
    void ToolButton3Click();
    void ToolButton6Click();

    // Runs one operation. An error it does not catch ends it and is shown in the application's
    // error report; the program goes on. Every handler and start-up run through here.
    bool guard(const std::function<void()>& operation);

    // The current node's text; nothing without a current node.
    std::optional<std::string> currentNodeText() const;
    Progress& progress() { return *progress_; }
    partsdb::PartsMaintenance& parts() { return *parts_; }
    const std::string& title() const { return title_; }
    // The tooltip of ToolButtonN; empty for a button without one.
    std::wstring tooltip(int number) const;

    // What runs while the program blocks on a transfer or a script: repaints, timers and
    // messages sent or posted to the windows are handled; the user's input stays queued until
    // the command has ended, as the Linux window does.
    static void pumpEvents();

    // Application.Terminate: the program ends once the message loop runs, after it has shown
    // the window. Asked for by a started self-update.
    void Terminate();
    bool terminateRequested() const { return terminateRequested_; }

    // The components, in the stored form's order of declaration.
    HWND Form1 = nullptr;
    HWND TreeView1 = nullptr;
    HWND Image1 = nullptr;
    HWND ToolBar1 = nullptr;
    HIMAGELIST ImageList1 = nullptr;
    HWND ProgressBar1 = nullptr;
    HWND Memo1 = nullptr;
    HMENU PopupMenu1 = nullptr;
    HWND StatusBar1 = nullptr;
    std::unique_ptr<TFrame2> Frame21;

    // The line lists of the self-update scripts.
    std::vector<std::string> cmdupdate;
    std::vector<std::string> cmdrun;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT notify(const NMHDR& header);
    void command(int id);
    LRESULT drawToolButton(NMTBCUSTOMDRAW& draw);

    void createComponents();
    void createToolBar();
    void fillTree();
    void FormCreate();
    void placeProgressBar();
    void togglePanel(HWND panel, int buttonNumber);
    void setTreeLook(const app::layout::TreeLook& look);

    HINSTANCE instance_;
    Services services_;
    update::Settings update_;
    std::string title_;
    bool terminateRequested_ = false;
    std::wstring tipText_;
    // Fonts and pictures the window made; released with it.
    std::vector<HFONT> fonts_;
    HBITMAP logo_ = nullptr;
    std::unique_ptr<BarProgress> progress_;
    std::unique_ptr<Downloader> downloader_;
    std::unique_ptr<partsdb::PartsMaintenance> parts_;
};

}  // namespace volnor::ui

#pragma once
#include <QFrame>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
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
#include "platform/file_search.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/script_runner.h"
#include "transfer/ftp_client.h"
#include "transfer/http_client.h"
#include "ui/qt/Unit2.h"
#include "update/self_update.h"

namespace volnor {
class Dialogs;
class Shell;
}  // namespace volnor

namespace volnor::ui {

// A status bar of text panels with fixed widths, side by side from the left edge.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int>& widths, QWidget* parent);
    int panelWidth(int index) const;
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<QLabel*> panels_;
};

// ProgressBar1 as the Progress seam: QProgressBar ignores a value outside its range, the
// program's bar holds it at the nearer end.
class BarProgress : public Progress {
public:
    explicit BarProgress(QProgressBar& bar) : bar_(bar) {}
    int position() const override { return bar_.value(); }
    void setPosition(std::int64_t value) override { bar_.setValue(held(value)); }

private:
    QProgressBar& bar_;
};

// The main window. Start-up runs in the constructor, before the window is shown.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    // The stored form's client area, and the outer size that the window keeps. Qt fixes the
    // client area; the frame around it is the window manager's, 8 pixels at each side and a
    // 31-pixel caption on Windows, which makes the 909 x 723 of the outer window.
    static constexpr QSize kClientSize{app::layout::kClientSize.width,
                                       app::layout::kClientSize.height};
    static constexpr QSize kOuterSize{app::layout::kOuterSize.width,
                                      app::layout::kOuterSize.height};
    static constexpr QSize kFrameSize = kOuterSize - kClientSize;
    static constexpr int kTreeIndent = app::layout::kTreeIndent;

    // exeDir: the executable's directory, which the program expects to be its current
    // directory too; the command interpreter lies there. paths: where the fixed Windows folders
    // lie. connectTo: curl's connect-to list for both clients, buildConnectTo() in the product.
    TForm1(Dialogs& dialogs, Shell& shell, WinPaths paths, std::filesystem::path exeDir,
           std::vector<std::string> connectTo, QWidget* parent = nullptr);
    // update: the short date format, today and the process id of the start-up's update check;
    // the user's and the running program's when not given.
    TForm1(Dialogs& dialogs, Shell& shell, WinPaths paths, std::filesystem::path exeDir,
           std::vector<std::string> connectTo, update::Settings update, QWidget* parent = nullptr);
    static std::vector<std::string> buildConnectTo();
    // The settings of the user's platform: its short date format, its clock, this process.
    static update::Settings userSettings();
    ~TForm1() override;

    // The size limits of the outer window: all four are set, whatever they held.
    static void FormConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight);
    // Progress reports of IdHTTP1: each count is added to the bar's position.
    void IdHTTP1Work(HttpClient& ASender, HttpClient::WorkMode AWorkMode, std::int64_t AWorkCount);
    void TreeView1DblClick();
    // The parts-database commands: choose the database, remove the current node's group,
    // remove all of the maker's parts.
    void ToolButton7Click();
    void N1Click();
    void ToolButton4Click();
    // The web site, the full archive on the FTP server and an e-mail to support, handed to the
    // shell; the instructions and news panels shown or hidden.
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
    // The parts-database commands with ADOConnection1 and ADOQuery1.
    partsdb::PartsMaintenance& parts() { return *parts_; }
    std::string title() const { return title_; }

    // What runs while the program blocks on a transfer or a script: repaints and other queued
    // work are done, the user's input waits until the command has ended.
    static void pumpEvents();

    // The components, in the stored form's order of declaration.
    QTreeWidget* TreeView1;
    QLabel* Image1;
    QToolBar* ToolBar1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QList<QPixmap> ImageList1;
    QToolButton* ToolButton1;
    QToolButton* ToolButton4;
    QProgressBar* ProgressBar1;
    QToolButton* ToolButton5;
    QPlainTextEdit* Memo1;
    QToolButton* ToolButton6;
    QMenu* PopupMenu1;
    QAction* N1;
    std::unique_ptr<FtpClient> IdFTP1;
    TStatusBar* StatusBar1;
    QToolButton* ToolButton7;
    std::unique_ptr<HttpClient> IdHTTP1;
    TFrame2* Frame21;

    // The line lists of the self-update scripts.
    std::vector<std::string> cmdupdate;
    std::vector<std::string> cmdrun;

    // Application.Terminate: the program ends once the message loop runs, after it has shown
    // the window. Asked for by a started self-update.
    void Terminate();
    bool terminateRequested() const { return terminateRequested_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A window manager that maximises a window whatever its limits is undone at once.
    void changeEvent(QEvent* event) override;

private:
    void createComponents();
    QToolButton* addButton(const app::layout::ToolButton& spec);
    void fillTree();
    void bindCommands();
    void FormCreate();
    void TreeView1ContextPopup(const QPoint& pos);
    // Moves the progress bar into the status bar, over panel 0, at position 100.
    void placeProgressBar();
    // Shows a hidden panel or hides a shown one; its button's pressed state and the tree's look
    // follow. The tree's settings are shared by both panels.
    void togglePanel(QWidget* panel, QToolButton* button);
    void setTreeLook(const app::layout::TreeLook& look);

    Dialogs& dialogs_;
    Shell& shell_;
    WinPaths paths_;
    std::filesystem::path exeDir_;
    update::Settings update_;
    bool terminateRequested_ = false;
    std::string title_;
    std::unique_ptr<BarProgress> progress_;
    // The platform's pieces the core works with.
    std::unique_ptr<ScriptRunner> runner_;
    std::unique_ptr<FileSearch> fileSearch_;
    std::unique_ptr<IniFiles> iniFiles_;
    std::unique_ptr<db::Engine> database_;
    std::unique_ptr<Downloader> downloader_;
    std::unique_ptr<partsdb::PartsMaintenance> parts_;
};

}  // namespace volnor::ui

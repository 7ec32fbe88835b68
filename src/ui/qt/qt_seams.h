#pragma once
#include <QPointer>
#include <QWidget>

#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace volnor::ui {

// Modal message boxes and the file chooser of the product. The owner is set once the main
// window exists; until then the boxes belong to no window.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(std::string applicationTitle);
    void setOwner(QWidget* owner) { owner_ = owner; }

    void confirm(const std::string& text) override;
    void warning(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void errorReport(const std::string& title, const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title,
                                          const std::string& filter) override;

    // "Description|*.a;*.b|..." in the form a Qt file dialog takes: "Description (*.a *.b);;...".
    static QString qtFilter(const std::string& filter);

private:
    std::string title_;
    QPointer<QWidget> owner_;
};

// Hands URLs to the desktop's handlers and opens folders in its file browser.
class QtShell : public Shell {
public:
    explicit QtShell(WinPaths paths) : paths_(std::move(paths)) {}
    void openUrl(const std::string& url) override;
    void openFolder(const std::string& folder) override;

private:
    WinPaths paths_;
};

}  // namespace volnor::ui

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
    explicit QtDialogs(QString applicationTitle);
    void setOwner(QWidget* owner) { owner_ = owner; }

    void confirm(const QString& text) override;
    void warning(const QString& text) override;
    void showMessage(const QString& text) override;
    void errorReport(const QString& title, const QString& text) override;
    // The filter in Qt's form: "Description (*.a *.b);;...".
    std::optional<QString> chooseFile(const QString& title, const QString& filter) override;

private:
    QString title_;
    QPointer<QWidget> owner_;
};

// Hands URLs to the desktop's handlers and opens folders in its file browser.
class QtShell : public Shell {
public:
    explicit QtShell(WinPaths paths) : paths_(std::move(paths)) {}
    void openUrl(const QString& url) override;
    void openFolder(const QString& folder) override;

private:
    WinPaths paths_;
};

}  // namespace volnor::ui

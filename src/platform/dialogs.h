#pragma once
#include <QString>
#include <optional>

namespace volnor {

// Modal boxes and the file chooser. Qt in the product; a recorder in tests, since a modal box
// would block a test.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Confirmation kind: question icon, the single button Yes; the answer is not used.
    virtual void confirm(const QString& text) = 0;
    // A warning in the program's own voice: warning icon, OK.
    virtual void warning(const QString& text) = 0;
    // ShowMessage: the text and an OK button.
    virtual void showMessage(const QString& text) = 0;
    // The application's error report: stop icon, OK.
    virtual void errorReport(const QString& title, const QString& text) = 0;
    // A file-open dialog; nothing when the user cancels.
    virtual std::optional<QString> chooseFile(const QString& title, const QString& filter) = 0;
};

}  // namespace volnor

#pragma once
#include <optional>
#include <string>

namespace volnor {

// Modal boxes and the file chooser; every text UTF-8. The window's in the product; a recorder in
// tests, since a modal box would block a test.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Confirmation kind: question icon, the single button Yes; the answer is not used.
    virtual void confirm(const std::string& text) = 0;
    // A warning in the program's own voice: warning icon, OK.
    virtual void warning(const std::string& text) = 0;
    // ShowMessage: the text and an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // The application's error report: stop icon, OK.
    virtual void errorReport(const std::string& title, const std::string& text) = 0;
    // A file-open dialog; nothing when the user cancels. The filter in the platform dialog's
    // form ("Description|*.mdb").
    virtual std::optional<std::string> chooseFile(const std::string& title,
                                                  const std::string& filter) = 0;
};

}  // namespace volnor

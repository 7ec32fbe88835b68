#pragma once
// Test doubles for the seams that would need a person or a desktop.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/shell.h"

namespace volnor::test {

struct ShownBox {
    enum class Kind { Confirm, Warning, Message, ErrorReport } kind;
    std::string title;
    std::string text;
};

class RecordingDialogs : public Dialogs {
public:
    void confirm(const std::string& text) override;
    void warning(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void errorReport(const std::string& title, const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title,
                                          const std::string& filter) override;

    // The answers the file chooser gives, in order; nothing left means "cancelled".
    std::deque<std::optional<std::string>> nextFiles;
    std::vector<ShownBox> shown;
    std::vector<std::string> chooserTitles;
    std::vector<std::string> chooserFilters;

    std::vector<std::string> texts() const;
};

class RecordingShell : public Shell {
public:
    void openUrl(const std::string& url) override { opened.push_back(url); }
    void openFolder(const std::string& folder) override {
        opened.push_back(folder);
        folders.push_back(folder);
    }
    // Every target, in order; and those of them that were opened as folders.
    std::vector<std::string> opened;
    std::vector<std::string> folders;
};

}  // namespace volnor::test

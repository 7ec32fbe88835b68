#pragma once
// Test doubles for the seams that would need a person or a desktop.
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/dialogs.h"
#include "platform/shell.h"

namespace volnor::test {

struct ShownBox {
    enum class Kind { Confirm, Warning, Message, ErrorReport } kind;
    QString title;
    QString text;
};

class RecordingDialogs : public Dialogs {
public:
    void confirm(const QString& text) override;
    void warning(const QString& text) override;
    void showMessage(const QString& text) override;
    void errorReport(const QString& title, const QString& text) override;
    std::optional<QString> chooseFile(const QString& title, const QString& filter) override;

    // The answers the file chooser gives, in order; nothing left means "cancelled".
    std::deque<std::optional<QString>> nextFiles;
    std::vector<ShownBox> shown;
    QStringList chooserTitles;
    QStringList chooserFilters;

    QStringList texts() const;
};

class RecordingShell : public Shell {
public:
    void openUrl(const QString& url) override { opened.push_back(url); }
    void openFolder(const QString& folder) override {
        opened.push_back(folder);
        folders.push_back(folder);
    }
    // Every target, in order; and those of them that were opened as folders.
    QStringList opened;
    QStringList folders;
};

}  // namespace volnor::test

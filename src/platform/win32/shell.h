#pragma once
#include <windows.h>

#include "platform/paths.h"
#include "platform/shell.h"

namespace volnor::win32 {

// ShellExecuteW with the main window as owner, no verb, no parameters, no working directory and
// show mode 5, its result not examined. The owner is set once the main window exists.
class WinShell : public Shell {
public:
    explicit WinShell(WinPaths paths) : paths_(std::move(paths)) {}
    void setOwner(HWND owner) { owner_ = owner; }

    void openUrl(const std::string& url) override;
    // The folder's fixed or relative name translated as the core's paths are, then made whole.
    void openFolder(const std::string& folder) override;

    // What openFolder hands to the shell.
    std::filesystem::path folderPath(const std::string& folder) const;

private:
    WinPaths paths_;
    HWND owner_ = nullptr;
};

}  // namespace volnor::win32

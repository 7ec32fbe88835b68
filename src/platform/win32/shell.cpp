#include "platform/win32/shell.h"

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace volnor::win32 {

namespace {
void execute(HWND owner, const std::wstring& file) {
    ShellExecuteW(owner, nullptr, file.c_str(), nullptr, nullptr, SW_SHOW);
}
}  // namespace

void WinShell::openUrl(const std::string& url) { execute(owner_, wide(url)); }

std::filesystem::path WinShell::folderPath(const std::string& folder) const {
    std::error_code error;
    const std::filesystem::path path = paths_.native(folder);
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    // The file browser takes backslashes only.
    return (error ? path : whole).lexically_normal().make_preferred();
}

void WinShell::openFolder(const std::string& folder) {
    execute(owner_, folderPath(folder).wstring());
}

}  // namespace volnor::win32

#include "platform/win32/file_search.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace volnor::win32 {

std::vector<std::string> WinFileSearch::find(const std::filesystem::path& folder,
                                             std::string_view mask) const {
    const std::filesystem::path pattern = folder.empty() ? pathOf(mask) : folder / pathOf(mask);
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(pattern.wstring().c_str(), &entry);
    std::vector<std::string> names;
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(narrow(name));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

}  // namespace volnor::win32

#include "platform/win32/system.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace volnor::win32 {

std::chrono::year_month_day WinSystem::today() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return std::chrono::year_month_day{std::chrono::year(now.wYear), std::chrono::month(now.wMonth),
                                       std::chrono::day(now.wDay)};
}

std::int64_t WinSystem::processId() const { return GetCurrentProcessId(); }

std::filesystem::path WinSystem::executablePath() const {
    // A path longer than the buffer comes back cut, with the buffer's size as its length.
    for (DWORD size = MAX_PATH;; size *= 2) {
        std::wstring buffer(size, L'\0');
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) return {};
        if (n < size) return std::filesystem::path(buffer.substr(0, n));
        if (size >= 32768) return {};
    }
}

ShortDateFormat WinSystem::shortDateFormat() const {
    wchar_t picture[LOCALE_NAME_MAX_LENGTH * 4] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, picture,
                                  static_cast<int>(std::size(picture)));
    if (n <= 0) return {};
    return ShortDateFormat::fromPicture(narrow(std::wstring_view(picture, n - 1)))
        .value_or(ShortDateFormat{});
}

}  // namespace volnor::win32

#include "platform/ansi_codec.h"

#include <windows.h>

#include "platform/text.h"

namespace volnor {

// The system's ANSI code page (Windows-1251 on the users' Russian Windows).

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    if (GetACP() == CP_UTF8) return std::string(utf8);
    const std::u16string units = toUtf16(utf8);
    if (units.empty()) return std::string();
    if (fromUtf16(units) != utf8) return std::nullopt;  // no UTF-8
    const auto* in = reinterpret_cast<const wchar_t*>(units.data());
    const int inLength = static_cast<int>(units.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, in, inLength, nullptr,
                                           0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, in, inLength, out.data(), length, nullptr,
                        &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    if (ansi.empty()) return {};
    if (GetACP() == CP_UTF8) return std::string(ansi);
    const int inLength = static_cast<int>(ansi.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength, nullptr, 0);
    if (length <= 0) return std::string(ansi);
    std::wstring units(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength, units.data(), length);
    return fromUtf16(std::u16string(units.begin(), units.end()));
}

}  // namespace volnor

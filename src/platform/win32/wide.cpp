#include "platform/win32/wide.h"

#include <cstdio>

#include "platform/text.h"

namespace volnor::win32 {

std::wstring wide(std::string_view utf8) {
    const std::u16string units = toUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(std::wstring_view utf16) {
    return fromUtf16(std::u16string(utf16.begin(), utf16.end()));
}

std::string lastErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    // WinHTTP's and WinINet's codes have their texts in their own modules.
    HMODULE module = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                  FORMAT_MESSAGE_IGNORE_INSERTS;
    if (code >= 12000 && code < 13000) {
        module = GetModuleHandleW(L"winhttp.dll");
        if (module == nullptr) module = GetModuleHandleW(L"wininet.dll");
        if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    const DWORD length = FormatMessageW(flags, module, code, 0,
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        text = std::string(trimmed(narrow(std::wstring_view(buffer, length))));
    }
    if (buffer != nullptr) LocalFree(buffer);
    // HRESULTs read best in hex, system and WinHTTP codes in decimal.
    char number[16];
    std::snprintf(number, sizeof number, code > 0xFFFF ? "0x%08lX" : "%lu",
                  static_cast<unsigned long>(code));
    std::string codeText = "(";
    codeText += number;
    codeText += ')';
    if (text.empty()) return codeText;
    text += ' ';
    text += codeText;
    return text;
}

}  // namespace volnor::win32

#pragma once
// UTF-8, the core's text, against UTF-16, the Win32 calls' text, and the system's words for an
// error code.
#include <windows.h>

#include <string>
#include <string_view>

namespace volnor::win32 {

// Invalid UTF-8 becomes U+FFFD, as the core's own conversion does.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The system's message for an error code (GetLastError's, a WinHTTP or WinINet code, an
// HRESULT), without its trailing line break, followed by the code: "Access is denied. (5)".
// Only the code when the system has no text for it.
std::string lastErrorText(DWORD code);

}  // namespace volnor::win32

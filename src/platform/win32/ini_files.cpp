#include "platform/win32/ini_files.h"

#include <windows.h>

#include "platform/ansi_codec.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace volnor::win32 {

namespace {

constexpr DWORD kValueBuffer = 2048;

// A name without a folder would be looked for in the Windows folder.
std::wstring fullName(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return (error ? file : absolute).wstring();
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The first two bytes of a UTF-16 file; such a file takes every character.
bool isUtf16File(const std::wstring& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    unsigned char mark[2] = {};
    DWORD got = 0;
    const bool read = ReadFile(h, mark, 2, &got, nullptr) && got == 2;
    CloseHandle(h);
    return read && ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF));
}

bool flush(const std::wstring& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = FlushFileBuffers(h) != 0;
    return CloseHandle(h) != 0 && ok;
}

// WritePrivateProfileStringW puts "?" for a character the ANSI code page lacks: a changed value
// reported as written.
bool fitsAnsi(const std::string& text) { return utf8ToAnsi(text).has_value(); }

// The file with the key written: on a copy beside it, synced, renamed over it.
bool replaceWhole(const std::wstring& file, const std::string& section, const std::string& key,
                  const std::string& value) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    // The system's own write leaves a read-only file as it is; so does its replacement.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    const std::wstring folder = std::filesystem::path(file).parent_path().wstring();
    wchar_t copy[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder.c_str(), L"ini", 0, copy) == 0) return false;
    bool ok = !exists || CopyFileW(file.c_str(), copy, FALSE) != 0;
    if (ok && !isUtf16File(copy)) ok = fitsAnsi(section) && fitsAnsi(key) && fitsAnsi(value);
    ok = ok && WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(),
                                          wide(value).c_str(), copy) != 0;
    // The system may keep the profile in memory: written out before the sync. This call
    // returns FALSE whether or not it wrote.
    if (ok) WritePrivateProfileStringW(nullptr, nullptr, nullptr, copy);
    ok = ok && flush(copy);
    ok = ok &&
         MoveFileExW(copy, file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        SetFileAttributesW(copy, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(copy);
    }
    return ok;
}

}  // namespace

std::string WinIniFiles::readString(const std::filesystem::path& file, const std::string& section,
                                    const std::string& key, const std::string& def) const {
    wchar_t buffer[kValueBuffer] = {};
    const DWORD n =
        GetPrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(def).c_str(),
                                 buffer, kValueBuffer, fullName(file).c_str());
    std::wstring_view value(buffer, n);
    if (value.size() == kValueBuffer - 1 && isHighSurrogate(value.back())) value.remove_suffix(1);
    return narrow(value);
}

void WinIniFiles::writeString(const std::filesystem::path& file, const std::string& section,
                              const std::string& key, const std::string& value) {
    if (!replaceWhole(fullName(file), section, key, value))
        throw Error("Unable to write to " + utf8Of(file));
}

}  // namespace volnor::win32

#pragma once
// INI files through the system's own GetPrivateProfileStringW and WritePrivateProfileStringW:
// their rules (letter case, quotes, blanks, the ANSI code page or a UTF-16 file) are the ones the
// program's files were written for.
#include "platform/ini_file.h"

namespace volnor::win32 {

// A value is read into 2048 units, so at most 2047 of them come back; a character cut in two
// there stays out. A write goes to a copy beside the file, which is synced and then renamed
// over the file: a failure leaves the file as it was.
class WinIniFiles : public IniFiles {
public:
    std::string readString(const std::filesystem::path& file, const std::string& section,
                           const std::string& key, const std::string& def) const override;
    void writeString(const std::filesystem::path& file, const std::string& section,
                     const std::string& key, const std::string& value) override;
};

}  // namespace volnor::win32

#pragma once
// INI files with the platform's private-profile rules. Other INI readers' rules differ (comments,
// escapes, quoting, their own encoding), so the program has this small reader and writer.
//
// The rules: section and key names match without regard to letter case, Cyrillic too; only the
// first section of a name is searched and the first key of a name in it wins, even with an empty
// value. A section line is "[" (after blanks) up to the last "]" of the line, its name trimmed;
// "[X" without "]" starts no section. Keys before the first section belong to none. A line
// without "=" is no key; its name is the text before the first "=", trimmed. ";" and "#" start
// no comment. A value is the text after the first "=", up to a NUL, without surrounding blanks
// (spaces and tabs), without one pair of matching double or single quotes around the whole of
// it, at most 2047 UTF-16 units (a character cut in two stays out). CR LF, LF and CR each end a
// line. The text is Windows-1251, or UTF-16 when the file begins with its byte-order mark
// (little- or big-endian); a UTF-8 mark is not recognised. Names and values are UTF-8.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace volnor::posix {

inline constexpr std::size_t kIniValueLimit = 2047;

// The value of key in section, read from the bytes of a whole file; nothing when the section or
// the key is missing.
std::optional<std::string> iniValue(std::string_view content, std::string_view section,
                                    std::string_view key);

// The bytes of the file with key set to value: the key's line is replaced where it stands, or a
// line is added at the end of its section, or the section is added at the end of the file. Every
// other line keeps its bytes. Nothing when the value cannot be written in the file's encoding.
std::optional<std::string> iniWithValue(std::string_view content, std::string_view section,
                                        std::string_view key, std::string_view value);

// The files themselves: every read reads the file again; a write replaces it whole (a synced
// temporary file beside it, then a rename).
class PosixIniFiles : public IniFiles {
public:
    std::string readString(const std::filesystem::path& file, const std::string& section,
                           const std::string& key, const std::string& def) const override;
    void writeString(const std::filesystem::path& file, const std::string& section,
                     const std::string& key, const std::string& value) override;
};

}  // namespace volnor::posix

#pragma once
// The core's one string convention: text is UTF-8 in std::string, converted only at the edges
// (a toolkit's strings, the platform's wide strings). Where the program counts characters as
// its platform does, in UTF-16 code units, these helpers count them so.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace volnor {

// UTF-8 against UTF-16. A malformed UTF-8 sequence becomes U+FFFD.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16);

// The length in UTF-16 code units, and the part that starts at unit `from` and is at most
// `count` units long. A cut through a surrogate pair keeps the whole character out.
std::size_t utf16Length(std::string_view utf8);
std::string utf16Mid(std::string_view utf8, std::size_t from,
                     std::size_t count = std::string_view::npos);

// Paths hold UTF-8 text in the core; these convert at the edge of std::filesystem.
std::filesystem::path pathOf(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& path);

// Plain string work without a toolkit.
std::vector<std::string> split(std::string_view text, char separator, bool skipEmpty = false);
std::string join(const std::vector<std::string>& parts, std::string_view separator);
// Without blanks (space, tab, CR, LF) at either end.
std::string_view trimmed(std::string_view text);
// The parts one after another; for texts built of several pieces (GCC 12 warns falsely,
// -Wrestrict, about "x" + std::string at -O3).
template <class... Parts>
std::string concat(const Parts&... parts) {
    std::string out;
    (out.append(parts), ...);
    return out;
}
// The text in the quotes a Russian message puts around a name: «text».
std::string inQuotes(std::string_view text);
// Every occurrence of `from` (not empty) replaced by `to`.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
// ASCII letters only: the protocol words, extensions and keys the program compares.
std::string asciiLower(std::string_view text);
bool equalsAsciiNoCase(std::string_view a, std::string_view b);
// Lower case for the letters of the scripts the program's names are written in: Latin (with the
// Latin-1 letters) and Cyrillic. Other characters stay as they are.
std::string toLower(std::string_view text);

}  // namespace volnor

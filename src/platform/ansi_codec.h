#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace volnor {

// The users' ANSI code page, Windows-1251, against UTF-8, without Qt: the command interpreter
// uses it too, and it must start as fast as a small native program.

// Nothing when the text holds a character the code page cannot represent (or is no UTF-8): a
// substitute would silently change a file name in a script.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

// Every byte decodes; the one unassigned byte (0x98) becomes U+FFFD.
std::string ansiToUtf8(std::string_view ansi);

}  // namespace volnor

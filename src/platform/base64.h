#pragma once
// Base64 of RFC 4648 (the standard alphabet, "=" padding): the update signature and the
// maker's public key travel as such text.
#include <optional>
#include <string>
#include <string_view>

namespace volnor {

std::string encodeBase64(std::string_view bytes);

// The bytes the text stands for, or nothing for any text that encodeBase64 would not have
// written: a length that is no multiple of 4, a character outside the alphabet (blanks and line
// breaks included), padding anywhere but at the end, or bits left over after the last byte.
// One text per value, so a signature has exactly one accepted form.
std::optional<std::string> decodeBase64(std::string_view text);

}  // namespace volnor

#include "platform/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace volnor {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of each character of the alphabet; -1 for every other byte.
constexpr std::array<int, 256> kValues = [] {
    std::array<int, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = i;
    return values;
}();

}  // namespace

std::string encodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    const std::string_view digits = text.substr(0, text.size() - padding);
    std::string out;
    out.reserve(digits.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : digits) {
        const int value = kValues[static_cast<unsigned char>(c)];
        if (value < 0) return std::nullopt;  // "=" inside falls here too
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    // What is left must be the zero bits that fill the last character.
    if ((bits & ((1u << count) - 1)) != 0) return std::nullopt;
    return out;
}

}  // namespace volnor

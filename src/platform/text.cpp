#include "platform/text.h"

#include <algorithm>

namespace volnor {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `i`, moving `i` past it.
char32_t decode(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++i;
        return kReplacement;
    }
    std::size_t k = i + 1;
    for (int n = 0; n < extra; ++n, ++k) {
        if (k >= s.size() || (byte(k) & 0xC0) != 0x80) {
            i = k;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    i = k;
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = decode(utf8, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        encode(cp, out);
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) units += decode(utf8, i) >= 0x10000 ? 2 : 1;
    return units;
}

std::string utf16Mid(std::string_view utf8, std::size_t from, std::size_t count) {
    std::size_t unit = 0;
    std::size_t i = 0;
    while (i < utf8.size() && unit < from) {
        std::size_t next = i;
        const std::size_t width = decode(utf8, next) >= 0x10000 ? 2 : 1;
        if (unit + width > from) {  // the cut falls inside a pair: the character stays out
            i = next;
            unit += width;
            break;
        }
        unit += width;
        i = next;
    }
    const std::size_t begin = i;
    std::size_t taken = 0;
    while (i < utf8.size() && taken < count) {
        std::size_t next = i;
        const std::size_t width = decode(utf8, next) >= 0x10000 ? 2 : 1;
        if (count - taken < width) break;
        taken += width;
        i = next;
    }
    return std::string(utf8.substr(begin, i - begin));
}

std::filesystem::path pathOf(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::vector<std::string> split(std::string_view text, char separator, bool skipEmpty) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t p = text.find(separator, start);
        const std::string_view part =
            text.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start);
        if (!skipEmpty || !part.empty()) out.emplace_back(part);
        if (p == std::string_view::npos) break;
        start = p + 1;
    }
    return out;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t p = from.empty() ? std::string_view::npos : text.find(from, start);
        if (p == std::string_view::npos) break;
        out.append(text.substr(start, p - start));
        out.append(to);
        start = p + from.size();
    }
    out.append(text.substr(start));
    return out;
}

std::string inQuotes(std::string_view text) { return concat("«", text, "»"); }

std::string asciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

std::string toLower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = decode(text, i);
        if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) ||
            (cp >= 0x410 && cp <= 0x42F))
            cp += 0x20;
        else if (cp >= 0x400 && cp <= 0x40F)
            cp += 0x50;
        encode(cp, out);
    }
    return out;
}

}  // namespace volnor

#include "partsdb/connection_string.h"

#include "partsdb/texts.h"
#include "platform/error.h"
#include "platform/text.h"

namespace volnor::partsdb {
namespace {

// The blanks that trimmed() drops, so a skipped blank and a trimmed one are the same characters.
bool isBlank(char c) { return trimmed(std::string_view(&c, 1)).empty(); }

}  // namespace

std::map<std::string, std::string> parseConnectionString(std::string_view text) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const std::size_t eq = text.find('=', i);
        const std::size_t semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            const std::string_view rest = trimmed(
                text.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i));
            if (!rest.empty()) throw Error(text::badConnectionOption(rest));
            if (semi == std::string_view::npos) break;
            i = semi + 1;
            continue;
        }
        const std::string key = asciiLower(trimmed(text.substr(i, eq - i)));
        i = eq + 1;
        while (i < n && isBlank(text[i])) ++i;
        std::string value;
        if (i < n && text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= n) throw Error(text::badConnectionOption(key));
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        value += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != ';') {
                if (!isBlank(text[i])) throw Error(text::badConnectionOption(key));
                ++i;
            }
        } else {
            const std::size_t end = semi == std::string_view::npos ? n : semi;
            value = std::string(trimmed(text.substr(i, end - i)));
            i = end;
        }
        if (i < n) ++i;  // the ";"
        out[key] = std::move(value);
    }
    return out;
}

}  // namespace volnor::partsdb

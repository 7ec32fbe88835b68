#include "script.h"

#include "platform/ansi_codec.h"

namespace volnor::cmd {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    bool inWord = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) out.push_back(current);
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) out.push_back(current);
    return out;
}

std::vector<Line> readLines(std::string_view utf8) {
    std::vector<Line> out;
    int number = 0;
    for (std::size_t start = 0; start <= utf8.size();) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string_view::npos) end = utf8.size();
        ++number;
        std::string_view text = trimmed(utf8.substr(start, end - start));
        start = end + 1;
        // "@ del x" is "del x": blanks may follow the "@".
        if (!text.empty() && text.front() == '@') text = trimmed(text.substr(1));
        if (text.empty()) continue;
        const std::size_t blank = text.find(' ');
        Line line;
        line.number = number;
        line.text = std::string(text);
        line.command = lower(text.substr(0, blank));
        line.rest = blank == std::string_view::npos ? std::string() : std::string(text.substr(blank + 1));
        line.words = splitWords(text);
        out.push_back(std::move(line));
    }
    return out;
}

std::vector<Line> readScript(std::string_view ansi) { return readLines(ansiToUtf8(ansi)); }

}  // namespace volnor::cmd

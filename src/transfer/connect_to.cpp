#include "transfer/connect_to.h"

#include <charconv>

#include "platform/text.h"

namespace volnor {

namespace {

// A port of 1 to 65535 written in decimal digits only.
std::optional<int> portOf(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

}  // namespace

std::vector<std::string> connectToList(std::string_view list) {
    std::vector<std::string> entries;
    for (const std::string& entry : split(list, ';', true))
        if (const std::string_view item = trimmed(entry); !item.empty()) entries.emplace_back(item);
    return entries;
}

std::optional<ConnectTarget> connectTarget(const std::vector<std::string>& entries,
                                           std::string_view host, int port) {
    for (const std::string& entry : entries) {
        const std::vector<std::string> fields = split(entry, ':');
        if (fields.size() != 4) continue;
        if (!fields[0].empty() && !equalsAsciiNoCase(fields[0], host)) continue;
        if (!fields[1].empty() && portOf(fields[1]) != port) continue;
        ConnectTarget target{fields[2].empty() ? std::string(host) : fields[2], port};
        if (!fields[3].empty()) {
            const std::optional<int> to = portOf(fields[3]);
            if (!to) continue;
            target.port = *to;
        }
        return target;
    }
    return std::nullopt;
}

}  // namespace volnor

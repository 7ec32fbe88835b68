#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "buildconfig.h"

namespace volnor {

// The connect-to entries for both clients from a ";"-separated list ("HOST:PORT:ADDR:PORT;..."),
// by default the one the program was built with (empty in a release build). Blank entries are
// left out and each entry is trimmed.
std::vector<std::string> connectToList(std::string_view list = buildconfig::kConnectTo);

// Where the entries send a connection to host:port: the ADDR and PORT of the first entry that
// names them, nothing when none does. As curl reads them, an empty HOST or PORT of an entry
// matches any, and an empty ADDR or PORT keeps the one asked for. Entries that are no four
// ":"-separated fields (an IPv6 address in brackets among them) match nothing.
struct ConnectTarget {
    std::string host;
    int port = 0;
};
std::optional<ConnectTarget> connectTarget(const std::vector<std::string>& entries,
                                           std::string_view host, int port);

}  // namespace volnor

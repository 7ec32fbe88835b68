#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "buildconfig.h"

namespace volnor::posix {

// The connect-to entries for both clients from a ";"-separated list ("HOST:PORT:ADDR:PORT;..."),
// by default the one the program was built with (empty in a release build). Blank entries are
// left out and each entry is trimmed.
std::vector<std::string> connectToList(std::string_view list = buildconfig::kConnectTo);

}  // namespace volnor::posix

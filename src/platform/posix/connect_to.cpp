#include "platform/posix/connect_to.h"

#include "platform/text.h"

namespace volnor::posix {

std::vector<std::string> connectToList(std::string_view list) {
    std::vector<std::string> entries;
    for (const std::string& entry : split(list, ';', true))
        if (const std::string_view item = trimmed(entry); !item.empty()) entries.emplace_back(item);
    return entries;
}

}  // namespace volnor::posix

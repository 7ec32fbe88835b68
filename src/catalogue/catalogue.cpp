#include "catalogue/catalogue.h"

#include "catalogue/catalogue_data.h"
#include "platform/text.h"

namespace volnor::catalogue {

namespace {
constexpr std::size_t kUrlPrefixLength = 23;  // "https://" + 7-character host + "/f/NNNN/"
}

const std::vector<Node>& tree() { return data::tree(); }

const std::vector<GroupRow>& grouplist() { return data::grouplist(); }

void menuload(std::vector<std::string>& menulist) { menulist = data::entries(); }

Entry splitEntry(std::string_view entry) {
    const std::size_t p = entry.find('|');
    Entry e;
    e.namepro = std::string(entry.substr(0, p == std::string_view::npos ? 0 : p));
    e.webpro = std::string(p == std::string_view::npos ? entry : entry.substr(p + 1));
    e.shortweb = shortweb(e.webpro);
    return e;
}

std::string shortweb(std::string_view webpro) { return utf16Mid(webpro, kUrlPrefixLength); }

bool sameText(std::string_view a, std::string_view b) { return a == b; }

std::optional<Entry> findEntry(const std::vector<std::string>& menulist, std::string_view text) {
    for (const std::string& line : menulist) {
        Entry e = splitEntry(line);
        if (sameText(e.namepro, text)) return e;
    }
    return std::nullopt;
}

const GroupRow* findRow(std::string_view text) {
    for (const GroupRow& row : grouplist())
        if (sameText(row.key, text)) return &row;
    return nullptr;
}

}  // namespace volnor::catalogue

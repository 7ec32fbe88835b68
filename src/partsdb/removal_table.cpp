#include "partsdb/removal_table.h"

// Placeholder data: replaced by the full removal table.
namespace volnor::partsdb {

const std::vector<RemovalEntry>& removalTable() {
    using K = RemovalStep::Kind;
    static const std::vector<RemovalEntry> table = {
        {QStringLiteral("Модульное оборудование"),
         {{K::ClearSql, QStringLiteral("ВА47-29"), 0}, {K::DFile, QStringLiteral("VA47;"), 1}}},
    };
    return table;
}

}  // namespace volnor::partsdb

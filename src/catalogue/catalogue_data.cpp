#include "catalogue/catalogue_data.h"

#include "buildconfig.h"

// Placeholder data: replaced by the full product range.
namespace volnor::catalogue::data {

namespace {
QString url(const char* id, const char* file) {
    return QStringLiteral("https://%1/f/%2/%3")
        .arg(QString::fromUtf8(buildconfig::kWebHost), QString::fromUtf8(id), QString::fromUtf8(file));
}
}  // namespace

const std::vector<Node>& tree() {
    static const std::vector<Node> nodes = {
        {QStringLiteral("Модульное оборудование"),
         {{QStringLiteral("Автоматические выключатели ВА47-29"), {}}}},
    };
    return nodes;
}

const std::vector<GroupRow>& grouplist() {
    static const std::vector<GroupRow> rows = {
        {QStringLiteral("Модульное оборудование"), {url("1001", "va47-29.zip")}},
    };
    return rows;
}

QStringList entries() {
    return {QStringLiteral("Автоматические выключатели ВА47-29|") + url("1001", "va47-29.zip")};
}

}  // namespace volnor::catalogue::data

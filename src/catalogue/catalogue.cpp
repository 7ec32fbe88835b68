#include "catalogue/catalogue.h"

#include "catalogue/catalogue_data.h"

namespace volnor::catalogue {

namespace {
constexpr qsizetype kUrlPrefixLength = 23;  // "https://" + 7-character host + "/f/NNNN/"
}

const std::vector<Node>& tree() { return data::tree(); }

const std::vector<GroupRow>& grouplist() { return data::grouplist(); }

void menuload(QStringList& menulist) { menulist = data::entries(); }

Entry splitEntry(const QString& entry) {
    const qsizetype p = entry.indexOf(QLatin1Char('|'));
    Entry e;
    e.namepro = entry.left(p < 0 ? 0 : p);
    e.webpro = p < 0 ? entry : entry.mid(p + 1);
    e.shortweb = shortweb(e.webpro);
    return e;
}

QString shortweb(const QString& webpro) { return webpro.mid(kUrlPrefixLength); }

bool sameText(const QString& a, const QString& b) {
    return a.size() == b.size() && QStringView(a).compare(QStringView(b), Qt::CaseSensitive) == 0;
}

std::optional<Entry> findEntry(const QStringList& menulist, const QString& text) {
    for (const QString& line : menulist) {
        Entry e = splitEntry(line);
        if (sameText(e.namepro, text)) return e;
    }
    return std::nullopt;
}

const GroupRow* findRow(const QString& text) {
    for (const GroupRow& row : grouplist())
        if (sameText(row.key, text)) return &row;
    return nullptr;
}

}  // namespace volnor::catalogue

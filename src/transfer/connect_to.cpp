#include "transfer/connect_to.h"

namespace volnor {

QStringList connectToList(const QString& list) {
    QStringList entries;
    for (const QString& entry : list.split(u';', Qt::SkipEmptyParts))
        if (!entry.trimmed().isEmpty()) entries << entry.trimmed();
    return entries;
}

}  // namespace volnor

#include "platform/filesearch.h"

#include <QDir>

namespace volnor {

QStringList findEntries(const QString& folder, const QString& mask) {
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!dir.exists()) return {};
    return dir.entryList({mask},
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDir::NoSort);
}

}  // namespace volnor

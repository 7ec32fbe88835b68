#pragma once
#include <QString>
#include <QStringList>

namespace volnor {

// FindFirst/FindNext over one folder: the names of all entries (files, folders, hidden ones)
// whose name matches a "*"/"?" mask, letter case ignored as on Windows. "." and ".." are not
// returned. A missing folder yields nothing.
QStringList findEntries(const QString& folder, const QString& mask);

}  // namespace volnor

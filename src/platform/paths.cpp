#include "platform/paths.h"

#include <QDir>
#include <QStandardPaths>

namespace volnor {

WinPaths WinPaths::forUser() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return WinPaths(data + QStringLiteral("/VOLNOR/drive_c"));
}

WinPaths::WinPaths(QString driveRoot) : driveRoot_(std::move(driveRoot)) {
    while (driveRoot_.size() > 1 && driveRoot_.endsWith(QLatin1Char('/'))) driveRoot_.chop(1);
}

QString WinPaths::native(const QString& windowsPath) const {
    const bool onDriveC = windowsPath.size() >= 2 && windowsPath[1] == QLatin1Char(':') &&
                          windowsPath[0].toUpper() == QLatin1Char('C');
    if (!onDriveC) return relative(windowsPath);
    QString rest = windowsPath.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!rest.startsWith(QLatin1Char('/'))) rest.prepend(QLatin1Char('/'));
    return driveRoot_ + rest;
}

QString WinPaths::relative(const QString& windowsPath) {
    QString p = windowsPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.startsWith(QLatin1String("./"))) p.remove(0, 2);
    if (p.isEmpty() || p == QLatin1String(".")) return QStringLiteral(".");
    return p;
}

}  // namespace volnor

#include "ui/error_report.h"

#include <QFileInfo>

namespace volnor::ui {

QString applicationTitle(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    return name.left(1) + name.mid(1).toLower();
}

QString withFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) return text + QLatin1Char('.');
    return text;
}

}  // namespace volnor::ui

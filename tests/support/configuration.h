#pragma once
// The local files of a start that finds nothing to update, for window tests that are not about
// start-up: the configuration copy and the local state file with the same date, written in the
// short date format the window reads them with (the user's by default). Without withNews the
// configuration has no MESS key at all.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>

#include "update/dates.h"

namespace volnor::test {

inline bool writeCurrentConfiguration(const QString& exeDir,
                                      const ShortDateFormat& format = ShortDateFormat::user(),
                                      bool withNews = true) {
    const QString date = DateToStr(QDate(2026, 12, 1), format);
    const struct {
        const char* file;
        QString text;
    } files[] = {
        {"eplan-config.ini", QStringLiteral("[EPLAN]\r\nDATE=%1\r\n%2")
                                .arg(date, withNews ? QStringLiteral("MESS=\r\n") : QString())},
        {"eplan-config_local.ini", QStringLiteral("[Eplan]\r\nDATEUPDATE=%1\r\n").arg(date)},
    };
    for (const auto& f : files) {
        QFile out(QDir(exeDir).filePath(QString::fromLatin1(f.file)));
        if (!out.open(QIODevice::WriteOnly) || out.write(f.text.toLatin1()) < 0) return false;
    }
    return true;
}

}  // namespace volnor::test

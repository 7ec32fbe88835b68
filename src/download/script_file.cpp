#include "download/script_file.h"

#include "download/transient_file.h"
#include "platform/ansi.h"
#include "platform/error.h"

namespace volnor {

void writeScript(const QString& path, const QStringList& lines) {
    const auto fail = [&path](const QString& reason) {
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    };
    QByteArray bytes;
    for (const QString& line : lines) {
        const auto ansi = toAnsi(line);
        if (!ansi)
            fail(QStringLiteral("The line \"%1\" has a character outside code page 1251.")
                     .arg(line));
        bytes += *ansi;
        bytes += "\r\n";
    }
    // Written aside and renamed into place, so a failed write never leaves half a script.
    TransientFile file(path);
    if (!file.open()) fail(file.errorString());
    if (file.device().write(bytes) != bytes.size()) fail(file.device().errorString());
    if (!file.commit()) fail(file.errorString());
}

QStringList unpackScript(const QString& shortweb) {
    return {
        QStringLiteral("cd 7z\\"),
        QStringLiteral("7z.exe x -r ..\\%1 -o..\\ -y").arg(shortweb),
        QStringLiteral("cd ..\\"),
        QStringLiteral("del %1").arg(shortweb),
    };
}

}  // namespace volnor

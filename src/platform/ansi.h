#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace volnor {

// Text in the users' ANSI code page, Windows-1251, as scripts and INI files are written in it.

// Nothing when the text holds a character the code page cannot represent: a substitute would
// silently change a file name in a script.
std::optional<QByteArray> toAnsi(const QString& text);

// Every byte decodes; the one unassigned byte (0x98) becomes U+FFFD.
QString fromAnsi(const QByteArray& bytes);

}  // namespace volnor

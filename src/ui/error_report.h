#pragma once
#include <QString>

namespace volnor::ui {

// The application's title: the executable's file name without its extension, every character
// after the first in lower case ("VOLNOR_Eplan_DB.exe" -> "Volnor_eplan_db").
QString applicationTitle(const QString& executablePath);

// The text of the error report: a full stop is appended when the last character's code lies
// above '.', so a text ending in ".", " ", "!", "," or "-" (or nothing at all) is left as it is.
QString withFullStop(const QString& text);

}  // namespace volnor::ui

#pragma once
#include <QString>
#include <string>

namespace volnor {
class Dialogs;
}

namespace volnor::ui {

// The program's visual style, applied to every window before the main window is created.
inline constexpr auto kStyleName = "Sapphire Kamri";

// Applies the named style sheet to the whole application. A style that is unknown or cannot be
// loaded is reported in an error box and the program goes on with the default look.
bool TrySetStyle(const QString& name, Dialogs& dialogs, const std::string& title);

// Tahoma and Times New Roman are rarely installed here: stand in with metric-compatible fonts.
void installFontSubstitutions();

}  // namespace volnor::ui

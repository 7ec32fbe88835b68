#pragma once

class QTranslator;

namespace volnor::ui {

// Loads Qt's own Russian catalogue (the standard buttons, the file chooser) from Qt's
// translations folder into translator and installs it in the application. The program speaks
// Russian only, so the user's locale is not asked. False when the catalogue cannot be loaded;
// Qt's texts then stay English.
bool installRussianTranslation(QTranslator& translator);

}  // namespace volnor::ui

#include "ui/qt/qt_text.h"

#include "platform/text.h"

namespace volnor::ui {

QString qs(const std::filesystem::path& path) { return qs(utf8Of(path)); }

}  // namespace volnor::ui

#include "platform/error.h"

namespace volnor {

Error::Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}

}  // namespace volnor

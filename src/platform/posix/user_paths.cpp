#include "platform/posix/user_paths.h"

#include <QStandardPaths>

#include "platform/text.h"

namespace volnor::posix {

std::filesystem::path userDriveFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return pathOf((data + QStringLiteral("/VOLNOR/drive_c")).toStdString());
}

}  // namespace volnor::posix

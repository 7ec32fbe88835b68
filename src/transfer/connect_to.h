#pragma once
#include <QString>
#include <QStringList>

#include "buildconfig.h"

namespace volnor {

// The connect-to entries for both clients from a ";"-separated list ("HOST:PORT:ADDR:PORT;..."),
// by default the one the program was built with (empty in a release build).
QStringList connectToList(const QString& list = QString::fromUtf8(buildconfig::kConnectTo));

}  // namespace volnor

// The INI reader and writer on any file content: reading never crashes and gives a value as
// the reader's rules cut it; writing the update date gives a file from which that date reads
// back, and the other keys of the file read as before.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "fuzz_check.h"
#include "update/ini.h"

namespace {

bool wellCut(const std::optional<QString>& value) {
    return !value || (value->size() <= volnor::kIniValueLimit && !value->contains(QChar(0)) &&
                      !value->contains(QLatin1Char('\n')) && !value->contains(QLatin1Char('\r')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString section = QStringLiteral("EPLAN");
    const QString others[] = {QStringLiteral("DATE"), QStringLiteral("MESS"), QStringLiteral("")};
    for (const QString& key : others) FUZZ_CHECK(wellCut(volnor::iniValue(content, section, key)));

    const QString date = QStringLiteral("10.12.2026");
    const auto written =
        volnor::iniWithValue(content, QStringLiteral("Eplan"), QStringLiteral("DATEUPDATE"), date);
    if (!written) return 0;  // a value the file's encoding cannot hold
    FUZZ_CHECK(volnor::iniValue(*written, section, QStringLiteral("dateupdate")) == date);
    for (const QString& key : others)
        FUZZ_CHECK(volnor::iniValue(*written, section, key) == volnor::iniValue(content, section, key));
    return 0;
}

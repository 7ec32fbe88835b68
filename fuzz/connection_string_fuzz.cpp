// The OLE DB connection string of the parts-database provider: it never crashes, and what it
// reads comes back the same from a string written out again with every value quoted.
#include <cstdint>

#include "fuzz_check.h"
#include "platform/error.h"
#include "platform/jetdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    std::map<QString, QString> options;
    try {
        options = volnor::jet::parseConnectionString(text);
    } catch (const volnor::Error& e) {
        FUZZ_CHECK(!e.text().isEmpty());
        return 0;
    }
    QString written;
    for (const auto& [key, value] : options) {
        FUZZ_CHECK(key == key.trimmed() && key == key.toLower());
        FUZZ_CHECK(!key.contains(u'=') && !key.contains(u';'));
        written += key + QStringLiteral("=\"") + QString(value).replace(u'"', QStringLiteral("\"\"")) +
                   QStringLiteral("\";");
    }
    FUZZ_CHECK(volnor::jet::parseConnectionString(written) == options);
    return 0;
}

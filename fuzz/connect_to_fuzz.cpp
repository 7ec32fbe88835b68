// The connect-to list of both transfer clients: every entry it gives curl is one non-empty,
// trimmed "HOST:PORT:ADDR:PORT" item without the list's separator.
#include <cstdint>

#include "fuzz_check.h"
#include "transfer/connect_to.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString list = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList entries = volnor::connectToList(list);
    for (const QString& entry : entries) {
        FUZZ_CHECK(!entry.isEmpty());
        FUZZ_CHECK(entry == entry.trimmed());
        FUZZ_CHECK(!entry.contains(u';'));
    }
    FUZZ_CHECK(entries.size() <= list.count(u';') + 1);
    return 0;
}

// The short date parser on any text, in a day-first and a month-first format: it never crashes,
// and a date it accepts is a valid one that DateToStr writes back to the same date.
#include <QString>
#include <cstdint>

#include "fuzz_check.h"
#include "update/dates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const char* pictures[] = {"dd.MM.yyyy", "M/d/yy", "yyyy-MM-dd"};
    for (const char* picture : pictures) {
        const auto format = volnor::ShortDateFormat::fromPicture(QString::fromLatin1(picture));
        FUZZ_CHECK(format.has_value());
        const auto date = volnor::parseDate(text, *format, 2026);
        if (!date) continue;
        FUZZ_CHECK(date->isValid());
        // A four-digit year outside the century window cannot come back from two digits.
        const int first = 2026 - volnor::kTwoDigitYearWindow;
        if (!format->fourDigitYear && (date->year() < first || date->year() >= first + 100)) continue;
        FUZZ_CHECK(volnor::parseDate(volnor::DateToStr(*date, *format), *format, 2026) == date);
    }
    return 0;
}

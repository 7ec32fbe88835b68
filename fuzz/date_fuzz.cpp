// The short date parser on any text, in a day-first, a month-first and a year-first format, and
// the picture reader on the same text: nothing crashes, a date the parser accepts is a valid one
// that DateToStr writes back to the same date, and a picture accepted is one of three numbers
// around one separator.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "update/dates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* pictures[] = {"dd.MM.yyyy", "M/d/yy", "yyyy-MM-dd"};
    for (const char* picture : pictures) {
        const auto format = volnor::ShortDateFormat::fromPicture(picture);
        FUZZ_CHECK(format.has_value());
        const auto date = volnor::parseDate(text, *format, 2026);
        if (!date) continue;
        FUZZ_CHECK(date->ok());
        // A four-digit year outside the century window cannot come back from two digits.
        const int year = static_cast<int>(date->year());
        const int first = 2026 - volnor::kTwoDigitYearWindow;
        if (!format->fourDigitYear && (year < first || year >= first + 100)) continue;
        FUZZ_CHECK(volnor::parseDate(volnor::DateToStr(*date, *format), *format, 2026) == date);
    }
    if (const auto format = volnor::ShortDateFormat::fromPicture(text)) {
        FUZZ_CHECK(!format->separator.empty());
        const auto date = std::chrono::year_month_day{std::chrono::year(2026),
                                                      std::chrono::month(12), std::chrono::day(1)};
        FUZZ_CHECK(volnor::parseDate(volnor::DateToStr(date, *format), *format, 2026) == date);
    }
    return 0;
}

#pragma once
// Dates as text in the user's regional short date format, as StrToDate and DateToStr have them.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/date_format.h"

namespace volnor {

// Two-digit years fall into the hundred years that begin this many years before the current one.
inline constexpr int kTwoDigitYearWindow = 50;

// The date the text gives under the format: blanks (spaces, tabs) around it; day and month of one
// or two digits; a year of four digits, or of one or two digits in the century window; without a
// year, the current year. Nothing for any other text, the empty one included.
std::optional<std::chrono::year_month_day> parseDate(std::string_view text,
                                                     const ShortDateFormat& format,
                                                     int currentYear);

// As parseDate; throws volnor::Error "'<text>' is not a valid date".
std::chrono::year_month_day StrToDate(const std::string& text, const ShortDateFormat& format,
                                      int currentYear);

// The date written as the format says.
std::string DateToStr(const std::chrono::year_month_day& date, const ShortDateFormat& format);

}  // namespace volnor

#include "update/dates.h"

#include <vector>

#include "platform/error.h"

namespace volnor {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// At most four digits: no overflow.
int number(std::string_view digits) {
    int value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    return value;
}

std::string padded(int value, std::size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width) s.insert(0, width - s.size(), '0');
    return s;
}

// Every part, the empty ones too.
std::vector<std::string_view> partsOf(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (std::size_t at; (at = text.find(separator)) != std::string_view::npos;) {
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
    parts.push_back(text);
    return parts;
}

}  // namespace

std::optional<std::chrono::year_month_day> parseDate(std::string_view text,
                                                     const ShortDateFormat& format,
                                                     int currentYear) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (format.separator.empty()) return std::nullopt;
    const std::vector<std::string_view> parts = partsOf(text, format.separator);
    if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
    for (const std::string_view part : parts)
        if (!allDigits(part)) return std::nullopt;

    std::string_view day, month, year;
    using Order = ShortDateFormat::Order;
    if (parts.size() == 2) {
        // Without a year: the other two in their order.
        const bool dayFirst = format.order == Order::DayMonthYear;
        day = parts[dayFirst ? 0 : 1];
        month = parts[dayFirst ? 1 : 0];
    } else if (format.order == Order::DayMonthYear) {
        day = parts[0];
        month = parts[1];
        year = parts[2];
    } else if (format.order == Order::MonthDayYear) {
        month = parts[0];
        day = parts[1];
        year = parts[2];
    } else {
        year = parts[0];
        month = parts[1];
        day = parts[2];
    }
    if (day.size() > 2 || month.size() > 2) return std::nullopt;
    int y = currentYear;
    if (parts.size() == 3) {
        if (year.size() == 3 || year.size() > 4) return std::nullopt;
        y = number(year);
        if (year.size() <= 2) {
            const int base = currentYear - kTwoDigitYearWindow;
            y += base / 100 * 100;
            if (y < base) y += 100;
        }
    }
    const std::chrono::year_month_day date{std::chrono::year(y),
                                           std::chrono::month(static_cast<unsigned>(number(month))),
                                           std::chrono::day(static_cast<unsigned>(number(day)))};
    if (y < 1 || !date.ok()) return std::nullopt;
    return date;
}

std::chrono::year_month_day StrToDate(const std::string& text, const ShortDateFormat& format,
                                      int currentYear) {
    if (const auto date = parseDate(text, format, currentYear)) return *date;
    throw Error("'" + text + "' is not a valid date");
}

std::string DateToStr(const std::chrono::year_month_day& date, const ShortDateFormat& format) {
    const int year = static_cast<int>(date.year());
    const std::string d =
        padded(static_cast<int>(unsigned(date.day())), format.twoDigitDay ? 2 : 1);
    const std::string m =
        padded(static_cast<int>(unsigned(date.month())), format.twoDigitMonth ? 2 : 1);
    const std::string y = format.fourDigitYear ? padded(year, 4) : padded(year % 100, 2);
    const std::string& s = format.separator;
    switch (format.order) {
        case ShortDateFormat::Order::MonthDayYear:
            return m + s + d + s + y;
        case ShortDateFormat::Order::YearMonthDay:
            return y + s + m + s + d;
        case ShortDateFormat::Order::DayMonthYear:
            break;
    }
    return d + s + m + s + y;
}

}  // namespace volnor

#pragma once
#include <optional>
#include <string>

namespace volnor {

// The short date format: the order of day, month and year, the separator, and how many digits
// each part is written with.
struct ShortDateFormat {
    enum class Order { DayMonthYear, MonthDayYear, YearMonthDay };
    Order order = Order::DayMonthYear;
    std::string separator = ".";
    bool twoDigitDay = true;
    bool twoDigitMonth = true;
    bool fourDigitYear = true;

    // From a picture in the locale's notation ("dd.MM.yyyy", "M/d/yy"), which is the one of the
    // Windows short date setting too: day, month and year as numbers, one separator between
    // them. Nothing for any other picture ("d MMM yyyy").
    static std::optional<ShortDateFormat> fromPicture(const std::string& picture);

    bool operator==(const ShortDateFormat&) const = default;
};

}  // namespace volnor

#pragma once
// Dates as text in the user's regional short date format, as StrToDate and DateToStr have them.
#include <QDate>
#include <QString>
#include <QStringView>
#include <optional>

namespace volnor {

// The short date format: the order of day, month and year, the separator, and how many digits
// each part is written with.
struct ShortDateFormat {
    enum class Order { DayMonthYear, MonthDayYear, YearMonthDay };
    Order order = Order::DayMonthYear;
    QString separator = QStringLiteral(".");
    bool twoDigitDay = true;
    bool twoDigitMonth = true;
    bool fourDigitYear = true;

    // From a picture in the locale's notation ("dd.MM.yyyy", "M/d/yy"): day, month and year as
    // numbers, one separator between them. Nothing for any other picture ("d MMM yyyy").
    static std::optional<ShortDateFormat> fromPicture(const QString& picture);
    // The user's: the short format of the locale LC_TIME names. Where that one does not write
    // the date as three numbers (the C locale spells the month), the users' Russian dd.MM.yyyy.
    static ShortDateFormat user();

    bool operator==(const ShortDateFormat&) const = default;
};

// Two-digit years fall into the hundred years that begin this many years before the current one.
inline constexpr int kTwoDigitYearWindow = 50;

// The date the text gives under the format: blanks (spaces, tabs) around it; day and month of one
// or two digits; a year of four digits, or of one or two digits in the century window; without a
// year, the current year. Nothing for any other text, the empty one included.
std::optional<QDate> parseDate(QStringView text, const ShortDateFormat& format, int currentYear);

// As parseDate; throws volnor::Error "'<text>' is not a valid date".
QDate StrToDate(const QString& text, const ShortDateFormat& format, int currentYear);

// The date written as the format says.
QString DateToStr(const QDate& date, const ShortDateFormat& format);

}  // namespace volnor

#include "update/dates.h"

#include <QList>
#include <QLocale>

#include "platform/error.h"

namespace volnor {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool allDigits(QStringView s) {
    if (s.isEmpty()) return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return true;
}

int number(QStringView digits) {
    int value = 0;
    for (const QChar c : digits) value = value * 10 + (c.unicode() - u'0');
    return value;
}

QString padded(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

std::optional<ShortDateFormat> ShortDateFormat::fromPicture(const QString& picture) {
    struct Field {
        QChar letter;
        qsizetype count;
    };
    QList<Field> fields;
    QStringList separators;
    const qsizetype n = picture.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = picture[i];
        qsizetype next = i + 1;
        if (c == u'd' || c == u'M' || c == u'y') {
            while (next < n && picture[next] == c) ++next;
            if (fields.size() != separators.size()) return std::nullopt;  // two fields abut
            fields.append({c, next - i});
        } else if (c.isLetter()) {
            return std::nullopt;  // a month's or a day's name, an era, a quoted word
        } else {
            while (next < n && !picture[next].isLetter()) ++next;
            if (fields.size() != separators.size() + 1) return std::nullopt;
            separators.append(picture.mid(i, next - i));
        }
        i = next;
    }
    if (fields.size() != 3 || separators.size() != 2 || separators[0] != separators[1])
        return std::nullopt;

    ShortDateFormat f;
    const QString letters = QString(fields[0].letter) + fields[1].letter + fields[2].letter;
    if (letters == QLatin1String("dMy"))
        f.order = Order::DayMonthYear;
    else if (letters == QLatin1String("Mdy"))
        f.order = Order::MonthDayYear;
    else if (letters == QLatin1String("yMd"))
        f.order = Order::YearMonthDay;
    else
        return std::nullopt;
    for (const Field& field : fields) {
        if (field.letter == u'y') {
            if (field.count != 2 && field.count != 4) return std::nullopt;
            f.fourDigitYear = field.count == 4;
        } else {
            if (field.count > 2) return std::nullopt;
            (field.letter == u'd' ? f.twoDigitDay : f.twoDigitMonth) = field.count == 2;
        }
    }
    f.separator = separators[0];
    return f;
}

ShortDateFormat ShortDateFormat::user() {
    // Qt's system locale takes its date formats from LC_TIME (LC_ALL before it, LANG after).
    return fromPicture(QLocale::system().dateFormat(QLocale::ShortFormat))
        .value_or(ShortDateFormat{});
}

std::optional<QDate> parseDate(QStringView text, const ShortDateFormat& format, int currentYear) {
    while (!text.isEmpty() && isBlank(text.front())) text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back())) text.chop(1);
    if (format.separator.isEmpty()) return std::nullopt;
    const QList<QStringView> parts = text.split(format.separator);
    if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
    for (const QStringView part : parts)
        if (!allDigits(part)) return std::nullopt;

    QStringView day, month, year;
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
    const QDate date(y, number(month), number(day));
    if (y < 1 || !date.isValid()) return std::nullopt;
    return date;
}

QDate StrToDate(const QString& text, const ShortDateFormat& format, int currentYear) {
    if (const auto date = parseDate(text, format, currentYear)) return *date;
    throw Error(QStringLiteral("'%1' is not a valid date").arg(text));
}

QString DateToStr(const QDate& date, const ShortDateFormat& format) {
    const QString d = padded(date.day(), format.twoDigitDay ? 2 : 1);
    const QString m = padded(date.month(), format.twoDigitMonth ? 2 : 1);
    const QString y = format.fourDigitYear ? padded(date.year(), 4) : padded(date.year() % 100, 2);
    const QString& s = format.separator;
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

// Dates in the short date format: StrToDate and DateToStr with the format fixed by the test.
#include "update/dates.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/error.h"

namespace volnor {
namespace {

using std::chrono::year_month_day;

constexpr int kYear = 2026;

year_month_day ymd(int y, unsigned m, unsigned d) {
    return year_month_day{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
}

// For messages that say which date came.
std::string shown(const std::optional<year_month_day>& date) {
    if (!date) return "(rejected)";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date->year()),
                  unsigned(date->month()), unsigned(date->day()));
    return text;
}

ShortDateFormat format(const char* picture) {
    const auto f = ShortDateFormat::fromPicture(picture);
    EXPECT_TRUE(f.has_value()) << picture;
    return f.value_or(ShortDateFormat{});
}

TEST(ShortDateFormat, TakesPicturesOfThreeNumbersAndOneSeparator) {
    using O = ShortDateFormat::Order;
    struct Case {
        const char* picture;
        std::optional<ShortDateFormat> expected;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", ShortDateFormat{O::DayMonthYear, ".", true, true, true}},
        {"M/d/yy", ShortDateFormat{O::MonthDayYear, "/", false, false, false}},
        {"yyyy-MM-dd", ShortDateFormat{O::YearMonthDay, "-", true, true, true}},
        {"d. M. yyyy", ShortDateFormat{O::DayMonthYear, ". ", false, false, true}},
        // Blanks and marks beyond ASCII separate as well (a no-break space, a direction mark).
        {"dd\u00A0MM\u00A0yyyy", ShortDateFormat{O::DayMonthYear, "\u00A0", true, true, true}},
        {"d\u200F/M\u200F/yyyy", ShortDateFormat{O::DayMonthYear, "\u200F/", false, false, true}},
        {"d MMM yyyy", std::nullopt},
        {"dd.MM", std::nullopt},
        {"dd/MM.yyyy", std::nullopt},
        {"ddMMyyyy", std::nullopt},
        {"dd.MM.yyy", std::nullopt},
        {"ddd.MM.yyyy", std::nullopt},
        {"yyyy.dd.MM", std::nullopt},
        {"dd.MM.yyyy 'г.'", std::nullopt},
        {"dd.MM.yyyy г.", std::nullopt},
        {"yyyy年M月d日", std::nullopt},
        {"dd1MM1yyyy", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortDateFormat::fromPicture(c.picture), c.expected) << c.picture;
    // Without a usable format, the users' Russian one.
    EXPECT_EQ(ShortDateFormat{}, format("dd.MM.yyyy"));
}

TEST(StrToDate, ReadsTheFormatsOrderAndRejectsEverythingElse) {
    struct Case {
        const char* picture;
        const char* text;
        std::optional<year_month_day> date;  // nothing: rejected
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "10.12.2026", ymd(2026, 12, 10)},
        {"dd.MM.yyyy", "01.02.2026", ymd(2026, 2, 1)},
        {"dd.MM.yyyy", "1.2.2026", ymd(2026, 2, 1)},
        {"dd.MM.yyyy", " \t10.12.2026 \t", ymd(2026, 12, 10)},
        {"dd.MM.yyyy", "10.12", ymd(2026, 12, 10)},
        {"dd.MM.yyyy", "29.02.2024", ymd(2024, 2, 29)},
        // Two-digit years within 1976..2075, the fifty years either side of 2026.
        {"dd.MM.yyyy", "10.12.26", ymd(2026, 12, 10)},
        {"dd.MM.yyyy", "10.12.75", ymd(2075, 12, 10)},
        {"dd.MM.yyyy", "10.12.76", ymd(1976, 12, 10)},
        {"dd.MM.yyyy", "1.1.5", ymd(2005, 1, 1)},
        {"dd.MM.yyyy", "1.1.0", ymd(2000, 1, 1)},
        {"dd.MM.yy", "10.12.2026", ymd(2026, 12, 10)},
        {"M/d/yyyy", "01/02/2026", ymd(2026, 1, 2)},
        {"M/d/yyyy", "12/10/2026", ymd(2026, 12, 10)},
        {"M/d/yyyy", "12/10", ymd(2026, 12, 10)},
        {"M/d/yy", "2/1/99", ymd(1999, 2, 1)},
        {"yyyy-MM-dd", "2026-12-10", ymd(2026, 12, 10)},
        {"yyyy-MM-dd", "12-10", ymd(2026, 12, 10)},
        {"d. M. yyyy", "10. 12. 2026", ymd(2026, 12, 10)},
        {"dd\u00A0MM\u00A0yyyy", "10\u00A012\u00A02026", ymd(2026, 12, 10)},
        // Rejected.
        {"dd.MM.yyyy", "", std::nullopt},
        {"dd.MM.yyyy", "  ", std::nullopt},
        {"dd.MM.yyyy", "29.02.2026", std::nullopt},
        {"dd.MM.yyyy", "31.04.2026", std::nullopt},
        {"dd.MM.yyyy", "00.01.2026", std::nullopt},
        {"dd.MM.yyyy", "10.13.2026", std::nullopt},
        {"dd.MM.yyyy", "10.12.0000", std::nullopt},
        {"dd.MM.yyyy", "10.12.026", std::nullopt},
        {"dd.MM.yyyy", "10.12.20260", std::nullopt},
        {"dd.MM.yyyy", "010.12.2026", std::nullopt},
        {"dd.MM.yyyy", "10", std::nullopt},
        {"dd.MM.yyyy", "10.12.2026.", std::nullopt},
        {"dd.MM.yyyy", "10..12.2026", std::nullopt},
        {"dd.MM.yyyy", "1 0.12.2026", std::nullopt},
        {"dd.MM.yyyy", "+1.12.2026", std::nullopt},
        {"dd.MM.yyyy", "10.12.2026 г.", std::nullopt},
        {"dd.MM.yyyy", "１０.12.2026", std::nullopt},
        {"dd.MM.yyyy", "10/12/2026", std::nullopt},
        {"dd.MM.yyyy", "12/31/2026", std::nullopt},
        {"M/d/yyyy", "31.12.2026", std::nullopt},
        {"M/d/yyyy", "13/10/2026", std::nullopt},
        {"dd.MM.yyyy", "<html>", std::nullopt},
        {"dd\u00A0MM\u00A0yyyy", "10 12 2026", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = parseDate(c.text, format(c.picture), kYear);
        EXPECT_EQ(shown(parsed), shown(c.date)) << c.picture << " '" << c.text << "'";
        if (!c.date) {
            try {
                StrToDate(c.text, format(c.picture), kYear);
                ADD_FAILURE() << c.text << ": no error";
            } catch (const Error& e) {
                EXPECT_EQ(e.text(), "'" + std::string(c.text) + "' is not a valid date");
            }
        } else {
            EXPECT_EQ(shown(StrToDate(c.text, format(c.picture), kYear)), shown(c.date));
        }
    }
}

TEST(DateToStr, WritesWhatTheFormatSaysAndReadsBackTheSameDay) {
    struct Case {
        const char* picture;
        year_month_day date;
        const char* text;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", ymd(2026, 12, 10), "10.12.2026"},
        {"dd.MM.yyyy", ymd(2026, 2, 1), "01.02.2026"},
        {"dd.MM.yyyy", ymd(5, 2, 1), "01.02.0005"},
        {"d.M.yyyy", ymd(2026, 2, 1), "1.2.2026"},
        {"M/d/yy", ymd(2026, 2, 1), "2/1/26"},
        {"M/d/yy", ymd(2005, 12, 10), "12/10/05"},
        {"MM/dd/yyyy", ymd(2026, 2, 1), "02/01/2026"},
        {"yyyy-MM-dd", ymd(2026, 12, 10), "2026-12-10"},
        {"d. M. yyyy", ymd(2026, 12, 10), "10. 12. 2026"},
    };
    for (const Case& c : cases) {
        const std::string text = DateToStr(c.date, format(c.picture));
        EXPECT_EQ(text, c.text) << c.picture;
        EXPECT_EQ(shown(parseDate(text, format(c.picture), kYear)), shown(c.date)) << c.text;
    }
}

}  // namespace
}  // namespace volnor

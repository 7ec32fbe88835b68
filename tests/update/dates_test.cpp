// Dates in the short date format: StrToDate and DateToStr with the format fixed by the test.
#include "update/dates.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace volnor {
namespace {

constexpr int kYear = 2026;

ShortDateFormat format(const char* picture) {
    const auto f = ShortDateFormat::fromPicture(QString::fromLatin1(picture));
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
        {"d MMM yyyy", std::nullopt},
        {"dd.MM", std::nullopt},
        {"dd/MM.yyyy", std::nullopt},
        {"ddMMyyyy", std::nullopt},
        {"dd.MM.yyy", std::nullopt},
        {"ddd.MM.yyyy", std::nullopt},
        {"yyyy.dd.MM", std::nullopt},
        {"dd.MM.yyyy 'г.'", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortDateFormat::fromPicture(QString::fromUtf8(c.picture)), c.expected)
            << c.picture;
    // Without a usable format, the users' Russian one.
    EXPECT_EQ(ShortDateFormat{}, format("dd.MM.yyyy"));
}

TEST(StrToDate, ReadsTheFormatsOrderAndRejectsEverythingElse) {
    struct Case {
        const char* picture;
        const char* text;
        QDate date;  // null: rejected
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "10.12.2026", {2026, 12, 10}},
        {"dd.MM.yyyy", "01.02.2026", {2026, 2, 1}},
        {"dd.MM.yyyy", "1.2.2026", {2026, 2, 1}},
        {"dd.MM.yyyy", " \t10.12.2026 \t", {2026, 12, 10}},
        {"dd.MM.yyyy", "10.12", {2026, 12, 10}},
        {"dd.MM.yyyy", "29.02.2024", {2024, 2, 29}},
        // Two-digit years within 1976..2075, the fifty years either side of 2026.
        {"dd.MM.yyyy", "10.12.26", {2026, 12, 10}},
        {"dd.MM.yyyy", "10.12.75", {2075, 12, 10}},
        {"dd.MM.yyyy", "10.12.76", {1976, 12, 10}},
        {"dd.MM.yyyy", "1.1.5", {2005, 1, 1}},
        {"dd.MM.yyyy", "1.1.0", {2000, 1, 1}},
        {"dd.MM.yy", "10.12.2026", {2026, 12, 10}},
        {"M/d/yyyy", "01/02/2026", {2026, 1, 2}},
        {"M/d/yyyy", "12/10/2026", {2026, 12, 10}},
        {"M/d/yyyy", "12/10", {2026, 12, 10}},
        {"M/d/yy", "2/1/99", {1999, 2, 1}},
        {"yyyy-MM-dd", "2026-12-10", {2026, 12, 10}},
        {"yyyy-MM-dd", "12-10", {2026, 12, 10}},
        {"d. M. yyyy", "10. 12. 2026", {2026, 12, 10}},
        // Rejected.
        {"dd.MM.yyyy", "", {}},
        {"dd.MM.yyyy", "  ", {}},
        {"dd.MM.yyyy", "29.02.2026", {}},
        {"dd.MM.yyyy", "31.04.2026", {}},
        {"dd.MM.yyyy", "00.01.2026", {}},
        {"dd.MM.yyyy", "10.13.2026", {}},
        {"dd.MM.yyyy", "10.12.0000", {}},
        {"dd.MM.yyyy", "10.12.026", {}},
        {"dd.MM.yyyy", "10.12.20260", {}},
        {"dd.MM.yyyy", "010.12.2026", {}},
        {"dd.MM.yyyy", "10", {}},
        {"dd.MM.yyyy", "10.12.2026.", {}},
        {"dd.MM.yyyy", "10..12.2026", {}},
        {"dd.MM.yyyy", "1 0.12.2026", {}},
        {"dd.MM.yyyy", "+1.12.2026", {}},
        {"dd.MM.yyyy", "10.12.2026 г.", {}},
        {"dd.MM.yyyy", "１０.12.2026", {}},
        {"dd.MM.yyyy", "10/12/2026", {}},
        {"dd.MM.yyyy", "12/31/2026", {}},
        {"M/d/yyyy", "31.12.2026", {}},
        {"M/d/yyyy", "13/10/2026", {}},
        {"dd.MM.yyyy", "<html>", {}},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const auto parsed = parseDate(text, format(c.picture), kYear);
        EXPECT_EQ(parsed.value_or(QDate()), c.date) << c.picture << " '" << c.text << "'";
        if (c.date.isNull()) {
            try {
                StrToDate(text, format(c.picture), kYear);
                ADD_FAILURE() << c.text << ": no error";
            } catch (const Error& e) {
                EXPECT_EQ(e.text(), QStringLiteral("'%1' is not a valid date").arg(text));
            }
        } else {
            EXPECT_EQ(StrToDate(text, format(c.picture), kYear), c.date);
        }
    }
}

TEST(DateToStr, WritesWhatTheFormatSaysAndReadsBackTheSameDay) {
    struct Case {
        const char* picture;
        QDate date;
        const char* text;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", {2026, 12, 10}, "10.12.2026"},
        {"dd.MM.yyyy", {2026, 2, 1}, "01.02.2026"},
        {"dd.MM.yyyy", {5, 2, 1}, "01.02.0005"},
        {"d.M.yyyy", {2026, 2, 1}, "1.2.2026"},
        {"M/d/yy", {2026, 2, 1}, "2/1/26"},
        {"M/d/yy", {2005, 12, 10}, "12/10/05"},
        {"MM/dd/yyyy", {2026, 2, 1}, "02/01/2026"},
        {"yyyy-MM-dd", {2026, 12, 10}, "2026-12-10"},
        {"d. M. yyyy", {2026, 12, 10}, "10. 12. 2026"},
    };
    for (const Case& c : cases) {
        const QString text = DateToStr(c.date, format(c.picture));
        EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.picture;
        EXPECT_EQ(parseDate(text, format(c.picture), kYear), c.date) << c.text;
    }
}

}  // namespace
}  // namespace volnor

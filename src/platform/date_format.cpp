#include "platform/date_format.h"

#include <string_view>
#include <vector>

#include "platform/text.h"

namespace volnor {

namespace {

// Letters end a separator: a day's or a month's name, an era, a quoted word. Beyond ASCII, the
// blanks and punctuation that locales put between the numbers (no-break space, the direction
// marks, the ideographic full stop) are no letters; every other character is taken for one,
// which at worst turns a usable picture down.
bool isLetter(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c <= 0xBF) return c == 0xAA || c == 0xB5 || c == 0xBA;
    if (c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x206F) return false;
    if (c >= 0x3000 && c <= 0x3003) return false;
    return true;
}

// A digit would run into the numbers around it.
bool inSeparator(char16_t c) { return !isLetter(c) && !(c >= u'0' && c <= u'9'); }

}  // namespace

std::optional<ShortDateFormat> ShortDateFormat::fromPicture(const std::string& picture) {
    struct Field {
        char16_t letter;
        std::size_t count;
    };
    const std::u16string p = toUtf16(picture);
    std::vector<Field> fields;
    std::vector<std::u16string> separators;
    const std::size_t n = p.size();
    std::size_t i = 0;
    while (i < n) {
        const char16_t c = p[i];
        std::size_t next = i + 1;
        if (c == u'd' || c == u'M' || c == u'y') {
            while (next < n && p[next] == c) ++next;
            if (fields.size() != separators.size()) return std::nullopt;  // two fields abut
            fields.push_back({c, next - i});
        } else if (!inSeparator(c)) {
            return std::nullopt;
        } else {
            while (next < n && inSeparator(p[next])) ++next;
            if (fields.size() != separators.size() + 1) return std::nullopt;
            separators.push_back(p.substr(i, next - i));
        }
        i = next;
    }
    if (fields.size() != 3 || separators.size() != 2 || separators[0] != separators[1])
        return std::nullopt;

    ShortDateFormat f;
    const std::u16string letters{fields[0].letter, fields[1].letter, fields[2].letter};
    if (letters == u"dMy")
        f.order = Order::DayMonthYear;
    else if (letters == u"Mdy")
        f.order = Order::MonthDayYear;
    else if (letters == u"yMd")
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
    f.separator = fromUtf16(separators[0]);
    return f;
}

}  // namespace volnor

// The ANSI code page through the system's own conversion: under a Russian locale it is
// Windows-1251, the code page the program's scripts and INI files are written in.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/ansi_codec.h"

namespace volnor {
namespace {

struct Case {
    const char* name;
    std::string utf8;
    std::optional<std::string> ansi;  // nothing: the code page cannot hold the text
};

TEST(AnsiCodec, ConvertsToTheRussianCodePageOrRefuses) {
    const Case cases[] = {
        {"ascii", "7z.exe x -r ..\\a.zip", "7z.exe x -r ..\\a.zip"},
        {"cyrillic", "Щиты ЁЖ", std::string("\xD9\xE8\xF2\xFB \xA8\xC6")},
        {"empty", "", std::string()},
        // A best-fit substitute ("a" for "ä") would silently change a file name.
        {"letter of another script", "Bär", std::nullopt},
        {"no utf-8", "\xFF\xFE", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToAnsi(c.utf8), c.ansi);
        if (c.ansi) {
            EXPECT_EQ(ansiToUtf8(*c.ansi), c.utf8);
        }
    }
}

TEST(AnsiCodec, DecodesEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = ansiToUtf8(all);
    EXPECT_NE(utf8.find("АБВ"), std::string::npos);
    EXPECT_NE(utf8.find("№"), std::string::npos);
}

}  // namespace
}  // namespace volnor

#pragma once
// The reading of a ".cmd" script, apart from carrying it out: the interpreter runs what this
// yields, and nothing here touches a file or starts a program.
#include <string>
#include <string_view>
#include <vector>

namespace volnor::cmd {

struct Line {
    int number = 0;                  // counted from 1, blank lines included
    std::string text;                // trimmed, without a leading "@"
    std::string command;             // the first word in lower case ("cd", "del", ...)
    std::string rest;                // what follows the first blank, as written
    std::vector<std::string> words;  // the whole line split into words
};

// Splits at blanks; double quotes group and are removed.
std::vector<std::string> splitWords(std::string_view text);

// The lines of a script given as UTF-8 text: blank lines are left out.
std::vector<Line> readLines(std::string_view utf8);

// A script file's bytes, in the users' ANSI code page.
std::vector<Line> readScript(std::string_view ansi);

}  // namespace volnor::cmd

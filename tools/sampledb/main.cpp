// volnor-sampledb: writes a sample parts database and, optionally, a macro folder.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"
#include "sampledb/sampledb.h"

namespace {

// A whole decimal number, blanks around it allowed; nothing when the text is none.
std::optional<int> toInt(std::string_view text) {
    text = volnor::trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string password, macros;
    int files = 0;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == "--password" && i + 1 < args.size()) {
            password = args[i + 1];
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
        } else if (args[i] == "--macros" && i + 2 < args.size()) {
            macros = args[i + 1];
            files = toInt(args[i + 2]).value_or(0);
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 3);
        } else {
            ++i;
        }
    }
    const std::optional<int> parts = args.size() == 2 ? toInt(args[1]) : std::nullopt;
    if (!parts || *parts < 0) {
        std::cerr << "usage: volnor-sampledb DATABASE PARTS [--password PW] [--macros FOLDER "
                     "FILES]\n";
        return 2;
    }
    try {
        const auto c =
            volnor::sampledb::makeSampleDatabase(volnor::pathOf(args[0]), *parts, password);
        std::cout << args[0] << ": " << c.makerParts << " maker parts (" << c.nullTypenr
                  << " without type number), " << c.latinParts << " \"VOLNOR\", " << c.otherParts
                  << " other makers, " << c.variants << " variants, " << c.functionTemplates
                  << " function templates\n";
        if (!macros.empty())
            std::cout << macros << ": "
                      << volnor::sampledb::makeMacroFolder(volnor::pathOf(macros), files).size()
                      << " files\n";
    } catch (const volnor::Error& e) {
        std::cerr << e.text() << "\n";
        return 1;
    }
    return 0;
}

// The command interpreter's reading of a script file (lines and words, nothing run): it never
// crashes, every line it yields is one non-blank line of the script in order, and the code page
// gives back the script's bytes.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/ansi_codec.h"
#include "script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = volnor::cmd::readScript(bytes);
    const std::string utf8 = volnor::ansiToUtf8(bytes);
    int previous = 0;
    for (const auto& line : lines) {
        FUZZ_CHECK(line.number > previous);
        previous = line.number;
        FUZZ_CHECK(!line.text.empty() && line.text.find('\n') == std::string::npos);
        FUZZ_CHECK(line.text.front() != ' ' && line.text.back() != ' ');
        FUZZ_CHECK(utf8.find(line.text) != std::string::npos);
        FUZZ_CHECK(!line.command.empty() && line.text.size() >= line.rest.size());
        for (const auto& word : line.words) FUZZ_CHECK(word.find('"') == std::string::npos);
    }
    FUZZ_CHECK(std::size_t(previous) <= size_t(std::count(utf8.begin(), utf8.end(), '\n')) + 1);
    // Every byte but the unassigned one survives the way to UTF-8 and back.
    if (bytes.find('\x98') == std::string_view::npos) FUZZ_CHECK(volnor::utf8ToAnsi(utf8) == bytes);
    return 0;
}

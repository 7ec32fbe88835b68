#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace volnor {

// Writes a command script: one command a line, every line (the last too) ending in CR LF, in
// the ANSI code page without a byte-order mark. Creates the file or replaces it whole; on any
// failure throws volnor::Error with the text "Cannot create file "<path>". <reason>" and leaves
// an existing file as it was.
void writeScript(const std::filesystem::path& path, const std::vector<std::string>& lines);

// The four lines that unpack the archive `shortweb` of the program directory into it and then
// delete the archive; run from the program directory.
std::vector<std::string> unpackScript(std::string_view shortweb);

}  // namespace volnor

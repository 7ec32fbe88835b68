#pragma once
// Sample parts databases and macro folders for the demo, the tests and the benchmarks.
#include <filesystem>
#include <string>
#include <vector>

namespace volnor::sampledb {

struct SampleCounts {
    // Manufacturer "ВОЛНОР" in any letter case, type numbers the patterns match.
    int makerParts = 0;
    int latinParts = 0;  // manufacturer "VOLNOR"
    int otherParts = 0;  // other makers, type numbers no pattern matches
    int nullTypenr = 0;  // maker's parts without a type number
    int variants = 0;
    int functionTemplates = 0;
};

// Writes a parts database of `parts` parts (tblpart, tblVariant, tblFunctionTemplate) to `path`,
// which must not exist. The maker's type numbers hold the removal table's patterns at the start,
// in the middle or at the end, in varying letter case. Throws volnor::Error.
SampleCounts makeSampleDatabase(const std::filesystem::path& path, int parts,
                                const std::string& password = {});

// Fills `folder` (created when missing) with `files` macro files: names built from the removal
// table's tokens, others that no token matches, some with ".EMA", and one file that is no macro.
// Returns the names written (UTF-8). Throws volnor::Error.
std::vector<std::string> makeMacroFolder(const std::filesystem::path& folder, int files);

}  // namespace volnor::sampledb

#pragma once
// What an archive would write into the program directory, read before 7-Zip unpacks it there
// with "-y", and whether the program may let it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace volnor {

// One entry of an archive's list: its stored path (UTF-8, "/" or "\" between folders).
struct ArchiveEntry {
    std::string path;
    bool folder = false;
    bool link = false;  // a symbolic link (or a Windows reparse point)
    // Of a zip's entry: its size once unpacked, where the directory gives it; whether `path` is
    // the name 7-Zip gives the file (UTF-8 by the entry's flag or its Unicode path field, or
    // plain ASCII; any other name 7-Zip reads in the system's OEM code page); and the record's
    // other such name when it has two, either of which 7-Zip may take.
    std::optional<std::uint64_t> size = std::nullopt;
    bool knownName = false;
    std::string otherName = {};
};

// The entries of a zip archive as its central directory lists them, or why it cannot be read.
struct ZipDirectory {
    std::vector<ArchiveEntry> entries;
    std::string error;  // Russian, empty when the directory was read
};

// Up to `count` bytes of the file from `offset` on; fewer when the file ends or cannot be read.
using ReadAt = std::function<std::string(std::uint64_t offset, std::size_t count)>;

// Reads the central directory of a zip of `size` bytes (ZIP64 included). Anything that does not
// add up (a record outside the file, a directory not where its end record says, a count that
// differs, a name holding NUL) is an error: 7-Zip might then read the archive otherwise than
// this reader. An entry whose Unicode path field names it otherwise is listed under both names.
ZipDirectory readZipDirectory(std::uint64_t size, const ReadAt& readAt);
ZipDirectory readZipDirectory(const std::filesystem::path& file);

enum class ArchiveKind {
    // A product-data archive: nothing outside the program directory, no link, and nothing onto
    // the program's own files (its executable, the interpreter, "7z", the configuration copy,
    // the local state file, the scripts, "update.7z"), names compared as Windows compares them.
    Catalogue,
    // The update archive, which replaces the program: nothing outside, no link, and the
    // program's executable at its top level.
    Update,
};

// Why these entries must not be unpacked into programDir, naming the first entry at fault, or
// nothing when they may. A link already in programDir on an entry's path counts as a way out
// (such as "7z/7z.exe", the link to the system's 7-Zip). The texts are Russian.
std::optional<std::string> entriesProblem(ArchiveKind kind, const std::filesystem::path& programDir,
                                          const std::vector<ArchiveEntry>& entries);

// The check of a product-data archive lying in the program directory, by its zip directory as
// readZipDirectory read it: one that could not be read, or entries that a catalogue archive
// must not have.
std::optional<std::string> catalogueArchiveProblem(const std::filesystem::path& programDir,
                                                   const ZipDirectory& zip);

// After the unpack of a zip into programDir, which the platform's command interpreter may not
// report as failed: the first file entry that is not there, or not of its size, as a Russian
// reason; nothing when all are. Entries without a known name are not looked for.
std::optional<std::string> missingEntry(const std::filesystem::path& programDir,
                                        const std::vector<ArchiveEntry>& entries);

// Removes the files that the entries' unpack left in programDir, so that a failed unpack leaves
// no part of its files to be taken for the whole.
void removeUnpacked(const std::filesystem::path& programDir,
                    const std::vector<ArchiveEntry>& entries);

}  // namespace volnor

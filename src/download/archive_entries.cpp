#include "download/archive_entries.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/text.h"

namespace volnor {

namespace fs = std::filesystem;

namespace {

// ---- The zip's central directory ----------------------------------------------------------

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEntrySignature = 0x02014b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kEntrySize = 46;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::uint16_t kUnicodePathField = 0x7075;
constexpr std::uint16_t kZip64Field = 0x0001;
constexpr std::uint16_t kUtf8Flag = 0x0800;
constexpr std::uint64_t kInZip64Field = 0xFFFFFFFF;
constexpr std::uint32_t kDosFolder = 0x10;
constexpr std::uint32_t kDosReparsePoint = 0x400;
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixFolder = 0040000;
constexpr std::uint32_t kUnixLink = 0120000;

// A little-endian field of `count` bytes at `at`; the caller has checked that it lies inside.
std::uint64_t field(std::string_view bytes, std::size_t at, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

ZipDirectory damaged(std::string why) { return {{}, std::move(why)}; }

std::nullopt_t fail(std::string& error, std::string why) {
    error = std::move(why);
    return std::nullopt;
}

// Where the central directory lies, by the end record (and the ZIP64 one where there is one).
struct Directory {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t count = 0;
    std::uint64_t end = 0;  // where the record after the directory begins
};

std::optional<Directory> zip64Directory(std::uint64_t locatorAt, const ReadAt& readAt,
                                        std::string& error) {
    const std::string locator = readAt(locatorAt, kZip64LocatorSize);
    if (locator.size() != kZip64LocatorSize) return fail(error, "не удалось прочитать файл");
    const std::uint64_t at = field(locator, 8, 8);
    if (field(locator, 4, 4) != 0 || field(locator, 16, 4) > 1)
        return fail(error, "многотомный архив");
    if (at > locatorAt || locatorAt - at < kZip64EndSize)
        return fail(error, "запись ZIP64 вне файла");
    const std::string end = readAt(at, kZip64EndSize);
    if (end.size() != kZip64EndSize) return fail(error, "не удалось прочитать файл");
    // The record's size counts from after its own size field; nothing may lie between it and
    // the locator.
    if (field(end, 0, 4) != kZip64EndSignature || field(end, 4, 8) != locatorAt - at - 12)
        return fail(error, "запись ZIP64 повреждена");
    if (field(end, 16, 4) != 0 || field(end, 20, 4) != 0 || field(end, 24, 8) != field(end, 32, 8))
        return fail(error, "многотомный архив");
    return Directory{field(end, 48, 8), field(end, 40, 8), field(end, 32, 8), at};
}

std::optional<Directory> locateDirectory(std::uint64_t size, const ReadAt& readAt,
                                         std::string& error) {
    if (size < kEndSize) return fail(error, "нет оглавления zip");
    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + kLongestComment));
    const std::uint64_t tailAt = size - tailSize;
    const std::string tail = readAt(tailAt, tailSize);
    if (tail.size() != tailSize) return fail(error, "не удалось прочитать файл");
    // The last end record whose comment reaches exactly to the end of the file.
    std::size_t found = std::string::npos;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (field(tail, i, 4) == kEndSignature &&
            i + kEndSize + field(tail, i + 20, 2) == tailSize) {
            found = i;
            break;
        }
    }
    if (found == std::string::npos) return fail(error, "нет оглавления zip");
    const std::uint64_t endAt = tailAt + found;
    const std::string_view end = std::string_view(tail).substr(found, kEndSize);
    if (endAt >= kZip64LocatorSize) {
        const std::string before = readAt(endAt - kZip64LocatorSize, 4);
        if (before.size() == 4 && field(before, 0, 4) == kZip64LocatorSignature)
            return zip64Directory(endAt - kZip64LocatorSize, readAt, error);
    }
    if (field(end, 4, 2) != 0 || field(end, 6, 2) != 0 || field(end, 8, 2) != field(end, 10, 2))
        return fail(error, "многотомный архив");
    return Directory{field(end, 16, 4), field(end, 12, 4), field(end, 10, 2), endAt};
}

// The name of an Info-ZIP Unicode path field (version 1, the CRC of the plain name, UTF-8), or
// nothing when the extra data holds none.
std::optional<std::string> unicodePath(std::string_view extra) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto id = static_cast<std::uint16_t>(field(extra, at, 2));
        const std::size_t length = static_cast<std::size_t>(field(extra, at + 2, 2));
        if (length > extra.size() - at - 4) break;
        if (id == kUnicodePathField && length >= 5 && extra[at + 4] == 1)
            return std::string(extra.substr(at + 9, length - 5));
        at += 4 + length;
    }
    return std::nullopt;
}

// The size once unpacked from a ZIP64 field, which holds it first when the record's own field
// says so; nothing when the extra data holds none.
std::optional<std::uint64_t> zip64Size(std::string_view extra) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto id = static_cast<std::uint16_t>(field(extra, at, 2));
        const std::size_t length = static_cast<std::size_t>(field(extra, at + 2, 2));
        if (length > extra.size() - at - 4) break;
        if (id == kZip64Field && length >= 8) return field(extra, at + 4, 8);
        at += 4 + length;
    }
    return std::nullopt;
}

bool isUtf8(std::string_view name) { return fromUtf16(toUtf16(name)) == name; }

bool isAscii(std::string_view name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

ZipDirectory readZipDirectory(std::uint64_t size, const ReadAt& readAt) {
    std::string error;
    const std::optional<Directory> dir = locateDirectory(size, readAt, error);
    if (!dir) return damaged(error);
    // The directory lies right before its end record, as every writer puts it: one place only,
    // so that 7-Zip cannot find another one.
    if (dir->offset > dir->end || dir->end - dir->offset != dir->size)
        return damaged("оглавление zip не на своём месте");
    if (dir->count > dir->size / kEntrySize) return damaged("оглавление zip повреждено");
    if (dir->size > std::numeric_limits<std::size_t>::max())
        return damaged("оглавление zip слишком велико");
    const std::string bytes = readAt(dir->offset, static_cast<std::size_t>(dir->size));
    if (bytes.size() != dir->size) return damaged("не удалось прочитать файл");
    const std::string_view all(bytes);

    ZipDirectory out;
    out.entries.reserve(static_cast<std::size_t>(dir->count));
    std::size_t at = 0;
    for (std::uint64_t n = 0; n < dir->count; ++n) {
        if (all.size() - at < kEntrySize || field(all, at, 4) != kEntrySignature)
            return damaged("оглавление zip повреждено");
        const auto nameSize = static_cast<std::size_t>(field(all, at + 28, 2));
        const auto extraSize = static_cast<std::size_t>(field(all, at + 30, 2));
        const auto commentSize = static_cast<std::size_t>(field(all, at + 32, 2));
        const auto attributes = static_cast<std::uint32_t>(field(all, at + 38, 4));
        const auto flags = static_cast<std::uint16_t>(field(all, at + 8, 2));
        const std::uint64_t unpackedSize = field(all, at + 24, 4);
        if (all.size() - at - kEntrySize < nameSize + extraSize + commentSize)
            return damaged("оглавление zip повреждено");
        const std::string_view name = all.substr(at + kEntrySize, nameSize);
        const std::string_view extra = all.substr(at + kEntrySize + nameSize, extraSize);
        at += kEntrySize + nameSize + extraSize + commentSize;

        ArchiveEntry entry;
        entry.path = std::string(name);
        const std::uint32_t unixType = (attributes >> 16) & kUnixTypeMask;
        entry.folder = name.ends_with('/') || name.ends_with('\\') ||
                       (attributes & kDosFolder) != 0 || unixType == kUnixFolder;
        entry.link = unixType == kUnixLink || (attributes & kDosReparsePoint) != 0;
        entry.size = unpackedSize == kInZip64Field ? zip64Size(extra)
                                                   : std::optional<std::uint64_t>(unpackedSize);
        entry.knownName = (flags & kUtf8Flag) != 0 ? isUtf8(name) : isAscii(name);
        std::optional<std::string> unicode = unicodePath(extra);
        // A name cut short at a NUL would be another name to some readers.
        if (name.find('\0') != std::string_view::npos ||
            (unicode && unicode->find('\0') != std::string::npos))
            return damaged("имя в оглавлении zip содержит нулевой символ");
        if (unicode && *unicode != entry.path) {
            ArchiveEntry other = entry;
            other.path = std::move(*unicode);
            other.knownName = isUtf8(other.path);
            if (other.knownName) entry.otherName = other.path;
            if (entry.knownName) other.otherName = entry.path;
            out.entries.push_back(std::move(other));
        }
        out.entries.push_back(std::move(entry));
    }
    if (at != all.size()) return damaged("оглавление zip повреждено");
    return out;
}

ZipDirectory readZipDirectory(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!in || ec) return damaged("не удалось прочитать файл");
    return readZipDirectory(size, [&in](std::uint64_t offset, std::size_t count) {
        std::string bytes(count, '\0');
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(bytes.data(), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        return bytes;
    });
}

// ---- The two policies ----------------------------------------------------------------------

namespace {

// The program's executable as the scripts name it; the interpreter finds it without ".exe".
constexpr std::string_view kProgram = "VOLNOR_Eplan_DB.exe";

// Top-level names of the program directory that a product-data archive must not write, in
// lower case: the program, the interpreter, the configuration copy, the local state file and
// the update archive. The scripts ("*.cmd") and "7z" (with everything under it) are added by
// ownedName().
constexpr std::string_view kOwned[] = {
    "volnor_eplan_db.exe", "volnor_eplan_db",        "cmd.exe",   "cmd",
    "eplan-config.ini",    "eplan-config_local.ini", "update.7z",
};

// A name as Windows opens it: letter case ignored, the blanks and dots at its end dropped, and
// what follows a ":" (a stream of the file) left out.
std::string windowsName(std::string_view part) {
    part = part.substr(0, part.find(':'));
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
    return asciiLower(part);
}

// A short name ("VOLNOR~1.EXE") may stand for any long one in the same folder.
bool shortNameAlias(std::string_view name) {
    for (std::size_t at = name.find('~'); at != std::string_view::npos; at = name.find('~', at + 1))
        if (at + 1 < name.size() && name[at + 1] >= '0' && name[at + 1] <= '9') return true;
    return false;
}

bool ownedName(std::string_view topLevel) {
    const std::string name = windowsName(topLevel);
    return name == "7z" || name.ends_with(".cmd") || shortNameAlias(name) ||
           std::find(std::begin(kOwned), std::end(kOwned), name) != std::end(kOwned);
}

bool isDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// A folder name that leads upwards or nowhere: "..", and for Windows, which drops the dots and
// blanks at the end of a name, any other name of only dots and blanks but ".".
bool leadsUp(std::string_view part, ArchiveKind kind) {
    if (kind == ArchiveKind::Update) return part == "..";
    return part != "." && part.find_first_not_of(". ") == std::string_view::npos;
}

// A name quoted for a message: a name that is no UTF-8 shows its stray bytes as U+FFFD.
std::string shownName(std::string_view name) {
    std::string out = "«";
    out += fromUtf16(toUtf16(name));
    out += "»";
    return out;
}

std::optional<std::string> entryProblem(ArchiveKind kind, const fs::path& programDir,
                                        const ArchiveEntry& entry) {
    const std::string noun = kind == ArchiveKind::Update ? "архив обновления" : "архив";
    const std::string shown = shownName(entry.path);
    if (entry.link) return noun + " содержит ссылку " + shown;
    // Both separators count: an archive made on Windows names its folders with "\".
    const std::string path = replaceAll(entry.path, "\\", "/");
    const std::vector<std::string> parts = split(path, '/', true);
    if (path.starts_with('/') || isDriveLetter(path) || parts.empty() ||
        std::any_of(parts.begin(), parts.end(),
                    [kind](const std::string& part) { return leadsUp(part, kind); }))
        return noun + " содержит путь за пределами папки программы " + shown;
    std::string prefix;
    for (const std::string& part : parts) {
        prefix = prefix.empty() ? part : prefix + "/" + part;
        std::error_code error;
        if (fs::is_symlink(fs::symlink_status(programDir / pathOf(prefix), error)))
            return noun + " записал бы " + shown + " поверх ссылки " + shownName(prefix) +
                   " в папке программы";
    }
    if (kind == ArchiveKind::Catalogue && ownedName(parts.front()))
        return noun + " записал бы " + shown + " поверх файлов самой программы";
    return std::nullopt;
}

bool isProgram(const ArchiveEntry& entry) {
    return !entry.folder &&
           (entry.path == kProgram || entry.path == kProgram.substr(0, kProgram.size() - 4));
}

}  // namespace

std::optional<std::string> entriesProblem(ArchiveKind kind, const fs::path& programDir,
                                          const std::vector<ArchiveEntry>& entries) {
    bool program = false;
    for (const ArchiveEntry& entry : entries) {
        if (auto problem = entryProblem(kind, programDir, entry)) return problem;
        program = program || isProgram(entry);
    }
    if (kind == ArchiveKind::Update && !program) {
        std::string text = "в архиве обновления нет файла программы ";
        text += shownName(kProgram);
        return text;
    }
    return std::nullopt;
}

std::optional<std::string> catalogueArchiveProblem(const fs::path& programDir,
                                                   const ZipDirectory& zip) {
    // Worded as an unpack that failed on a damaged archive: the user learns the same either way.
    if (!zip.error.empty()) {
        std::string text = "архив повреждён или не распаковался (";
        text += zip.error;
        text += ")";
        return text;
    }
    return entriesProblem(ArchiveKind::Catalogue, programDir, zip.entries);
}

// ---- What an unpack left ---------------------------------------------------------------------

namespace {

// The files an entry's name may have become: 7-Zip for Windows takes "\" between folders,
// 7-Zip for Linux keeps it in the name.
std::vector<fs::path> placesOf(const fs::path& programDir, std::string_view name) {
    std::vector<fs::path> out{programDir / pathOf(replaceAll(name, "\\", "/"))};
    if (name.find('\\') != std::string_view::npos) out.push_back(programDir / pathOf(name));
    return out;
}

bool isLookedFor(const ArchiveEntry& entry) {
    return !entry.folder && !entry.link && entry.knownName;
}

// The entry's names, each as the folders of Windows compare it: one file on Windows.
std::string comparedName(std::string_view name) { return toLower(replaceAll(name, "\\", "/")); }

}  // namespace

std::optional<std::string> missingEntry(const fs::path& programDir,
                                        const std::vector<ArchiveEntry>& entries) {
    // A name that two entries share holds the last one's file: its size is not compared.
    std::map<std::string, int> uses;
    for (const ArchiveEntry& entry : entries)
        if (isLookedFor(entry)) ++uses[comparedName(entry.path)];
    for (const ArchiveEntry& entry : entries) {
        if (!isLookedFor(entry)) continue;
        std::vector<fs::path> places = placesOf(programDir, entry.path);
        if (!entry.otherName.empty()) {
            const std::vector<fs::path> other = placesOf(programDir, entry.otherName);
            places.insert(places.end(), other.begin(), other.end());
        }
        bool there = false;
        bool whole = false;
        for (const fs::path& place : places) {
            std::error_code ec;
            if (!fs::is_regular_file(fs::symlink_status(place, ec))) continue;
            there = true;
            const std::uintmax_t size = fs::file_size(place, ec);
            whole = whole || !entry.size || uses[comparedName(entry.path)] > 1 ||
                    (!ec && size == *entry.size);
        }
        if (!there) return "нет файла " + shownName(entry.path);
        if (!whole) return "файл " + shownName(entry.path) + " распакован не полностью";
    }
    return std::nullopt;
}

void removeUnpacked(const fs::path& programDir, const std::vector<ArchiveEntry>& entries) {
    for (const ArchiveEntry& entry : entries) {
        if (!isLookedFor(entry)) continue;
        for (const fs::path& place : placesOf(programDir, entry.path)) {
            std::error_code ec;
            if (fs::is_regular_file(fs::symlink_status(place, ec))) fs::remove(place, ec);
        }
    }
}

}  // namespace volnor

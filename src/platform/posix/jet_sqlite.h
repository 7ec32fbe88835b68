#pragma once
// What the stand-in's connection, statements and compaction share. Included only by the
// stand-in's own .cpp files; the headers for everyone else are jet_engine.h, jet_statement.h and
// open_files.h. Their texts for the user are in jet_texts.h.
#include <filesystem>
#include <string>
#include <string_view>

struct sqlite3;

namespace volnor::posix::jet {

// The parts of a connection string the stand-in honours; the file absolute and clean.
struct Target {
    std::filesystem::path file;
    std::string password;
};
// Throws volnor::Error for another provider, another user or no data source.
Target parseTarget(const std::string& connectionString);

// Opens a file with SQLite's open flags; nullptr with the reason in `error` when it cannot.
sqlite3* openFile(const std::filesystem::path& file, int flags, std::string& error);

// SQLite's extended result code of the last failure on `db`, with a write that the disk refused
// for want of room (however SQLite classed it) as SQLITE_FULL.
int failureCode(sqlite3* db);

// Opens and checks a database by the provider's rules, with Jet's text comparisons; throws
// volnor::Error with a text naming the file.
sqlite3* openDatabase(const Target& target);

// The password stored in the database; empty for none.
std::string storedPassword(sqlite3* db);
// Stores the password (none when empty); throws volnor::Error naming `file` on failure.
void setDatabasePassword(sqlite3* db, const std::filesystem::path& file,
                         const std::string& password);

// Registers Jet's LIKE and the case-blind collation that translated statements name.
void registerJetText(sqlite3* db);

// Text equal without regard to letter case, by Unicode case folding.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace volnor::posix::jet

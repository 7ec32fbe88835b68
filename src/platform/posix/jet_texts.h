#pragma once
// Every text that the database stand-in and its compaction engine give the user, in one place so
// that they can be read and checked together. Each says in Russian what happened to which file
// and what the user can do; SQLite's own words or the system's reason follow in brackets.
// Included only by the stand-in's own .cpp files.
#include <filesystem>
#include <string>
#include <string_view>

namespace volnor::posix::jet::text {

using Path = std::filesystem::path;

// Opening a database. `code` is SQLite's (extended) result code, `why` SQLite's own words.
std::string notFound(const Path& file);
std::string notADatabase(const Path& file);
std::string folderNotFile(const Path& folder);
std::string accessDatabase(const Path& file);
std::string cannotOpen(const Path& file, const std::string& why);
std::string openFailed(const Path& file, int code, const std::string& why);
std::string wrongPassword(const Path& file);
std::string passwordNotWritten(const Path& file, const std::string& why);

// The connection string.
std::string unknownProvider(std::string_view provider);
std::string unknownUser(std::string_view user);
std::string noDataSource();

// Statements.
std::string connectionClosed();
std::string missingTable(const Path& file, std::string_view table);
std::string missingParameter(std::string_view name);
std::string statementFailed(const Path& file, int code, const std::string& why);

// Compaction of `source`; the copy goes to `copy`.
std::string walNotFolded(const Path& source, const std::string& why);
std::string noExclusiveHold(const Path& source, const std::string& why);
std::string sourceBusy(const Path& source, const std::string& why);
std::string copyExists(const Path& copy);
std::string copyNotWritten(const Path& copy, const Path& source, int code, const std::string& why);
std::string copyNotOpened(const Path& copy, const Path& source, const std::string& why);
std::string copyNotSynced(const Path& copy, const Path& source);
std::string copyCheckFailed(const Path& copy, const Path& source, const std::string& verdict);
std::string sourceReadOnly(const Path& source);
std::string sourceHeldOpen(const Path& source, const std::string& processes);
std::string sourceNotReplaced(const Path& source, const std::string& why);

}  // namespace volnor::posix::jet::text

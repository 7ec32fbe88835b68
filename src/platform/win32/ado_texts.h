#pragma once
// Every text that the Windows parts-database engine (ADO over the Jet 4.0 provider) and its
// compaction (JRO) give the user, in one place so that they can be read and checked together.
// Each says in Russian what happened to which file and what the user can do; `detail` is the
// COM error ("HRESULT 0x80004005: the provider's words") and follows in brackets. Included only
// by the engine's own .cpp files.
#include <filesystem>
#include <string>
#include <string_view>

namespace volnor::win32::ado::text {

using Path = std::filesystem::path;

// Opening a database.
std::string notFound(const Path& file);
std::string folderNotFile(const Path& folder);
std::string noDataSource();
// The Jet 4.0 OLE DB provider is not in the system (Wine, a 64-bit-only system).
std::string providerMissing(const Path& file, const std::string& detail);
// ADO itself cannot be created.
std::string adoMissing(const Path& file, const std::string& detail);
std::string openFailed(const Path& file, const std::string& detail);

// Statements and transactions.
std::string connectionClosed();
std::string missingParameter(std::string_view name);
std::string statementFailed(const Path& file, const std::string& detail);

// Compaction of `source`; the copy goes to `copy`.
std::string engineMissing(const Path& source, const std::string& detail);
std::string sourceBusy(const Path& source);
std::string copyExists(const Path& copy);
std::string copyNotWritten(const Path& copy, const Path& source, const std::string& detail);
std::string copyNotSynced(const Path& copy, const Path& source, const std::string& detail);
std::string copyCheckFailed(const Path& copy, const Path& source, const std::string& detail);
std::string sourceReadOnly(const Path& source);
std::string sourceHeldOpen(const Path& source, const std::string& detail);
std::string sourceNotReplaced(const Path& source, const std::string& detail);

}  // namespace volnor::win32::ado::text

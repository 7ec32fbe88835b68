#pragma once
// The parts-database provider and the compaction engine, standing in for the Jet 4.0 OLE DB
// provider and JRO over SQLite files. A database's password lives in a one-row table of its own.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/database.h"

namespace volnor::posix {

inline constexpr std::string_view kPasswordTable = "volnor_jet_password";

// Compaction takes a hold on the source that rolls back a journal a crash left beside it and
// folds a WAL file into it, so neither stays beside the database; a writer with an open
// transaction makes it fail. The copy replaces the source in one rename, with the source's
// permission bits (and its owner where the process may set it).
class JetEngine : public db::Engine {
public:
    std::unique_ptr<db::Connection> connection() override;
    std::unique_ptr<db::Compaction> compaction(const std::string& sourceConnection) override;
    // The file with the journal, WAL and shared-memory files SQLite makes beside it.
    void removeDatabaseFiles(const std::filesystem::path& path) override;
};

// Gives the database file a password (none when empty). Throws volnor::Error naming the file.
void setDatabasePassword(const std::filesystem::path& file, const std::string& password);

}  // namespace volnor::posix

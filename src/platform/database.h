#pragma once
// The parts-database provider and the compaction engine: the Jet 4.0 OLE DB provider and JRO on
// Windows, a stand-in over SQLite elsewhere. Text compares as Jet compares it: "=" and LIKE
// ignore letter case (Cyrillic included) and a null never matches. Every failure throws
// volnor::Error with a text that names the file where there is one.
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace volnor::db {

class Connection {
public:
    virtual ~Connection() = default;
    // Opens the database the OLE DB connection string names: a missing file, no database, a
    // locked one or a password that does not match is an error.
    virtual void open(const std::string& connectionString) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    // Does nothing outside a transaction.
    virtual void rollback() = 0;

    // Runs one statement in Jet's dialect that returns no rows, with its named parameters
    // (":k1" -> "k1", names without regard to case); returns the count of affected rows.
    virtual int execute(const std::string& sql,
                        const std::map<std::string, std::string>& parameters = {}) = 0;
};

// The compaction of one source. It holds the source exclusively from before the first page it
// reads until it is destroyed, so no writer can commit in between.
class Compaction {
public:
    virtual ~Compaction() = default;
    // Writes the compacted copy to the file the destination string names, which must not exist;
    // the copy is synced to disk and checked. On failure no file of the copy is left.
    virtual void writeCopy(const std::string& destConnection) = 0;
    // Puts the file `copy` in the source's place in one step. Refused, leaving both files,
    // while the source is read-only or anyone but this compaction holds it open.
    virtual void replaceSource(const std::filesystem::path& copy) = 0;
};

class Engine {
public:
    virtual ~Engine() = default;
    virtual std::unique_ptr<Connection> connection() = 0;
    // Takes the hold on the source the connection string names.
    virtual std::unique_ptr<Compaction> compaction(const std::string& sourceConnection) = 0;
    // Deletes a database file with the files the engine keeps beside it.
    virtual void removeDatabaseFiles(const std::filesystem::path& path) = 0;
};

}  // namespace volnor::db

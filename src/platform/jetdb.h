#pragma once
// The parts-database provider and the compaction engine, standing in for the Jet 4.0 OLE DB
// provider over SQLite files. Text compares as Jet compares it: "=" and LIKE ignore letter case
// (Cyrillic included) and a null never matches.
#include <QList>
#include <QString>
#include <map>

struct sqlite3;

namespace volnor::jet {

inline constexpr auto kProvider = "Microsoft.Jet.OLEDB.4.0";

// OLE DB connection string: "key=value;" pairs, keys without regard to case (returned in lower
// case), values optionally in double quotes with "" standing for one quote inside them.
// Throws volnor::Error on an unterminated quote or a pair without "=".
std::map<QString, QString> parseConnectionString(const QString& text);

// The password of a stand-in database lives in a one-row table of its own; none means no password.
inline constexpr auto kPasswordTable = "volnor_jet_password";
void setDatabasePassword(sqlite3* db, const QString& password);

// The Jet statement text as SQLite runs it: "DELETE * from" becomes "DELETE from", [name] becomes
// "name", and the right side of "=" gets the connection's case-blind collation. String literals
// are left as they are.
QString translateStatement(const QString& jetSql);

// Jet's LIKE: "%" any run, "_" one character, letter case ignored.
bool likeMatches(QStringView pattern, QStringView text);

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database the connection string names; throws volnor::Error with a text naming
    // the file when it is missing, no database, locked, or the password does not match.
    void open(const QString& connectionString);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    void beginTransaction();
    void commit();
    void rollback();

    // Runs one statement that returns no rows, with its named parameters (":k1" -> "k1");
    // returns the count of affected rows. Throws volnor::Error with the provider's text.
    int execute(const QString& jetSql, const std::map<QString, QString>& parameters = {});

private:
    [[noreturn]] void fail(const QString& what) const;
    void run(const char* sql);

    sqlite3* db_ = nullptr;
    QString file_;
};

// The compaction engine. It holds the source exclusively from before the first page it reads until
// it is destroyed, so a writer with an open transaction makes it fail and no writer can commit
// in between. Taking the hold rolls back a journal a crash left beside the source and folds a
// WAL file into it, so neither stays beside the database. Throws volnor::Error with a text.
class Compaction {
public:
    explicit Compaction(const QString& sourceConnection);
    ~Compaction();
    Compaction(const Compaction&) = delete;
    Compaction& operator=(const Compaction&) = delete;

    // Writes the compacted copy to the file the destination string names, which must not exist;
    // the copy is synced to disk and checked. On failure no file of the copy is left.
    void writeCopy(const QString& destConnection);

    // Puts the file `copy` in the source's place in one rename, with the source's permission bits
    // (and its owner where the process may set it). Refused, leaving both files, while the source
    // is read-only or anyone but this compaction holds it open.
    void replaceSource(const QString& copy);

private:
    sqlite3* db_ = nullptr;
    QString file_;
    int ownHandles_ = 0;  // the descriptors of the source this compaction opened itself
};

// Compacts to a destination, leaving the source as it was (apart from a journal rolled back or a
// WAL file folded in).
void compactDatabase(const QString& sourceConnection, const QString& destConnection);

// Deletes a database file with the journal, WAL and shared-memory files SQLite makes beside it.
void removeDatabaseFiles(const QString& path);

// Processes that hold `path` open, this one included: their ids and the count of handles. Only
// processes whose descriptors this one may read are seen.
struct Holders {
    QList<qint64> pids;  // each process once
    int ownHandles = 0;  // descriptors of this process
};
Holders openHolders(const QString& path);

// fsync of a file or a folder; false when it cannot be opened or synced.
bool syncToDisk(const QString& path);

}  // namespace volnor::jet

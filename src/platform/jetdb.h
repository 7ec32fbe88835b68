#pragma once
// The parts-database provider and the compaction engine, standing in for the Jet 4.0 OLE DB
// provider over SQLite files. Text compares as Jet compares it: "=" and LIKE ignore letter case
// (Cyrillic included) and a null never matches.
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

// The compaction engine: reads the database the source string names and writes a compacted copy
// to the file the destination string names, which must not exist. The source stays as it was; the
// copy is synced to disk and checked before this returns. Throws volnor::Error on failure and then
// leaves no destination file behind.
void compactDatabase(const QString& sourceConnection, const QString& destConnection);

// fsync of a file or a folder; false when it cannot be opened or synced.
bool syncToDisk(const QString& path);

}  // namespace volnor::jet

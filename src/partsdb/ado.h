#pragma once
// The program's one connection to the parts database and its one command object.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"

namespace volnor::partsdb {

// The data source of the designed connection string, until the user chooses a file.
inline constexpr std::string_view kPlaceholder = "mybase";

// The designed connection string: 17 options, the data source the placeholder "mybase".
std::string connectionTemplate();

class AdoConnection {
public:
    explicit AdoConnection(db::Engine& engine) : connection_(engine.connection()) {}

    const std::string& connectionString() const { return connectionString_; }
    void setConnectionString(std::string text) { connectionString_ = std::move(text); }

    bool connected() const { return connection_->isOpen(); }
    // true opens with the connection string as it stands (throws volnor::Error, which says so
    // when no file has been chosen yet); false closes.
    void setConnected(bool on);

    // The data source the connection string names: the database file.
    std::string databaseFile() const;

    // Opens the connection first when it is closed.
    void beginTrans();
    void commitTrans() { connection_->commit(); }
    void rollbackTrans() { connection_->rollback(); }

    db::Connection& connection() { return *connection_; }

private:
    std::string connectionString_ = connectionTemplate();
    std::unique_ptr<db::Connection> connection_;
};

class AdoQuery {
public:
    explicit AdoQuery(AdoConnection& connection) : connection_(connection) {}

    // SQL.Clear and SQL.Add; a change of the text rebuilds the parameter list from it.
    void sqlClear();
    void sqlAdd(std::string_view line);
    std::string sqlText() const;

    // Parameters.ParamByName(name).Value; throws volnor::Error for a name the text lacks.
    void setParam(std::string_view name, std::string value);
    std::vector<std::string> paramNames() const;

    // ExecSQL: opens a closed connection first; returns the affected rows.
    int execSql();

private:
    void rebuildParameters();

    AdoConnection& connection_;
    std::vector<std::string> lines_;
    std::map<std::string, std::string> params_;  // name as written in the text -> value
};

}  // namespace volnor::partsdb

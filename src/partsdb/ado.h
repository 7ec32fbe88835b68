#pragma once
// The program's one connection to the parts database and its one command object.
#include <QString>
#include <QStringList>
#include <map>

#include "platform/jetdb.h"

namespace volnor::partsdb {

// The designed connection string: 17 options, the data source the placeholder "mybase".
QString connectionTemplate();

class AdoConnection {
public:
    QString connectionString() const { return connectionString_; }
    void setConnectionString(const QString& text) { connectionString_ = text; }

    bool connected() const { return jet_.isOpen(); }
    // true opens with the connection string as it stands (throws volnor::Error); false closes.
    void setConnected(bool on);

    // The data source the connection string names: the database file.
    QString databaseFile() const;

    // Opens the connection first when it is closed.
    void beginTrans();
    void commitTrans() { jet_.commit(); }
    void rollbackTrans() { jet_.rollback(); }

    jet::Connection& jet() { return jet_; }

private:
    QString connectionString_ = connectionTemplate();
    jet::Connection jet_;
};

class AdoQuery {
public:
    explicit AdoQuery(AdoConnection& connection) : connection_(connection) {}

    // SQL.Clear and SQL.Add; a change of the text rebuilds the parameter list from it.
    void sqlClear();
    void sqlAdd(const QString& line);
    QString sqlText() const { return lines_.join(u'\n'); }

    // Parameters.ParamByName(name).Value; throws volnor::Error for a name the text lacks.
    void setParam(const QString& name, const QString& value);
    QStringList paramNames() const;

    // ExecSQL: opens a closed connection first; returns the affected rows.
    int execSql();

private:
    void rebuildParameters();

    AdoConnection& connection_;
    QStringList lines_;
    std::map<QString, QString> params_;  // name as written in the text -> value
};

}  // namespace volnor::partsdb

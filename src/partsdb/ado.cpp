#include "partsdb/ado.h"

#include <QRegularExpression>

#include "platform/error.h"

namespace volnor::partsdb {

QString connectionTemplate() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=\"mybase\";Mode=Share Deny "
        "None;Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database "
        "Password=\"\";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=0;Jet "
        "OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New "
        "Database Password=\"\";Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt "
        "Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:Compact Without "
        "Replica Repair=False;Jet OLEDB:SFP=False;");
}

void AdoConnection::setConnected(bool on) {
    if (on == connected()) return;
    if (on)
        jet_.open(connectionString_);
    else
        jet_.close();
}

QString AdoConnection::databaseFile() const {
    const auto options = jet::parseConnectionString(connectionString_);
    const auto it = options.find(QStringLiteral("data source"));
    return it == options.end() ? QString() : it->second;
}

void AdoConnection::beginTrans() {
    setConnected(true);
    jet_.beginTransaction();
}

void AdoQuery::sqlClear() {
    lines_.clear();
    rebuildParameters();
}

void AdoQuery::sqlAdd(const QString& line) {
    lines_ << line;
    rebuildParameters();
}

void AdoQuery::rebuildParameters() {
    // Parameters are ":name" outside string literals.
    static const QRegularExpression literal(QStringLiteral("'(?:[^']|'')*'"));
    static const QRegularExpression param(QStringLiteral(":(\\w+)"));
    QString text = sqlText();
    text.replace(literal, QStringLiteral("''"));
    std::map<QString, QString> fresh;
    for (const auto& m : param.globalMatch(text)) fresh.emplace(m.captured(1), QString());
    params_ = std::move(fresh);
}

QStringList AdoQuery::paramNames() const {
    QStringList out;
    for (const auto& [name, value] : params_) out << name;
    return out;
}

void AdoQuery::setParam(const QString& name, const QString& value) {
    for (auto& [known, stored] : params_) {
        if (known.compare(name, Qt::CaseInsensitive) == 0) {
            stored = value;
            return;
        }
    }
    throw Error(QStringLiteral("Parameter '%1' not found.").arg(name));
}

int AdoQuery::execSql() {
    connection_.setConnected(true);
    return connection_.jet().execute(sqlText(), params_);
}

}  // namespace volnor::partsdb

#include "partsdb/ado.h"

#include "partsdb/connection_string.h"
#include "partsdb/texts.h"
#include "platform/error.h"
#include "platform/text.h"

namespace volnor::partsdb {
namespace {

// A parameter name is ASCII letters, digits and "_".
bool isNameByte(char c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string connectionTemplate() {
    return "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=\"mybase\";Mode=Share Deny "
           "None;Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database "
           "Password=\"\";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=0;Jet "
           "OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New "
           "Database Password=\"\";Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt "
           "Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:Compact "
           "Without Replica Repair=False;Jet OLEDB:SFP=False;";
}

void AdoConnection::setConnected(bool on) {
    if (on == connected()) return;
    if (!on) {
        connection_->close();
        return;
    }
    try {
        connection_->open(connectionString_);
    } catch (const Error&) {
        // The engine would name a file "mybase" beside the program, which the user never chose.
        if (databaseFile() == kPlaceholder) throw Error(text::noDatabaseChosen());
        throw;
    }
}

std::string AdoConnection::databaseFile() const {
    const auto options = parseConnectionString(connectionString_);
    const auto it = options.find("data source");
    return it == options.end() ? std::string() : it->second;
}

void AdoConnection::beginTrans() {
    setConnected(true);
    connection_->beginTransaction();
}

void AdoQuery::sqlClear() {
    lines_.clear();
    rebuildParameters();
}

void AdoQuery::sqlAdd(std::string_view line) {
    lines_.emplace_back(line);
    rebuildParameters();
}

std::string AdoQuery::sqlText() const { return join(lines_, "\n"); }

void AdoQuery::rebuildParameters() {
    // Parameters are ":name" outside string literals ('' inside one is an apostrophe); an
    // apostrophe without a closing one is no literal.
    const std::string text = sqlText();
    std::map<std::string, std::string> fresh;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            i = close == std::string::npos ? i + 1 : close + 1;
        } else if (text[i] == ':' && i + 1 < text.size() && isNameByte(text[i + 1])) {
            std::size_t end = i + 1;
            while (end < text.size() && isNameByte(text[end])) ++end;
            fresh.emplace(text.substr(i + 1, end - i - 1), std::string());
            i = end;
        } else {
            ++i;
        }
    }
    params_ = std::move(fresh);
}

std::vector<std::string> AdoQuery::paramNames() const {
    std::vector<std::string> out;
    for (const auto& [name, value] : params_) out.push_back(name);
    return out;
}

void AdoQuery::setParam(std::string_view name, std::string value) {
    for (auto& [known, stored] : params_) {
        if (equalsAsciiNoCase(known, name)) {
            stored = std::move(value);
            return;
        }
    }
    throw Error(text::parameterNotFound(name));
}

int AdoQuery::execSql() {
    connection_.setConnected(true);
    return connection_.connection().execute(sqlText(), params_);
}

}  // namespace volnor::partsdb

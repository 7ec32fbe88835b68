#pragma once
// Small real SQLite files for the parts-database tests, and a direct look into them.
#include <sqlite3.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace volnor::test {

struct PartRow {
    int id;
    std::optional<QString> typenr;
    QString manufacturer;
};

inline void execOn(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString text = QString::fromUtf8(err);
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(text.toStdString());
    }
    sqlite3_close(db);
}

inline QString sqlText(const std::optional<QString>& v) {
    if (!v) return QStringLiteral("NULL");
    QString s = *v;
    return u'\'' + s.replace(u'\'', QStringLiteral("''")) + u'\'';
}

// tblpart with the given rows, and one variant and one function template for each part.
inline void makePartsDb(const QString& path, const std::vector<PartRow>& rows,
                        bool withVariants = true) {
    QString sql = QStringLiteral(
        "CREATE TABLE tblpart(id INTEGER PRIMARY KEY, typenr TEXT, manufacturer TEXT);"
        "CREATE TABLE tblFunctionTemplate(id INTEGER);");
    if (withVariants) sql += QStringLiteral("CREATE TABLE tblVariant(id INTEGER);");
    for (const auto& r : rows) {
        sql += QStringLiteral("INSERT INTO tblpart VALUES(%1,%2,%3);")
                   .arg(r.id)
                   .arg(sqlText(r.typenr), sqlText(r.manufacturer));
        sql += QStringLiteral("INSERT INTO tblFunctionTemplate VALUES(%1);").arg(r.id);
        if (withVariants) sql += QStringLiteral("INSERT INTO tblVariant VALUES(%1);").arg(r.id);
    }
    execOn(path, sql);
}

// The first column of every row the query yields, as text ("NULL" for a null).
inline QStringList column(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QStringList out;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out << (t ? QString::fromUtf8(t) : QStringLiteral("NULL"));
        }
    } else {
        out << QStringLiteral("ERROR: ") + QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

inline QStringList ids(const QString& path, const char* table) {
    return column(path, QStringLiteral("SELECT id FROM %1 ORDER BY id").arg(QLatin1String(table)));
}

inline QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

inline void writeFile(const QString& path, const QByteArray& content = "x") {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
}

}  // namespace volnor::test

#include "partsdb/sampledb.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <random>

#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "platform/jetdb.h"

namespace volnor::partsdb {
namespace {

QStringList tablePatterns() {
    QStringList out;
    for (const auto& entry : removalTable())
        for (const auto& step : entry.steps)
            if (step.kind == RemovalStep::Kind::ClearSql && !out.contains(step.text))
                out << step.text;
    return out;
}

QStringList tableTokens() {
    QStringList out;
    for (const auto& entry : removalTable())
        for (const auto& step : entry.steps)
            if (step.kind == RemovalStep::Kind::DFile)
                for (const QString& t : step.text.split(u';', Qt::SkipEmptyParts))
                    if (!out.contains(t)) out << t;
    return out;
}

// A type number of another maker: digits between dots, so no pattern (letters, digits, blanks
// and hyphens, at least two of them) can occur in it.
QString otherTypenr(int n) {
    QStringList digits;
    for (const QChar c : QString::number(n)) digits << QString(c);
    return QStringLiteral("K.") + digits.join(u'.');
}

class Db {
public:
    explicit Db(const QString& path) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            throw Error(QStringLiteral("Cannot create '%1': %2").arg(path, error()));
    }
    ~Db() {
        for (auto* st : statements_) sqlite3_finalize(st);
        sqlite3_close(db_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error(QStringLiteral("Sample database: %1").arg(error()));
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            throw Error(QStringLiteral("Sample database: %1").arg(error()));
        statements_.push_back(st);
        return st;
    }
    void step(sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE)
            throw Error(QStringLiteral("Sample database: %1").arg(error()));
        sqlite3_reset(st);
    }
    sqlite3* handle() { return db_; }

private:
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

void bindText(sqlite3_stmt* st, int index, const QString& text) {
    if (text.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

}  // namespace

SampleCounts makeSampleDatabase(const QString& path, int parts, const QString& password) {
    if (QFileInfo::exists(path)) throw Error(QStringLiteral("'%1' already exists.").arg(path));
    const QStringList patterns = tablePatterns();
    if (patterns.isEmpty()) throw Error(QStringLiteral("The removal table holds no pattern."));

    SampleCounts counts;
    Db db(path);
    db.exec("PRAGMA journal_mode=OFF");
    db.exec("PRAGMA synchronous=OFF");
    db.exec(
        "CREATE TABLE tblpart(id INTEGER PRIMARY KEY, typenr TEXT, manufacturer TEXT, "
        "partnr TEXT, description TEXT);"
        "CREATE TABLE tblVariant(id INTEGER, variant INTEGER, description TEXT);"
        "CREATE TABLE tblFunctionTemplate(id INTEGER, position INTEGER, functiondef TEXT);"
        "CREATE INDEX tblVariant_id ON tblVariant(id);"
        "CREATE INDEX tblFunctionTemplate_id ON tblFunctionTemplate(id);");
    db.exec("BEGIN");
    auto* part = db.prepare("INSERT INTO tblpart VALUES (?, ?, ?, ?, ?)");
    auto* variant = db.prepare("INSERT INTO tblVariant VALUES (?, ?, ?)");
    auto* templ = db.prepare("INSERT INTO tblFunctionTemplate VALUES (?, ?, ?)");

    std::mt19937 random(20261210);
    const QString maker = QStringLiteral("ВОЛНОР");
    for (int id = 1; id <= parts; ++id) {
        QString typenr;
        QString manufacturer;
        const int kind = id % 20;
        if (kind < 12) {  // the maker's parts, the pattern at the start, middle or end
            QString p = patterns[int(random() % patterns.size())];
            if (kind == 3) p = p.toLower();
            if (kind == 7) p = p.toUpper();
            switch (id % 3) {
                case 0:
                    typenr = p + QStringLiteral(" %1").arg(random() % 1000);
                    break;
                case 1:
                    typenr = QStringLiteral("%1-").arg(random() % 100) + p + QStringLiteral("-C");
                    break;
                default:
                    typenr = QStringLiteral("%1 ").arg(random() % 100) + p;
                    break;
            }
            manufacturer = kind == 5 ? maker.toLower() : maker;
            ++counts.makerParts;
        } else if (kind == 12) {
            manufacturer = maker;  // typenr stays null
            ++counts.nullTypenr;
            ++counts.makerParts;
        } else if (kind == 13) {
            manufacturer = QStringLiteral("VOLNOR");
            typenr = otherTypenr(id);
            ++counts.latinParts;
        } else {
            static const QStringList others = {QStringLiteral("ЭлектроЗавод"),
                                               QStringLiteral("Nordlicht"),
                                               QStringLiteral("ТехноСвет")};
            manufacturer = others[id % others.size()];
            typenr = otherTypenr(id);
            ++counts.otherParts;
        }
        sqlite3_bind_int(part, 1, id);
        bindText(part, 2, typenr);
        bindText(part, 3, manufacturer);
        bindText(part, 4, QStringLiteral("%1.%2").arg(manufacturer.left(3)).arg(id));
        bindText(part, 5, QStringLiteral("Изделие %1").arg(id));
        db.step(part);
        const int variants = 1 + id % 2;
        for (int v = 1; v <= variants; ++v) {
            sqlite3_bind_int(variant, 1, id);
            sqlite3_bind_int(variant, 2, v);
            bindText(variant, 3, QStringLiteral("Вариант %1").arg(v));
            db.step(variant);
            ++counts.variants;
        }
        sqlite3_bind_int(templ, 1, id);
        sqlite3_bind_int(templ, 2, 1);
        bindText(templ, 3, QStringLiteral("Функция %1").arg(id % 7));
        db.step(templ);
        ++counts.functionTemplates;
    }
    db.exec("COMMIT");
    jet::setDatabasePassword(db.handle(), password);
    return counts;
}

QStringList makeMacroFolder(const QString& folder, int files) {
    if (!QDir().mkpath(folder)) throw Error(QStringLiteral("Cannot create '%1'.").arg(folder));
    const QStringList tokens = tableTokens();
    const QString dir = QDir(folder).absolutePath() + u'/';
    QStringList names;
    auto write = [&](const QString& name) {
        QFile f(dir + name);
        if (!f.open(QIODevice::WriteOnly))
            throw Error(QStringLiteral("Cannot write '%1'.").arg(f.fileName()));
        f.write("macro\n");
        names << name;
    };
    for (int i = 0; i < files; ++i) {
        if (i % 2 == 0 && !tokens.isEmpty())
            write(QStringLiteral("VN_%1_%2.ema").arg(tokens[(i / 2) % tokens.size()]).arg(i));
        else if (i % 10 == 1)
            write(QStringLiteral("other_%1.EMA").arg(i));
        else
            write(QStringLiteral("other_%1.ema").arg(i));
    }
    write(QStringLiteral("readme.txt"));
    return names;
}

}  // namespace volnor::partsdb

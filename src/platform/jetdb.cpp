#include "platform/jetdb.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/error.h"

namespace volnor::jet {
namespace {

constexpr auto kCollation = "JETTEXT";

QStringView utf16View(const void* data, int bytes) {
    return QStringView(static_cast<const char16_t*>(data), bytes / 2);
}

// Case-blind "=" for text; registered on every connection, never stored in a schema.
int compareText(void*, int n1, const void* s1, int n2, const void* s2) {
    return utf16View(s1, n1).compare(utf16View(s2, n2), Qt::CaseInsensitive);
}

// The cached form of a constant LIKE pattern: "%text%" without further wildcards reduces to a
// case-blind substring search, the form every removal statement uses.
struct CachedPattern {
    QString pattern;
    QString infix;
    bool plainInfix = false;
    // The infix folded character by character, as the case-blind search folds it, when every
    // folded character is ASCII; empty when one is not, and then no ASCII text can contain it.
    std::string asciiFolded;
};

void destroyPattern(void* p) { delete static_cast<CachedPattern*>(p); }

CachedPattern* makePattern(QString pattern) {
    auto* out = new CachedPattern;
    out->pattern = std::move(pattern);
    const QString& pat = out->pattern;
    if (pat.size() >= 2 && pat.startsWith(u'%') && pat.endsWith(u'%')) {
        out->infix = pat.mid(1, pat.size() - 2);
        out->plainInfix =
            !out->infix.isEmpty() && !out->infix.contains(u'%') && !out->infix.contains(u'_');
    }
    if (out->plainInfix) {
        for (const QChar c : out->infix) {
            const char16_t f = c.toCaseFolded().unicode();
            if (f >= 0x80) {
                out->asciiFolded.clear();
                break;
            }
            out->asciiFolded += char(f);
        }
    }
    return out;
}

char asciiFold(unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : char(c); }

// Registered for UTF-8, the database's own encoding: the common case (a plain infix against an
// ASCII part number) is decided on the stored bytes, without a conversion per row. ASCII folds
// only to ASCII, so it gives the answer of the full case-blind search.
void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);  // a null never matches
        return;
    }
    auto* cached = static_cast<CachedPattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!cached) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        CachedPattern* fresh = makePattern(QString::fromUtf8(p, sqlite3_value_bytes(argv[0])));
        sqlite3_set_auxdata(ctx, 0, fresh, destroyPattern);
        cached = static_cast<CachedPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached) cached = fresh;  // not kept (pattern is not a constant): freed after the call
    }
    const unsigned char* t = sqlite3_value_text(argv[1]);
    const int bytes = sqlite3_value_bytes(argv[1]);
    bool match;
    if (cached->plainInfix && std::all_of(t, t + bytes, [](unsigned char c) { return c < 0x80; })) {
        const std::string& infix = cached->asciiFolded;
        match = !infix.empty() &&
                std::search(t, t + bytes, infix.begin(), infix.end(), [](unsigned char c, char f) {
                    return asciiFold(c) == f;
                }) != t + bytes;
    } else {
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(t), bytes);
        match = cached->plainInfix ? text.contains(cached->infix, Qt::CaseInsensitive)
                                   : likeMatches(cached->pattern, text);
    }
    sqlite3_result_int(ctx, match ? 1 : 0);
}

QString quoted(const QString& path) { return QStringLiteral("'%1'").arg(path); }

QString absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

struct Target {
    QString path;
    QString password;
};

// The parts of a connection string the stand-in honours.
Target parseTarget(const QString& connectionString) {
    const auto options = parseConnectionString(connectionString);
    auto value = [&](const char* key) {
        const auto it = options.find(QString::fromLatin1(key));
        return it == options.end() ? QString() : it->second;
    };
    const QString provider = value("provider");
    if (provider.compare(QLatin1String(kProvider), Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Provider cannot be found: '%1'.").arg(provider));
    const QString user = value("user id");
    if (!user.isEmpty() && user.compare(QLatin1String("Admin"), Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("Not a valid account name or password."));
    const QString path = value("data source");
    if (path.isEmpty()) throw Error(QStringLiteral("The data source is missing."));
    return {path, value("jet oledb:database password")};
}

// Who holds a database open with a lock we cannot get past reports "busy" after this long.
constexpr int kBusyTimeoutMs = 1000;

sqlite3* openFile(const QString& path, int flags, QString* error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return db;
}

QString storedPassword(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    const QString sql =
        QStringLiteral("SELECT password FROM %1").arg(QLatin1String(kPasswordTable));
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return {};  // no such table: no password
    }
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

// The text for a database that cannot be read, by SQLite's extended result code.
QString openFailure(const QString& file, int code, const QString& why) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database engine cannot open the file %1. It is already opened "
                              "exclusively by another user.")
            .arg(quoted(file));
    case SQLITE_NOTADB:
        return QStringLiteral("Unrecognized database format %1.").arg(quoted(file));
    case SQLITE_READONLY:
        return QStringLiteral("Запись в базу данных %1 была прервана, и её журнал восстановления "
                              "нужно откатить, но файл или его папка недоступны для записи (%2).")
            .arg(quoted(file), why);
    case SQLITE_CORRUPT:
        return QStringLiteral("База данных %1 повреждена (%2).").arg(quoted(file), why);
    default:
        return QStringLiteral("Cannot open the file %1: %2.").arg(quoted(file), why);
    }
}

// Opens and checks a database file by the provider's rules; the errors name the file.
sqlite3* openDatabase(const Target& target) {
    const QString file = absolute(target.path);
    const QFileInfo info(file);
    if (!info.exists()) throw Error(QStringLiteral("Could not find file %1.").arg(quoted(file)));
    // An empty file is a valid SQLite database but no Access one.
    if (!info.isFile() || info.size() == 0)
        throw Error(QStringLiteral("Unrecognized database format %1.").arg(quoted(file)));
    QString why;
    // Read-write where the file allows it: only a writer may roll back a journal a crash left.
    sqlite3* db = openFile(file, SQLITE_OPEN_READWRITE, &why);
    if (!db) throw Error(QStringLiteral("Cannot open the file %1: %2.").arg(quoted(file), why));
    // The first read also rolls back a journal that a crash left (a read-write open may).
    const int rc =
        sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const int code = sqlite3_extended_errcode(db);
        why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw Error(openFailure(file, code, why));
    }
    if (storedPassword(db) != target.password) {
        sqlite3_close(db);
        throw Error(QStringLiteral("Not a valid password for %1.").arg(quoted(file)));
    }
    sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            likeFunction, nullptr, nullptr);
    sqlite3_create_collation(db, kCollation, SQLITE_UTF16_ALIGNED, nullptr, compareText);
    return db;
}

bool isWord(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

std::map<QString, QString> parseConnectionString(const QString& text) {
    std::map<QString, QString> out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            const QString rest = text.mid(i, semi < 0 ? -1 : semi - i).trimmed();
            if (!rest.isEmpty())
                throw Error(QStringLiteral("Invalid connection string option '%1'.").arg(rest));
            if (semi < 0) break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && text[i].isSpace()) ++i;
        QString value;
        if (i < n && text[i] == u'"') {
            ++i;
            for (;;) {
                if (i >= n)
                    throw Error(QStringLiteral("Unterminated quote in connection string option "
                                               "'%1'.")
                                    .arg(key));
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        value += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != u';') {
                if (!text[i].isSpace())
                    throw Error(QStringLiteral("Invalid connection string option '%1'.").arg(key));
                ++i;
            }
        } else {
            const qsizetype end = semi < 0 ? n : semi;
            value = text.mid(i, end - i).trimmed();
            i = end;
        }
        if (i < n) ++i;  // the ";"
        out[key] = value;
    }
    return out;
}

void setDatabasePassword(sqlite3* db, const QString& password) {
    const QString table = QLatin1String(kPasswordTable);
    sqlite3_exec(db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(table).toUtf8().constData(),
                 nullptr, nullptr, nullptr);
    if (password.isEmpty()) return;
    sqlite3_exec(db,
                 QStringLiteral("CREATE TABLE %1(password TEXT)").arg(table).toUtf8().constData(),
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       QStringLiteral("INSERT INTO %1 VALUES (?)").arg(table).toUtf8().constData(),
                       -1, &st, nullptr);
    const QByteArray pw = password.toUtf8();
    sqlite3_bind_text(st, 1, pw.constData(), int(pw.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
}

QString translateStatement(const QString& jetSql) {
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*delete)\\s+\\*\\s+(from\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString sql = jetSql;
    sql.replace(deleteStar, QStringLiteral("\\1 \\2"));

    QString out;
    out.reserve(sql.size() + 32);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    // From the opening apostrophe through the closing one; false when the text ends before it.
    auto copyLiteral = [&] {
        out += sql[i++];
        while (i < n) {
            out += sql[i];
            if (sql[i++] == u'\'') {
                if (i < n && sql[i] == u'\'') {
                    out += sql[i++];
                    continue;
                }
                return true;
            }
        }
        return false;
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'') {
            copyLiteral();
        } else if (c == u'[') {
            const qsizetype close = sql.indexOf(u']', i);
            if (close < 0) {
                out += sql.mid(i);
                break;
            }
            out += u'"' + sql.mid(i + 1, close - i - 1) + u'"';
            i = close + 1;
        } else if (c == u'=' && (i == 0 || !QStringLiteral("<>!=").contains(sql[i - 1])) &&
                   (i + 1 >= n || sql[i + 1] != u'=')) {
            out += c;
            ++i;
            while (i < n && sql[i].isSpace()) out += sql[i++];
            if (i < n && sql[i] == u':') {
                out += sql[i++];
                while (i < n && isWord(sql[i])) out += sql[i++];
                out += QStringLiteral(" COLLATE %1").arg(QLatin1String(kCollation));
            } else if (i < n && sql[i] == u'\'' && copyLiteral()) {
                // Not after an unterminated literal, whose text it would become.
                out += QStringLiteral(" COLLATE %1").arg(QLatin1String(kCollation));
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

bool likeMatches(QStringView pattern, QStringView text) {
    const QString p = pattern.toString().toCaseFolded();
    const QString t = text.toString().toCaseFolded();
    // Greedy match with one backtrack point per "%".
    qsizetype pi = 0, ti = 0, starP = -1, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && p[pi] == t[ti]))) {
            ++pi;
            ++ti;
        } else if (pi < p.size() && p[pi] == u'%') {
            starP = pi++;
            starT = ti;
        } else if (starP >= 0) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%') ++pi;
    return pi == p.size();
}

Connection::~Connection() { close(); }

void Connection::open(const QString& connectionString) {
    close();
    const Target target = parseTarget(connectionString);
    db_ = openDatabase(target);
    file_ = absolute(target.path);
}

void Connection::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void Connection::fail(const QString& what) const {
    static const QRegularExpression noTable(QStringLiteral("^no such table: (?:\\w+\\.)?(.+)$"));
    const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
    const auto m = noTable.match(msg);
    if (m.hasMatch())
        throw Error(QStringLiteral("The database engine cannot find the input table or query '%1' "
                                   "in %2. Make sure it exists and that its name is spelled "
                                   "correctly.")
                        .arg(m.captured(1), quoted(file_)));
    throw Error(QStringLiteral("%1 (%2): %3").arg(what, file_, msg));
}

void Connection::run(const char* sql) {
    if (!db_) throw Error(QStringLiteral("The connection is closed."));
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QString::fromLatin1(sql));
}

void Connection::beginTransaction() { run("BEGIN"); }
void Connection::commit() { run("COMMIT"); }
void Connection::rollback() {
    if (db_ && !sqlite3_get_autocommit(db_)) run("ROLLBACK");
}

int Connection::execute(const QString& jetSql, const std::map<QString, QString>& parameters) {
    if (!db_) throw Error(QStringLiteral("The connection is closed."));
    const QString sql = translateStatement(jetSql);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare16_v2(db_, sql.utf16(), int(sql.size() * 2), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        fail(QStringLiteral("Syntax error in statement"));
    }
    struct Finalizer {
        sqlite3_stmt* st;
        ~Finalizer() { sqlite3_finalize(st); }
    } finalizer{st};
    for (int k = 1; k <= sqlite3_bind_parameter_count(st); ++k) {
        const QString name = QString::fromUtf8(sqlite3_bind_parameter_name(st, k)).mid(1);
        auto it = std::find_if(parameters.begin(), parameters.end(), [&](const auto& p) {
            return p.first.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it == parameters.end())
            throw Error(QStringLiteral("No value given for the parameter '%1'.").arg(name));
        sqlite3_bind_text16(st, k, it->second.utf16(), int(it->second.size() * 2),
                            SQLITE_TRANSIENT);
    }
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) fail(QStringLiteral("Statement failed"));
    return sqlite3_changes(db_);
}

bool syncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void removeDatabaseFiles(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

Holders openHolders(const QString& path) {
    Holders out;
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0) return out;
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc) return out;
    while (const dirent* p = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        const std::string fdDir = "/proc/" + std::string(p->d_name) + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;  // gone, or another user's
        int count = 0;
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat st {};
            if (::fstatat(::dirfd(fds), f->d_name, &st, 0) == 0 && st.st_dev == target.st_dev &&
                st.st_ino == target.st_ino)
                ++count;
        }
        ::closedir(fds);
        if (count == 0) continue;
        out.pids << pid;
        if (pid == self) out.ownHandles = count;
    }
    ::closedir(proc);
    return out;
}

Compaction::Compaction(const QString& sourceConnection) {
    const Target source = parseTarget(sourceConnection);
    const int before = openHolders(absolute(source.path)).ownHandles;
    db_ = openDatabase(source);
    file_ = absolute(source.path);
    ownHandles_ = openHolders(file_).ownHandles - before;
    auto fail = [&](const QString& text) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(text);
    };
    auto pragma = [&](const char* sql) {
        sqlite3_stmt* st = nullptr;
        QString out;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return out.toLower();
    };
    // A WAL file beside the copy's name would be read into the copy: fold it in and go back to
    // the plain journal, which needs the database to be free of every other connection.
    if (pragma("PRAGMA journal_mode") == QLatin1String("wal") &&
        pragma("PRAGMA journal_mode=DELETE") != QLatin1String("delete"))
        fail(QStringLiteral("Журнал WAL базы данных %1 не удалось перенести в файл базы: её "
                            "открыла другая программа (%2).")
                 .arg(quoted(file_), QString::fromUtf8(sqlite3_errmsg(db_))));
    // In exclusive locking mode a lock once taken is kept until the connection closes.
    sqlite3_exec(db_, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    const bool readOnly = sqlite3_db_readonly(db_, "main") == 1;
    const char* take = readOnly ? "SELECT count(*) FROM sqlite_master" : "BEGIN EXCLUSIVE";
    if (sqlite3_exec(db_, take, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("База данных %1 занята другой программой, которая её читает или "
                            "записывает; сжатие не выполнено (%2).")
                 .arg(quoted(file_), QString::fromUtf8(sqlite3_errmsg(db_))));
    if (!readOnly) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

Compaction::~Compaction() { sqlite3_close(db_); }

void Compaction::writeCopy(const QString& destConnection) {
    const Target dest = parseTarget(destConnection);
    const QString destFile = absolute(dest.path);
    const QFileInfo destInfo(destFile);
    if (destInfo.exists() || destInfo.isSymLink())
        throw Error(QStringLiteral("Database %1 already exists.").arg(quoted(destFile)));
    auto failWith = [&](const QString& text) {
        removeDatabaseFiles(destFile);
        throw Error(text);
    };

    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "VACUUM INTO ?", -1, &st, nullptr);
    const QByteArray destName = QFile::encodeName(destFile);
    sqlite3_bind_text(st, 1, destName.constData(), int(destName.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    const QString why = QString::fromUtf8(sqlite3_errmsg(db_));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        failWith(QStringLiteral("Не удалось записать сжатую копию %1 (%2).")
                     .arg(quoted(destFile), why));

    QString openError;
    sqlite3* copy = openFile(destFile, SQLITE_OPEN_READWRITE, &openError);
    if (!copy)
        failWith(QStringLiteral("Cannot open the copy %1: %2.").arg(quoted(destFile), openError));
    if (storedPassword(copy) != dest.password) setDatabasePassword(copy, dest.password);
    sqlite3_close(copy);
    if (!syncToDisk(destFile))
        failWith(QStringLiteral("Cannot sync the copy %1 to disk.").arg(quoted(destFile)));

    copy = openFile(destFile, SQLITE_OPEN_READONLY, &openError);
    QString verdict = openError;
    if (copy) {
        sqlite3_prepare_v2(copy, "PRAGMA integrity_check", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(copy);
    }
    if (verdict != QLatin1String("ok"))
        failWith(QStringLiteral("The compacted copy %1 failed its check: %2.")
                     .arg(quoted(destFile), verdict));
}

void Compaction::replaceSource(const QString& copy) {
    // The users' platform deletes no file that is read-only or open in another program.
    if (sqlite3_db_readonly(db_, "main") == 1)
        throw Error(QStringLiteral("Файл %1 доступен только для чтения: сжатая копия не может его "
                                   "заменить.")
                        .arg(quoted(file_)));
    const Holders holders = openHolders(file_);
    QStringList others;
    for (const qint64 pid : holders.pids)
        if (pid != ::getpid() || holders.ownHandles > ownHandles_) others << QString::number(pid);
    if (!others.isEmpty())
        throw Error(QStringLiteral("Файл %1 открыт другой программой: сжатая копия не может его "
                                   "заменить (процесс %2).")
                        .arg(quoted(file_), others.join(QStringLiteral(", "))));

    // A journal still beside the source is no live one, which would need a lock that the hold
    // excludes: a crash left it empty or with a cleared header. It must not stay beside the copy.
    QFile::remove(file_ + QStringLiteral("-journal"));

    const QByteArray from = QFile::encodeName(copy);
    struct stat st {};
    if (::stat(QFile::encodeName(file_).constData(), &st) == 0) {
        // chown first: it may clear the set-id bits that chmod then puts back.
        if (::chown(from.constData(), st.st_uid, st.st_gid) != 0)
            (void)!::chown(from.constData(), uid_t(-1), st.st_gid);
        (void)!::chmod(from.constData(), st.st_mode & 07777);
    }
    if (::rename(from.constData(), QFile::encodeName(file_).constData()) != 0)
        throw Error(QStringLiteral("Cannot replace %1 by the compacted copy: %2.")
                        .arg(quoted(file_), QString::fromLocal8Bit(std::strerror(errno))));
    syncToDisk(QFileInfo(file_).absolutePath());
}

void compactDatabase(const QString& sourceConnection, const QString& destConnection) {
    Compaction(sourceConnection).writeCopy(destConnection);
}

}  // namespace volnor::jet

// The largest group removal on a 100 000-part sample database through our provider, against the
// sqlite3 command running the same translated statements on a copy, alternated over several runs
// on data where both delete the same parts; and macro removal in a folder of 10 000 files
// against a plain std::filesystem loop.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "partsdb/sampledb.h"
#include "platform/error.h"
#include "platform/jetdb.h"

using namespace volnor;
using namespace volnor::partsdb;

namespace {

class SilentDialogs : public Dialogs {
public:
    void confirm(const QString&) override {}
    void warning(const QString&) override {}
    void showMessage(const QString& text) override { throw Error(text); }
    void errorReport(const QString&, const QString&) override {}
    std::optional<QString> chooseFile(const QString&, const QString&) override { return {}; }
};

// Runs SQL through the sqlite3 command on a database file; its output, or an error.
QString runCli(const QString& db, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db});
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw Error(QStringLiteral("sqlite3: ") + QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

int countParts(const QString& db) {
    return runCli(db, QStringLiteral("SELECT count(*) FROM tblpart;")).toInt();
}

QString connectionFor(const QString& path) {
    QString s = connectionTemplate();
    s.replace(QStringLiteral("mybase"), path, Qt::CaseInsensitive);
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void copyFresh(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to)) throw Error(QStringLiteral("cannot copy ") + from);
}

}  // namespace

// Our removal of the patterns through the provider, the connection opened beforehand.
double runOurs(const QString& db, const QStringList& patterns, const WinPaths& drive) {
    SilentDialogs dialogs;
    PartsMaintenance maintenance(dialogs, drive);
    maintenance.ADOConnection1().setConnectionString(connectionFor(db));
    maintenance.ADOConnection1().setConnected(true);
    QElapsedTimer timer;
    timer.start();
    for (const QString& p : patterns) maintenance.clearsql(p);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    maintenance.ADOConnection1().setConnected(false);
    return ms;
}

// The same statements as our provider translates them, one transaction per pattern, run by the
// sqlite3 command, its start included.
double runSqlite3(const QString& db, const QString& script) {
    QElapsedTimer timer;
    timer.start();
    runCli(db, script);
    return double(timer.nsecsElapsed()) / 1e6;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int parts = 100000;
    const int files = 10000;
    QTemporaryDir dir;

    // The entry with most patterns, and the dfile step with most tokens.
    const RemovalEntry* largest = &removalTable().front();
    const RemovalStep* widest = nullptr;
    auto patternCount = [](const RemovalEntry& e) {
        return std::count_if(e.steps.begin(), e.steps.end(),
                             [](const auto& s) { return s.kind == RemovalStep::Kind::ClearSql; });
    };
    for (const auto& e : removalTable()) {
        if (patternCount(e) > patternCount(*largest)) largest = &e;
        for (const auto& s : e.steps)
            if (s.kind == RemovalStep::Kind::DFile && (!widest || s.count > widest->count))
                widest = &s;
    }
    QStringList patterns;
    for (const auto& s : largest->steps)
        if (s.kind == RemovalStep::Kind::ClearSql) patterns << s.text;

    QString script;
    for (const QString& p : patterns) {
        script += QStringLiteral("BEGIN;\n");
        for (const QString& table :
             {QStringLiteral("tblFunctionTemplate"), QStringLiteral("tblVariant")})
            script += jet::translateStatement(
                          QStringLiteral("DELETE * from %1  where id in (select id from tblpart "
                                         "where [tblpart].[typenr]like '%")
                              .arg(table) +
                          p + QStringLiteral("%')")) +
                      QStringLiteral(";\n");
        script += jet::translateStatement(
                      QStringLiteral("DELETE * from tblpart  where [tblpart].[typenr]like '%") + p +
                      QStringLiteral("%'")) +
                  QStringLiteral(";\nCOMMIT;\n");
    }

    // Our LIKE ignores letter case in every alphabet, sqlite3's only in ASCII. The sample holds
    // Cyrillic patterns in changed case, which only ours deletes: the parts on which the two
    // rules disagree are taken out of the sample first, so that both sides do the same work.
    const QString master = dir.filePath(QStringLiteral("sample.mdb"));
    const QString ours = dir.filePath(QStringLiteral("ours.mdb"));
    const QString theirs = dir.filePath(QStringLiteral("sqlite3.mdb"));
    const WinPaths drive(dir.filePath(QStringLiteral("drive")));
    makeSampleDatabase(master, parts);
    copyFresh(master, ours);
    copyFresh(master, theirs);
    runOurs(ours, patterns, drive);
    runSqlite3(theirs, script);
    const int before = countParts(master);
    const int leftOurs = countParts(ours);
    const int leftTheirs = countParts(theirs);
    runCli(master,
            QStringLiteral(
                "ATTACH '%1' AS o; ATTACH '%2' AS t;\n"
                "CREATE TEMP TABLE differ AS SELECT id FROM "
                "(SELECT id FROM t.tblpart EXCEPT SELECT id FROM o.tblpart) UNION "
                "SELECT id FROM (SELECT id FROM o.tblpart EXCEPT SELECT id FROM t.tblpart);\n"
                "BEGIN;\n"
                "DELETE FROM main.tblFunctionTemplate WHERE id IN (SELECT id FROM differ);\n"
                "DELETE FROM main.tblVariant WHERE id IN (SELECT id FROM differ);\n"
                "DELETE FROM main.tblpart WHERE id IN (SELECT id FROM differ);\n"
                "COMMIT;\n")
                .arg(ours, theirs));
    const int agreed = countParts(master);

    out << "group removal \"" << largest->key << "\": " << patterns.size() << " patterns, " << parts
        << " parts\n";
    out << QStringLiteral(
               "  on the full sample ours leaves %1 parts, sqlite3 %2 (its LIKE ignores "
               "case for ASCII only): %3 parts where the rules disagree are taken out, "
               "%4 parts remain\n")
               .arg(leftOurs)
               .arg(leftTheirs)
               .arg(before - agreed)
               .arg(agreed);

    constexpr int runs = 7;
    std::vector<double> oursMs, theirsMs;
    int left = -1;
    for (int run = 0; run < runs; ++run) {
        copyFresh(master, ours);
        copyFresh(master, theirs);
        // Alternated: each side goes first in every other run.
        for (int k = 0; k < 2; ++k) {
            if ((run + k) % 2 == 0)
                oursMs.push_back(runOurs(ours, patterns, drive));
            else
                theirsMs.push_back(runSqlite3(theirs, script));
        }
        const int a = countParts(ours);
        const int b = countParts(theirs);
        if (a != b) {
            out << "the two sides did different work: ours left " << a << " parts, sqlite3 " << b
                << "\n";
            return 1;
        }
        left = a;
        out << QStringLiteral("  run %1: ours %2 ms, sqlite3 %3 ms, both leave %4 parts\n")
                   .arg(run + 1)
                   .arg(oursMs.back(), 0, 'f', 1)
                   .arg(theirsMs.back(), 0, 'f', 1)
                   .arg(left);
    }
    out << QStringLiteral("  medians over %1 runs each: ours %2 ms, sqlite3 %3 ms\n")
               .arg(runs)
               .arg(median(oursMs), 0, 'f', 1)
               .arg(median(theirsMs), 0, 'f', 1);
    out << QStringLiteral("  ratio ours/sqlite3 = %1\n")
               .arg(median(oursMs) / median(theirsMs), 0, 'f', 2);
    out.flush();

    // Macro removal: the dfile step with most tokens, on two identical folders.
    if (!widest) return 0;
    const QStringList tokens = widest->text.split(u';', Qt::SkipEmptyParts).mid(0, widest->count);
    const QString macroFolder = drive.native(kMacroFolder.toString());
    makeMacroFolder(macroFolder, files);
    const QString plainFolder = dir.filePath(QStringLiteral("plain"));
    makeMacroFolder(plainFolder, files);

    SilentDialogs dialogs;
    PartsMaintenance maintenance(dialogs, drive);
    QElapsedTimer timer;
    timer.start();
    maintenance.dfile(widest->count, widest->text);
    const double dfileMs = double(timer.nsecsElapsed()) / 1e6;

    timer.restart();
    std::vector<std::filesystem::path> doomed;
    for (const auto& entry :
         std::filesystem::directory_iterator(QFile::encodeName(plainFolder).toStdString())) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (!name.endsWith(QStringLiteral(".ema"), Qt::CaseInsensitive)) continue;
        for (const QString& t : tokens)
            if (name.contains(t)) {
                doomed.push_back(entry.path());
                break;
            }
    }
    for (const auto& p : doomed) std::filesystem::remove(p);
    const double plainMs = double(timer.nsecsElapsed()) / 1e6;

    out << "macro removal: " << tokens.size() << " tokens, " << files << " files\n";
    out << QStringLiteral("  ours  %1 ms, %2 files left\n")
               .arg(dfileMs, 0, 'f', 1)
               .arg(QDir(macroFolder).entryList(QDir::Files).size());
    out << QStringLiteral("  plain %1 ms, %2 files left (one std::filesystem scan)\n")
               .arg(plainMs, 0, 'f', 1)
               .arg(QDir(plainFolder).entryList(QDir::Files).size());
    out << QStringLiteral("  ratio ours/plain = %1\n").arg(dfileMs / plainMs, 0, 'f', 2);
    return 0;
}

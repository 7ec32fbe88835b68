// The largest group removal on a 100 000-part sample database through our provider, against the
// sqlite3 command running the same translated statements on a copy; and macro removal in a folder
// of 10 000 files against a plain std::filesystem loop.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <filesystem>

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

int countParts(const QString& db) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db, QStringLiteral("SELECT count(*) FROM tblpart")});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toInt();
}

QString connectionFor(const QString& path) {
    QString s = connectionTemplate();
    s.replace(QStringLiteral("mybase"), path, Qt::CaseInsensitive);
    return s;
}

}  // namespace

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

    const QString ours = dir.filePath(QStringLiteral("ours.mdb"));
    const QString theirs = dir.filePath(QStringLiteral("sqlite3.mdb"));
    makeSampleDatabase(ours, parts);
    QFile::copy(ours, theirs);

    const QString macroFolder =
        WinPaths(dir.filePath(QStringLiteral("drive"))).native(kMacroFolder.toString());
    SilentDialogs dialogs;
    PartsMaintenance maintenance(dialogs, WinPaths(dir.filePath(QStringLiteral("drive"))));
    maintenance.ADOConnection1().setConnectionString(connectionFor(ours));
    maintenance.ADOConnection1().setConnected(true);

    QElapsedTimer timer;
    timer.start();
    for (const QString& p : patterns) maintenance.clearsql(p);
    const double oursMs = double(timer.nsecsElapsed()) / 1e6;
    maintenance.ADOConnection1().setConnected(false);

    // The same statements as our provider translates them, one transaction per pattern.
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
    QProcess sqlite;
    timer.restart();
    sqlite.start(QStringLiteral("sqlite3"), {theirs});
    sqlite.write(script.toUtf8());
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(-1);
    const double theirsMs = double(timer.nsecsElapsed()) / 1e6;
    if (sqlite.exitCode() != 0) {
        out << "sqlite3 failed: " << sqlite.readAllStandardError() << "\n";
        return 1;
    }

    out << "group removal \"" << largest->key << "\": " << patterns.size() << " patterns, " << parts
        << " parts\n";
    out << QStringLiteral("  ours    %1 ms, %2 parts left\n")
               .arg(oursMs, 0, 'f', 1)
               .arg(countParts(ours));
    out << QStringLiteral("  sqlite3 %1 ms, %2 parts left (its LIKE ignores case for ASCII only)\n")
               .arg(theirsMs, 0, 'f', 1)
               .arg(countParts(theirs));
    out << QStringLiteral("  ratio ours/sqlite3 = %1\n").arg(oursMs / theirsMs, 0, 'f', 2);

    // Macro removal: the dfile step with most tokens, on two identical folders.
    if (!widest) return 0;
    const QStringList tokens = widest->text.split(u';', Qt::SkipEmptyParts).mid(0, widest->count);
    makeMacroFolder(macroFolder, files);
    const QString plainFolder = dir.filePath(QStringLiteral("plain"));
    makeMacroFolder(plainFolder, files);

    timer.restart();
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

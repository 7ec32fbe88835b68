#include "partsdb/maintenance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <functional>

#include "catalogue/catalogue.h"
#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "platform/filesearch.h"

namespace volnor::partsdb {
namespace {

const QString kEnginePrefix = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=");
const QString kEnginePassword = QStringLiteral(";Jet OLEDB:Database Password=");

// Runs `body` in one transaction of `connection`: all of it takes effect, or none.
void inTransaction(AdoConnection& connection, const std::function<void()>& body) {
    connection.beginTrans();
    try {
        body();
        connection.commitTrans();
    } catch (...) {
        try {
            connection.rollbackTrans();
        } catch (const Error&) {
            // The first error is the one to report.
        }
        throw;
    }
}

// Restores the process's current directory when the scope ends, however it ends.
class CurrentDirGuard {
public:
    CurrentDirGuard() : saved_(QDir::currentPath()) {}
    ~CurrentDirGuard() { QDir::setCurrent(saved_); }
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    QString saved_;
};

}  // namespace

PartsMaintenance::PartsMaintenance(Dialogs& dialogs, WinPaths paths)
    : dialogs_(dialogs), paths_(std::move(paths)) {}

QString PartsMaintenance::macroFolder() const { return paths_.native(kMacroFolder.toString()); }

void PartsMaintenance::runStatement(const QString& sql, const std::optional<QString>& k1) {
    query_.sqlClear();
    query_.sqlAdd(sql);
    if (k1) query_.setParam(QStringLiteral("k1"), *k1);
    query_.execSql();
}

void PartsMaintenance::ToolButton7Click() {
    const CurrentDirGuard lastdir;
    const QString connstr = connectionTemplate();
    const auto chosen = dialogs_.chooseFile(kChooserTitle.toString(), kChooserFilter.toString());
    if (!chosen) return;
    connection_.setConnected(false);
    QString pathbd = connstr;
    pathbd.replace(QStringLiteral("mybase"), *chosen, Qt::CaseInsensitive);
    connection_.setConnectionString(pathbd);
    connection_.setConnected(true);
    dialogs_.confirm(kConnectedText.toString());
}

void PartsMaintenance::clearsql(const QString& param) {
    inTransaction(connection_, [&] {
        runStatement(
            QStringLiteral("DELETE * from tblFunctionTemplate  where id in (select id from "
                           "tblpart where [tblpart].[typenr]like '%") +
            param + QStringLiteral("%')"));
        runStatement(QStringLiteral("DELETE * from tblVariant  where id in (select id from tblpart "
                                    "where [tblpart].[typenr]like '%") +
                     param + QStringLiteral("%')"));
        runStatement(QStringLiteral("DELETE * from tblpart  where [tblpart].[typenr]like '%") +
                     param + QStringLiteral("%'"));
    });
}

void PartsMaintenance::dfile(int number, const QString& str) {
    if (number <= 0) return;
    // One scan serves every token: a file goes when any of the first `number` tokens is in its
    // name, which deletes the same files as a scan per token.
    QString rest = str;
    QStringList tokens;
    for (int i = 0; i < number; ++i) {
        const qsizetype p = rest.indexOf(u';');
        if (p < 0) break;  // the remaining passes would all get an empty token
        if (p > 0) tokens << rest.left(p);
        rest.remove(0, p + 1);
    }
    if (tokens.isEmpty()) return;
    const QString folder = macroFolder();
    for (const QString& name : findEntries(folder, QStringLiteral("*.ema"))) {
        const bool hit = std::any_of(tokens.cbegin(), tokens.cend(), [&](const QString& tek) {
            return name.contains(tek, Qt::CaseSensitive);
        });
        if (hit) QFile::remove(folder + name);
    }
}

void PartsMaintenance::CompactDatabase_JRO(const QString& db, const QString& dest,
                                           const QString& password) {
    QString copy;  // the temporary file of a compaction in place, removed unless it replaced db
    try {
        QString src = kEnginePrefix + db;
        QString name;
        if (!dest.isEmpty()) {
            // Deleting the destination first would delete the source itself.
            if (QFileInfo(dest).absoluteFilePath() == QFileInfo(db).absoluteFilePath() ||
                (QFileInfo::exists(dest) &&
                 QFileInfo(dest).canonicalFilePath() == QFileInfo(db).canonicalFilePath()))
                throw Error(
                    QStringLiteral("The destination '%1' is the database itself.").arg(dest));
            name = dest;
        } else {
            const qsizetype sep = std::max(db.lastIndexOf(u'/'), db.lastIndexOf(u'\\'));
            QString tempPath = db.left(sep + 1);
            if (tempPath.isEmpty()) tempPath = QDir::currentPath() + u'/';
            QTemporaryFile temp(tempPath + QStringLiteral("mdbXXXXXX.tmp"));
            temp.setAutoRemove(false);
            if (!temp.open())
                throw Error(QStringLiteral("Cannot create a temporary file in '%1': %2.")
                                .arg(tempPath, temp.errorString()));
            name = temp.fileName();
            copy = name;
        }
        QFile::remove(name);
        QString destination = kEnginePrefix + name;
        if (!password.isEmpty()) {
            src += kEnginePassword + password;
            destination += kEnginePassword + password;
        }
        // The engine holds the source from its first read until the copy has replaced it.
        jet::Compaction engine(src);
        engine.writeCopy(destination);
        if (dest.isEmpty()) {
            engine.replaceSource(name);
            copy.clear();
        }
    } catch (const Error& e) {
        if (!copy.isEmpty()) jet::removeDatabaseFiles(copy);
        dialogs_.showMessage(e.text());
    }
}

bool PartsMaintenance::TreeView1ContextPopup(const std::optional<QString>& currentNode) {
    if (currentNode && !currentNode->isEmpty()) n1Visible_ = true;
    return n1Visible_;
}

void PartsMaintenance::N1Click(const std::optional<QString>& currentNode) {
    if (!currentNode) return;  // nothing is selected: nothing to remove, nothing to compact
    for (const RemovalEntry& entry : removalTable()) {
        if (!catalogue::sameText(entry.key, *currentNode)) continue;
        for (const RemovalStep& step : entry.steps) {
            if (step.kind == RemovalStep::Kind::ClearSql)
                clearsql(step.text);
            else
                dfile(step.count, step.text);
        }
    }
    connection_.setConnected(false);
    CompactDatabase_JRO(connection_.databaseFile(), QString(), QString());
    connection_.setConnected(true);
    dialogs_.confirm(kRemovedText.toString());
}

void PartsMaintenance::ToolButton4Click() {
    const QString maker = kMakerName.toString();
    inTransaction(connection_, [&] {
        runStatement(
            QStringLiteral("DELETE * from tblFunctionTemplate  where id in (select id from "
                           "tblpart where [tblpart].[manufacturer]=:k1)"),
            maker);
        runStatement(QStringLiteral("DELETE * from tblVariant  where id in (select id from tblpart "
                                    "where [tblpart].[manufacturer]=:k1)"),
                     maker);
        runStatement(QStringLiteral("DELETE * from tblpart  where [tblpart].[manufacturer]=:k1"),
                     maker);
    });
    const QString folder = macroFolder();
    for (const QString& name : findEntries(folder, QStringLiteral("*.ema")))
        QFile::remove(folder + name);
    dialogs_.confirm(kRemovedText.toString());
}

}  // namespace volnor::partsdb

#include "update/self_update.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

#include "buildconfig.h"
#include "download/script_file.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "transfer/ftp_client.h"
#include "transfer/http_client.h"

namespace volnor::update {

namespace {

const QString kSection = QStringLiteral("EPLAN");
// The section name the update writes under; names match without regard to case.
const QString kWriteSection = QStringLiteral("Eplan");
const QString kDateKey = QStringLiteral("DATE");
const QString kNewsKey = QStringLiteral("MESS");
const QString kLocalKey = QStringLiteral("DATEUPDATE");

// The longest 7-Zip may take to test or list an update archive.
constexpr int kSevenZipLimitMs = 120000;

struct SevenZip {
    bool ok = false;
    QByteArray out;
    QString failure;  // why it did not run through with exit code 0
};

SevenZip runSevenZip(const QString& programDir, const QStringList& args) {
    const QString program =
        QDir(programDir).filePath(WinPaths::relative(QStringLiteral("7z\\7z.exe")));
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    SevenZip result;
    if (!process.waitForStarted(-1)) {
        result.failure = QStringLiteral("не удалось запустить 7-Zip «%1» (%2)")
                             .arg(QDir::toNativeSeparators(program), process.errorString());
        return result;
    }
    if (!process.waitForFinished(kSevenZipLimitMs)) {
        process.kill();
        process.waitForFinished(-1);
        result.failure = QStringLiteral("7-Zip не закончил проверку архива");
        return result;
    }
    result.out = process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        result.ok = true;
        return result;
    }
    const QString detail = QString::fromUtf8(process.readAllStandardError()).simplified().left(300);
    result.failure =
        QStringLiteral("архив обновления повреждён (7-Zip: %1)")
            .arg(detail.isEmpty() ? QStringLiteral("код %1").arg(process.exitCode()) : detail);
    return result;
}

struct Entry {
    QString path;
    bool folder = false;
    bool link = false;
};

// The technical listing ("l -slt"): blocks of "Name = value" lines, each begun by "Path = ".
QList<Entry> entriesOf(const QByteArray& listing) {
    QList<Entry> entries;
    for (const QString& line : QString::fromUtf8(listing).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1String(" = "));
        if (eq < 0) continue;
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 3).chopped(line.endsWith(QLatin1Char('\r')) ? 1 : 0);
        if (name == QLatin1String("Path")) {
            entries.append({value});
        } else if (entries.isEmpty()) {
            continue;
        } else if (name == QLatin1String("Folder")) {
            entries.last().folder = value == QLatin1String("+");
        } else if (name == QLatin1String("Attributes")) {
            // Windows attributes, then the Unix mode ("A -rw-r--r--", "D drwxr-xr-x", " lrwx...").
            const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (value.startsWith(QLatin1Char('D'))) entries.last().folder = true;
            for (const QString& word : words)
                if (word.size() == 10 && word.startsWith(QLatin1Char('l')))
                    entries.last().link = true;
        } else if (name.contains(QLatin1String("Link")) && !value.isEmpty()) {
            entries.last().link = true;  // "Symbolic Link", "Hard Link"
        }
    }
    return entries;
}

std::optional<QString> entryProblem(const QDir& programDir, const Entry& entry) {
    const QString shown = QStringLiteral("«%1»").arg(entry.path);
    if (entry.link) return QStringLiteral("архив обновления содержит ссылку %1").arg(shown);
    // Both separators count: an archive made on Windows names its folders with "\".
    QString path = entry.path;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (path.startsWith(QLatin1Char('/')) || path.contains(drive) ||
        parts.contains(QLatin1String("..")) || parts.isEmpty())
        return QStringLiteral("архив обновления содержит путь за пределами папки программы %1")
            .arg(shown);
    QString prefix;
    for (const QString& part : parts) {
        prefix = prefix.isEmpty() ? part : prefix + QLatin1Char('/') + part;
        if (QFileInfo(programDir.filePath(prefix)).isSymLink())
            return QStringLiteral(
                       "архив обновления записал бы %1 поверх ссылки «%2» в папке "
                       "программы")
                .arg(shown, prefix);
    }
    return std::nullopt;
}

// ".\name": the scripts and the fetched configuration are written to the current directory.
QString inCurrentDir(const char* name) {
    return QDir::current().absoluteFilePath(QString::fromLatin1(name));
}

bool isProgram(const Entry& entry) {
    const QString name = QString::fromLatin1(kProgram);
    return !entry.folder && (entry.path == name || entry.path == name.chopped(4));
}

}  // namespace

QString configUrl() {
    return QStringLiteral("https://") + QString::fromUtf8(buildconfig::kWebHost) +
           QString::fromLatin1(kConfigPath);
}

bool fetchConfiguration(HttpClient& http) {
    try {
        QByteArray Stream2;
        http.Get(configUrl(), Stream2);
        QSaveFile file(inCurrentDir(kConfigFile));
        return file.open(QIODevice::WriteOnly) && file.write(Stream2) == Stream2.size() &&
               file.commit();
    } catch (const Error&) {
        return false;
    }
}

Configuration::Configuration(const QString& exeDir, const Settings& settings)
    : finifile(QDir(exeDir).filePath(QString::fromLatin1(kConfigFile))),
      finifile2(QDir(exeDir).filePath(QString::fromLatin1(kLocalFile))),
      settings_(settings) {}

QString Configuration::statusText() const {
    return kDatePrefix + finifile.ReadString(kSection, kDateKey);
}

QString Configuration::news() const { return finifile.ReadString(kSection, kNewsKey); }

Configuration::Dates Configuration::dates() const {
    const int year = settings_.today().year();
    Dates d;
    d.local_date = StrToDate(finifile2.ReadString(kSection, kLocalKey), settings_.dateFormat, year);
    d.mydate = StrToDate(finifile.ReadString(kSection, kDateKey), settings_.dateFormat, year);
    return d;
}

QStringList restartScript() {
    return {
        QStringLiteral("del cmdupdate.cmd"),
        QStringLiteral("start VOLNOR_Eplan_DB.exe"),
        QStringLiteral("exit"),
    };
}

QStringList updateScript() {
    return {
        QStringLiteral("del VOLNOR_Eplan_DB.exe"),
        QStringLiteral("cd 7z\\"),
        QStringLiteral("7z.exe x -r ..\\update.7z -o..\\ -y"),
        QStringLiteral("cd ..\\"),
        QStringLiteral("del update.7z"),
        QStringLiteral("start cmdrun.cmd"),
        QStringLiteral("exit"),
    };
}

std::optional<QString> archiveProblem(const QString& programDir, const QString& archive) {
    const QString file = QFileInfo(archive).absoluteFilePath();
    const SevenZip test = runSevenZip(
        programDir, {QStringLiteral("t"), QStringLiteral("-bso0"), QStringLiteral("-bsp0"), file});
    if (!test.ok) return test.failure;
    const SevenZip list =
        runSevenZip(programDir, {QStringLiteral("l"), QStringLiteral("-slt"), QStringLiteral("-ba"),
                                 QStringLiteral("-sccUTF-8"), file});
    if (!list.ok) return list.failure;
    const QDir dir(programDir);
    bool program = false;
    for (const Entry& entry : entriesOf(list.out)) {
        if (const auto problem = entryProblem(dir, entry)) return problem;
        program = program || isProgram(entry);
    }
    if (!program)
        return QStringLiteral("в архиве обновления нет файла программы «%1»")
            .arg(QString::fromLatin1(kProgram));
    return std::nullopt;
}

SelfUpdate::SelfUpdate(FtpClient& ftp, ScriptRunner runner, QString exeDir, Settings settings)
    : ftp_(ftp),
      runner_(std::move(runner)),
      exeDir_(std::move(exeDir)),
      settings_(std::move(settings)) {}

SelfUpdate::Outcome SelfUpdate::run(Configuration& config, const QDate& mydate, QStringList& cmdrun,
                                    QStringList& cmdupdate) {
    // 1. The restart script, before the download.
    cmdrun = restartScript();
    writeScript(inCurrentDir(kRestartScript), cmdrun);

    // 2, 3. A failed connection or download ends the update with its text in panel 0.
    if (ftp_.Connected()) ftp_.Disconnect();
    try {
        ftp_.Connect();
    } catch (const Error& e) {
        return {false, kConnectPrefix + e.text()};
    }
    if (!ftp_.Connected()) return {};
    const QString archive = QDir(exeDir_).filePath(QString::fromLatin1(kArchive));
    try {
        ftp_.Get(QString::fromLatin1(kRemoteArchive), archive, true, false);
    } catch (const Error& e) {
        QFile::remove(archive);  // a part of an archive is of no use to the next try
        return {false, kDownloadPrefix + e.text()};
    }
    // The update script deletes the program before it unpacks: an archive that would not give
    // a working program back counts as a failed download.
    if (const auto problem = archiveProblem(QDir::currentPath(), archive)) {
        QFile::remove(archive);
        return {false, kDownloadPrefix + *problem};
    }

    // 5 to 7. The script is written before the date is recorded, so that a script that cannot
    // be written leaves DATEUPDATE as it was; a date that cannot be recorded takes the script
    // away again.
    const QStringList lines = updateScript();
    cmdupdate = lines.mid(0, 5);
    cmdupdate += lines.mid(5);
    const QString script = inCurrentDir(kUpdateScript);
    writeScript(script, cmdupdate);
    // The later of today and the published date: an update published for a day still to come
    // is applied once, not at every start until that day.
    const QDate recorded = std::max(settings_.today(), mydate);
    try {
        config.finifile2.WriteString(kWriteSection, kLocalKey,
                                     DateToStr(recorded, settings_.dateFormat));
    } catch (const Error&) {
        QFile::remove(script);
        throw;
    }

    // 8. The interpreter runs the script's first line only once this process has ended.
    const qint64 pid =
        settings_.programPid < 0 ? QCoreApplication::applicationPid() : settings_.programPid;
    runner_.startDetached(script, pid);
    return {true, {}};
}

}  // namespace volnor::update

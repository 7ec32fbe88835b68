#pragma once
// The remote configuration, the update check and the self-update of start-up.
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "platform/script_runner.h"
#include "update/dates.h"
#include "update/ini.h"

namespace volnor {

class FtpClient;
class HttpClient;

namespace update {

inline constexpr auto kConfigPath = "/f/8270/eplan-config.ini";
inline constexpr auto kConfigFile = "eplan-config.ini";
inline constexpr auto kLocalFile = "eplan-config_local.ini";
inline constexpr auto kRestartScript = "cmdrun.cmd";
inline constexpr auto kUpdateScript = "cmdupdate.cmd";
inline constexpr auto kArchive = "update.7z";
inline constexpr auto kRemoteArchive = "/eplan/update.7z";
// The executable as the scripts name it; the interpreter finds it without ".exe" here.
inline constexpr auto kProgram = "VOLNOR_Eplan_DB.exe";

// Status panel 1 before DATE; panel 0 before the error of a failed connection or download.
inline const QString kDatePrefix = QStringLiteral("Дата последнего обновления: ");
inline const QString kConnectPrefix = QStringLiteral("Ошибка подключения: ");
inline const QString kDownloadPrefix = QStringLiteral(" Ошибка скачивания файла: ");

// What start-up takes from the platform: the short date format, today, and the process the
// update script waits for.
struct Settings {
    ShortDateFormat dateFormat = ShortDateFormat::user();
    std::function<QDate()> today = &QDate::currentDate;
    qint64 programPid = -1;  // the running program's when negative
};

// "https://" + the maker's web host + the configuration's path.
QString configUrl();

// Fetches the remote configuration into memory and saves it as ".\eplan-config.ini" in the
// current directory, replacing the file whole. Any failure passes silently and writes nothing;
// false then.
bool fetchConfiguration(HttpClient& http);

// The local copy of the configuration (finifile) and the local state file (finifile2), both in
// the executable's directory. Every value is read from its file when it is asked for.
class Configuration {
public:
    Configuration(const QString& exeDir, const Settings& settings);

    IniFile finifile;
    IniFile finifile2;

    // "Дата последнего обновления: " and DATE as written.
    QString statusText() const;
    // MESS.
    QString news() const;

    struct Dates {
        QDate local_date;
        QDate mydate;
        // Strictly later: equal dates or an earlier remote one mean no update.
        bool updateDue() const { return mydate > local_date; }
    };
    // DATEUPDATE, then DATE, parsed; throws volnor::Error "'%s' is not a valid date".
    Dates dates() const;

private:
    Settings settings_;
};

// The restart script's 3 lines and the update script's 7.
QStringList restartScript();
QStringList updateScript();

// Why the downloaded archive must not be unpacked over the program directory, or nothing when
// it may: 7-Zip's test of it fails, it lacks the program's executable at its top level, an
// entry is a link, or an entry would land outside the directory, on a link or under one (such
// as "7z/7z.exe", the link to the system's 7-Zip). programDir is where the update script
// unpacks; its "7z/7z.exe" runs the test. The texts are Russian.
std::optional<QString> archiveProblem(const QString& programDir, const QString& archive);

// The self-update of start-up, once the update is due.
class SelfUpdate {
public:
    SelfUpdate(FtpClient& ftp, ScriptRunner runner, QString exeDir, Settings settings);

    struct Outcome {
        bool started = false;  // the update script was started: the program is to end
        QString statusText;    // for status panel 0 after a failed connection or download
    };
    // Writes ".\cmdrun.cmd", downloads "/eplan/update.7z" into the executable's directory,
    // checks it, writes ".\cmdupdate.cmd" and DATEUPDATE (the later of today and mydate) and
    // starts the update script, which waits for this process to end. A failed connection,
    // download or check is an outcome; a script or DATEUPDATE that cannot be written throws
    // volnor::Error, and then DATEUPDATE keeps its value and no update script is left.
    Outcome run(Configuration& config, const QDate& mydate, QStringList& cmdrun,
                QStringList& cmdupdate);

private:
    FtpClient& ftp_;
    ScriptRunner runner_;
    QString exeDir_;
    Settings settings_;
};

}  // namespace update
}  // namespace volnor

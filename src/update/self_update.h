#pragma once
// The remote configuration, the update check and the self-update of start-up.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "buildconfig.h"
#include "platform/date_format.h"
#include "platform/ini_file.h"
#include "platform/script_runner.h"
#include "platform/signature.h"
#include "platform/system.h"

namespace volnor {

class FtpClient;
class HttpClient;

namespace update {

inline constexpr char kConfigPath[] = "/f/8270/eplan-config.ini";
inline constexpr char kConfigFile[] = "eplan-config.ini";
inline constexpr char kLocalFile[] = "eplan-config_local.ini";
// The section of both files, the one the update writes under (names match without regard to
// case), and the local file's date of the last applied update.
inline constexpr char kSection[] = "EPLAN";
inline constexpr char kWriteSection[] = "Eplan";
inline constexpr char kLocalKey[] = "DATEUPDATE";
inline constexpr char kRestartScript[] = "cmdrun.cmd";
inline constexpr char kUpdateScript[] = "cmdupdate.cmd";
inline constexpr char kArchive[] = "update.7z";
inline constexpr char kRemoteArchive[] = "/eplan/update.7z";
// The executable as the scripts name it; the interpreter finds it without ".exe" here.
inline constexpr char kProgram[] = "VOLNOR_Eplan_DB.exe";

// Status panel 1 before DATE; panel 0 before the error of a failed connection or download.
inline const std::string kDatePrefix = "Дата последнего обновления: ";
inline const std::string kConnectPrefix = "Ошибка подключения: ";
inline const std::string kDownloadPrefix = " Ошибка скачивания файла: ";

// What start-up takes from the platform: the short date format, today, the process the update
// script waits for and the running program's file. Tests set them; the program takes them from
// its System.
struct Settings {
    ShortDateFormat dateFormat;
    std::function<std::chrono::year_month_day()> today;
    std::int64_t programPid = -1;
    // Set aside before the update script starts, its leftover removed at every start; empty
    // where no program of the update's runs (tests of start-up alone).
    std::filesystem::path program;
    // The maker's public key that the update archive's signature must match (base64 of the
    // uncompressed P-256 point); empty: the archive is taken without a signature.
    std::string updateKey = buildconfig::kUpdateKey;

    // The user's format, the clock and this process; the system must outlive the settings.
    static Settings of(const System& system);
};

// "https://" + the maker's web host + the configuration's path.
std::string configUrl();

// The process's current directory, where names that begin ".\" live.
std::filesystem::path currentDir();

// Fetches the remote configuration into memory and saves it as ".\eplan-config.ini" in the
// current directory, replacing the file whole. Any failure passes silently and writes nothing;
// false then.
bool fetchConfiguration(HttpClient& http);

// The local copy of the configuration (finifile) and the local state file (finifile2), both in
// the executable's directory. Every value is read from its file when it is asked for.
class Configuration {
public:
    Configuration(IniFiles& files, const std::filesystem::path& exeDir, Settings settings);

    IniFile finifile;
    IniFile finifile2;

    // "Дата последнего обновления: " and DATE as written.
    std::string statusText() const;
    // MESS.
    std::string news() const;
    // SIGNATURE: the maker's signature of the update archive, base64.
    std::string signature() const;

    struct Dates {
        std::chrono::year_month_day local_date;
        std::chrono::year_month_day mydate;
        // Strictly later: equal dates or an earlier remote one mean no update.
        bool updateDue() const { return mydate > local_date; }
    };
    // DATEUPDATE, then DATE, parsed; throws volnor::Error "'%s' is not a valid date".
    Dates dates() const;

private:
    Settings settings_;
};

// At every start: the restart script that an earlier update left in the executable's directory
// is deleted. A folder of that name stays; a failure passes silently.
void removeRestartScript(const std::filesystem::path& exeDir);

// Where the running program's file is set aside before the update script starts: beside it,
// ".old" appended ("VOLNOR_Eplan_DB.exe.old").
std::filesystem::path setAsideName(const std::filesystem::path& program);

// At every start: the program's file that an earlier update set aside is deleted. While the old
// process still runs, Windows keeps its file: a failure passes silently, a later start removes it.
void removeSetAside(const std::filesystem::path& program);

// The restart script's 3 lines and the update script's 7.
std::vector<std::string> restartScript();
std::vector<std::string> updateScript();

// Why the downloaded archive must not be unpacked over the program directory, or nothing when
// it may: 7-Zip's test of it fails, it lacks the program's executable at its top level, an
// entry is a link, or an entry would land outside the directory, on a link or under one (such
// as "7z/7z.exe", the link to the system's 7-Zip). programDir is where the update script
// unpacks; its "7z/7z.exe" runs the test and the listing. The texts are Russian.
std::optional<std::string> archiveProblem(const ScriptRunner& runner,
                                          const std::filesystem::path& programDir,
                                          const std::filesystem::path& archive);

// Why the archive must not be used, or nothing when it may: with a key, the signature must be
// the maker's over the archive's bytes; without one, every archive may. The texts are Russian.
std::optional<std::string> signatureProblem(const SignatureCheck& check, std::string_view key,
                                            std::string_view signature,
                                            const std::filesystem::path& archive);

// The self-update of start-up, once the update is due.
class SelfUpdate {
public:
    SelfUpdate(FtpClient& ftp, const ScriptRunner& runner, const SignatureCheck& signatures,
               std::filesystem::path exeDir, Settings settings);

    struct Outcome {
        bool started = false;  // the update script was started: the program is to end
        // For status panel 0 after a failed connection or download.
        std::optional<std::string> statusText;
    };
    // Writes ".\cmdrun.cmd", downloads "/eplan/update.7z" into the executable's directory,
    // checks its signature (with a key) and its content, writes ".\cmdupdate.cmd" and
    // DATEUPDATE (the later of today and mydate), sets the running program's file aside and
    // starts the update script, which waits for this process to end where the interpreter can.
    // A failed connection, download or check is an outcome; a script or DATEUPDATE that cannot
    // be written, a program file that cannot be set aside, or an update script that cannot be
    // started, throws volnor::Error, and then DATEUPDATE keeps its value, the program's file its
    // name, and no update script is left (nor the archive, when the script did not start). The
    // lists hold the scripts' lines as far as they were filled.
    Outcome run(Configuration& config, const std::chrono::year_month_day& mydate,
                std::vector<std::string>& cmdrun, std::vector<std::string>& cmdupdate);

private:
    FtpClient& ftp_;
    const ScriptRunner& runner_;
    const SignatureCheck& signatures_;
    std::filesystem::path exeDir_;
    Settings settings_;
};

}  // namespace update
}  // namespace volnor

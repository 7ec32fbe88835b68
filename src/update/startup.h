#pragma once
// The start-up of the program: everything the window's creation runs but placing its progress
// bar, with what the window must show afterwards.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/script_runner.h"
#include "platform/signature.h"
#include "update/self_update.h"

namespace volnor {

class FtpClient;
class HttpClient;

namespace update {

// EPLAN's parts data folder of the maker, made at every start; nothing else uses it.
inline constexpr char kPartsDataFolder[] = "C:\\Users\\Public\\EPLAN\\Data\\Элементы\\VOLNOR\\";

struct StartupResult {
    // Status panel 1 and the news panel: empty when start-up did not get that far.
    std::string statusText;
    std::string news;
    // Status panel 0 after a failed connection or download of the update.
    std::optional<std::string> updateFailure;
    // The update script was started: the program is to end.
    bool terminate = false;
    // The text of the error that ended start-up early (a date that does not parse, a script or
    // the local state file that cannot be written, an update script that cannot be started),
    // for the error report. Everything before it
    // stays done, and the progress bar stays where the configuration's fetch left it.
    std::optional<std::string> error;
    // The update scripts' lines, as far as an update filled them.
    std::vector<std::string> cmdrun;
    std::vector<std::string> cmdupdate;
};

// The outside things start-up works with.
struct StartupServices {
    HttpClient& http;
    FtpClient& ftp;
    const ScriptRunner& runner;
    const SignatureCheck& signatures;
    IniFiles& ini;
    Progress& progress;
};

// In this order: the HTTP client follows redirects and sends the program's User-Agent; a
// restart script left in the executable's directory by an earlier update goes, and so does the
// program's file that the update set aside; the parts data
// folder is made; the configuration is fetched into the current directory; panel 1's text and
// the news are read from the executable's directory; the dates are compared and a due update
// is run; the progress bar goes back to 0.
StartupResult runStartup(const StartupServices& services, const WinPaths& paths,
                         const std::filesystem::path& exeDir, const Settings& settings);

}  // namespace update
}  // namespace volnor

// The program in the Windows update cycle's test: the program's start-up with the real clients,
// in a process of its own, started without arguments like the program. It reads where the test
// servers are and the maker's public key from "stand_in.ini" beside it and appends what it saw to
// "starts.log" there:
//   start PID VERSION aside=0|1   (VERSION from version.txt; whether the program's file set
//                                 aside by an update is there)
//   report TEXT              (an error or a failed update of start-up)
//   exit PID update=0|1 VERSION
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/progress.h"
#include "platform/text.h"
#include "platform/win32/cng_signature.h"
#include "platform/win32/ini_files.h"
#include "platform/win32/script_runner.h"
#include "platform/win32/system.h"
#include "platform/win32/winhttp_client.h"
#include "platform/win32/wininet_ftp_client.h"
#include "update/startup.h"

namespace {

namespace fs = std::filesystem;

const volnor::win32::WinSystem kSystem;

fs::path here(const char* name) { return kSystem.executablePath().parent_path() / name; }

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void log(const std::string& line) {
    std::ofstream(here("starts.log"), std::ios::binary | std::ios::app) << line << '\n';
}

std::string version() { return std::string(volnor::trimmed(contentOf(here("version.txt")))); }

// Wine's command interpreter keeps the script it runs open until it has ended (Windows' opens it
// for each line), and the restart script starts the program as its last line but one: wait,
// boundedly, until the script lets go of its file, so that the start-up's clean-up finds it
// deletable as on Windows.
void waitForRestartScript() {
    const std::wstring script = here(volnor::update::kRestartScript).wstring();
    for (int i = 0; i < 200; ++i) {
        const HANDLE file = CreateFileW(script.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

int main() {
    const std::int64_t pid = kSystem.processId();
    std::string aside = volnor::update::kProgram;
    aside += ".old";
    log("start " + std::to_string(pid) + " " + version() +
        " aside=" + (fs::exists(here(aside.c_str())) ? "1" : "0"));
    waitForRestartScript();

    volnor::win32::WinIniFiles ini;
    const volnor::IniFile settings(ini, here("stand_in.ini"));
    volnor::win32::WinHttpClient http(settings.ReadString("stand-in", "proxy"));
    volnor::win32::WinInetFtpClient ftp(
        {"127.0.0.1", std::stoi(settings.ReadString("stand-in", "ftp", "0"))});
    const volnor::win32::WinScriptRunner runner;
    const volnor::win32::CngSignatureCheck signatures;
    volnor::HeldProgress progress;
    volnor::update::Settings update = volnor::update::Settings::of(kSystem);
    update.updateKey = settings.ReadString("stand-in", "key");

    const volnor::update::StartupResult result = volnor::update::runStartup(
        {http, ftp, runner, signatures, ini, progress}, volnor::WinPaths(here("drive")),
        kSystem.executablePath().parent_path(), update);
    if (result.error) log("report " + *result.error);
    if (result.updateFailure) log("report " + *result.updateFailure);
    log("exit " + std::to_string(pid) + " update=" + (result.terminate ? "1" : "0") + " " +
        version());
    return 0;
}

// The program in the update cycle's test: the real window and its start-up in a process of its
// own, started without arguments like the program. It reads its connect-to list and the maker's
// public key from "stand_in.ini" beside it and appends what it saw to "starts.log" there:
//   start PID VERSION old-running=0|1   (VERSION from version.txt; the previous start's process)
//   report TEXT                         (an error report of start-up)
//   exit PID update=0|1 VERSION          (whether it started an update; version.txt as it was
//                                        when it ended)
// After starting an update it stays a moment before it ends, so that a script that did not wait
// for it would be seen replacing the program's files while it still runs.
#include <signal.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/posix/ini_files.h"
#include "platform/posix/system.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "ui/qt/Unit1.h"

namespace {

namespace fs = std::filesystem;

const volnor::posix::PosixSystem kSystem;

fs::path programDir() { return kSystem.executablePath().parent_path(); }
fs::path here(const char* name) { return programDir() / name; }

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void log(const std::string& line) {
    std::ofstream(here("starts.log"), std::ios::binary | std::ios::app) << line << '\n';
}

class LoggingDialogs : public volnor::Dialogs {
public:
    void confirm(const std::string& text) override { log("report " + text); }
    void warning(const std::string& text) override { log("report " + text); }
    void showMessage(const std::string& text) override { log("report " + text); }
    void errorReport(const std::string&, const std::string& text) override {
        log("report " + text);
    }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override {
        return {};
    }
};

class NoShell : public volnor::Shell {
public:
    void openUrl(const std::string&) override {}
    void openFolder(const std::string&) override {}
};

std::string version() {
    if (!fs::exists(here("version.txt"))) return "(none)";
    return std::string(volnor::trimmed(contentOf(here("version.txt"))));
}

bool running(std::int64_t pid) { return pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::int64_t pid = kSystem.processId();

    std::int64_t previous = 0;
    for (const std::string& line : volnor::split(contentOf(here("starts.log")), '\n', true)) {
        const std::vector<std::string> fields = volnor::split(line, ' ');
        if (fields.size() > 1 && fields[0] == "start") previous = std::stoll(fields[1]);
    }
    log("start " + std::to_string(pid) + " " + version() +
        " old-running=" + (running(previous) ? "1" : "0"));

    volnor::posix::PosixIniFiles iniFiles;
    const volnor::IniFile settings(iniFiles, here("stand_in.ini"));
    volnor::update::Settings update = volnor::update::Settings::of(kSystem);
    update.dateFormat = *volnor::ShortDateFormat::fromPicture("dd.MM.yyyy");
    update.updateKey = settings.ReadString("stand-in", "key");
    LoggingDialogs dialogs;
    NoShell shell;
    bool updating = false;
    {
        volnor::ui::TForm1 form(dialogs, shell, volnor::WinPaths(here("drive")),
                                programDir(),
                                volnor::split(settings.ReadString("stand-in", "connect"), ';', true),
                                update);
        updating = form.terminateRequested();
        // Without an update nobody closes the window: the stand-in ends by itself.
        if (!updating) QTimer::singleShot(0, &app, &QCoreApplication::quit);
        form.show();
        app.exec();
    }
    if (updating) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    log("exit " + std::to_string(pid) + " update=" + (updating ? "1" : "0") + " " + version());
    return 0;
}

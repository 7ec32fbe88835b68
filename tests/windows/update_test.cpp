// The start-up and the self-update end to end under Wine with the real clients: WinHTTP through
// the test CONNECT proxy to the HTTPS server for the configuration, WinINet in active mode to the
// FTP server for the update archive, the system's CNG for its signature, Wine's command
// interpreter and 7-Zip for Windows for the update's scripts.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ansi_codec.h"
#include "platform/progress.h"
#include "platform/text.h"
#include "platform/win32/cng_signature.h"
#include "platform/win32/ini_files.h"
#include "platform/win32/script_runner.h"
#include "platform/win32/system.h"
#include "platform/win32/wide.h"
#include "platform/win32/winhttp_client.h"
#include "platform/win32/wininet_ftp_client.h"
#include "support/ca_store.h"
#include "support/files.h"
#include "support/servers.h"
#include "update/dates.h"
#include "update/startup.h"

namespace volnor::wintest {
namespace {

using namespace std::chrono_literals;
using std::chrono::days;
using std::chrono::sys_days;
using test::CurrentDir;
using test::readFile;
using test::TempDir;
using test::writeFile;
using test::fs::path;
using Lines = std::vector<std::string>;

const std::string kSigner = VOLNOR_TESTS_DIR "/servers/sign_archive.py";
const ShortDateFormat kRussian = *ShortDateFormat::fromPicture("dd.MM.yyyy");

// The configuration as the maker publishes it, in the users' code page.
std::string configuration(const std::string& date, const std::string& news,
                          const std::string& signature = {}) {
    std::string text = "[EPLAN]\r\nDATE=" + date + "\r\nMESS=" + news + "\r\n";
    if (!signature.empty()) text += "SIGNATURE=" + signature + "\r\n";
    return *utf8ToAnsi(text);
}

// A program directory of its own with 7-Zip for Windows as "7z\7z.exe", the current directory
// while the test runs.
class Update : public ::testing::Test {
protected:
    static void SetUpTestSuite() { trustTestCa(); }

    void SetUp() override {
        const path bin = test::fs::absolute(pathOf(VOLNOR_BIN_DIR "/7z"));
        test::fs::create_directories(file("7z"));
        for (const char* name : {"7z.exe", "7z.dll"})
            test::fs::copy_file(bin / name, file("7z") / name);
        sevenZip_ = readFile(file("7z/7z.exe"));
        current_.emplace(dir());
    }
    void TearDown() override { current_.reset(); }

    const path& dir() const { return program_.path(); }
    path file(std::string_view name) const { return program_.file(name); }
    bool exists(std::string_view name) const { return test::fs::exists(file(name)); }
    bool sevenZipIntact() const { return readFile(file("7z/7z.exe")) == sevenZip_; }

    const win32::WinScriptRunner runner_;

private:
    TempDir program_;
    std::string sevenZip_;
    std::optional<CurrentDir> current_;
};

TEST_F(Update, TheStartShowsTheDateAndTheNewsOfTheFetchedConfiguration) {
    const TempDir web, drive;
    writeFile(web.file("f/8270/eplan-config.ini"),
              configuration("01.12.2026", "Новые изделия в каталоге"));
    writeFile(file("eplan-config_local.ini"), "[EPLAN]\r\nDATEUPDATE=01.12.2026\r\n");
    const HttpsServer server(web.path());
    win32::WinHttpClient http(server.proxy());
    win32::WinInetFtpClient ftp({"127.0.0.1", 1});  // no update is due: never connected
    const win32::CngSignatureCheck signatures;
    win32::WinIniFiles ini;
    HeldProgress progress;
    progress.setPosition(40);
    update::Settings settings{kRussian,
                              [] {
                                  return std::chrono::year_month_day{std::chrono::year(2026),
                                                                     std::chrono::month(12),
                                                                     std::chrono::day(11)};
                              },
                              -1,
                              {}};

    const update::StartupResult result = update::runStartup(
        {http, ftp, runner_, signatures, ini, progress}, WinPaths(drive.path()), dir(), settings);

    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(result.statusText, "Дата последнего обновления: 01.12.2026");
    EXPECT_EQ(result.news, "Новые изделия в каталоге");
    EXPECT_FALSE(result.terminate);
    EXPECT_EQ(result.updateFailure, std::nullopt);
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(server.tunnels(), Lines{std::string(buildconfig::kWebHost) + ":443"});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].path.ends_with(update::kConfigPath))
        << server.requests()[0].path;
}

// One whole self-update: the old program finds the update due, downloads the archive from the FTP
// server, checks the maker's signature, sets its own file aside and ends; the update script
// unpacks the archive over the program directory and starts the restart script, which starts the
// new program; the new program's start removes the restart script and the old program's file.
TEST_F(Update, ACycleReplacesTheProgramsFilesAndStartsTheNewProgram) {
    const std::string today = DateToStr(win32::WinSystem().today(), kRussian);
    const std::string published =
        DateToStr(sys_days(win32::WinSystem().today()) + days(1), kRussian);
    const std::string earlier =
        DateToStr(sys_days(win32::WinSystem().today()) - days(10), kRussian);
    ASSERT_EQ(DateToStr(win32::WinSystem().today(), win32::WinSystem().shortDateFormat()), today)
        << "the prefix's short date format is not the Russian one";
    const path standIn =
        win32::WinSystem().executablePath().parent_path() / "windows_update_stand_in.exe";
    const std::string program = readFile(standIn);
    ASSERT_FALSE(program.empty());

    // The new build, told apart from the old by a mark after the executable's image.
    const TempDir web, ftp, stage, keys;
    writeFile(stage.file(update::kProgram), program + "new");
    writeFile(stage.file("version.txt"), "new");
    writeFile(stage.file("data/readme.txt"), "new data");
    const path archive = ftp.file("eplan/update.7z");
    test::fs::create_directories(archive.parent_path());
    const ProgramResult made =
        runner_.run(file("7z/7z.exe"),
                    {"a", "-t7z", "-bso0", utf8Of(archive), utf8Of(stage.path() / "*")}, 60s);
    ASSERT_TRUE(made.ok) << made.errors;
    // Signed as the maker signs it (openssl in a Linux process).
    runUntil({"/usr/bin/python3", kSigner, "keygen", unixPath(keys.path())},
             keys.file("maker.pub"));
    runUntil({"/usr/bin/python3", kSigner, "sign", unixPath(keys.file("maker.key")),
              unixPath(archive), unixPath(keys.file("update.sig"))},
             keys.file("update.sig"));
    writeFile(web.file("f/8270/eplan-config.ini"),
              configuration(published, "Обновление",
                            std::string(trimmed(readFile(keys.file("update.sig"))))));

    // The old program directory.
    writeFile(file(update::kProgram), program + "old");
    writeFile(file("version.txt"), "old");
    writeFile(file("eplan-config_local.ini"), "[EPLAN]\r\nDATEUPDATE=" + earlier + "\r\n");
    const HttpsServer https(web.path());
    const FtpServer ftpServer(ftp.path());
    writeFile(file("stand_in.ini"),
              "[stand-in]\r\nproxy=" + https.proxy() +
                  "\r\nftp=" + std::to_string(ftpServer.port()) +
                  "\r\nkey=" + std::string(trimmed(readFile(keys.file("maker.pub")))) + "\r\n");

    // Started as a user starts it: without arguments, in its own folder.
    std::wstring line = L"\"" + file(update::kProgram).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               dir().wstring().c_str(), &startup, &process))
        << win32::lastErrorText(GetLastError());
    CloseHandle(process.hThread);
    const DWORD waited = WaitForSingleObject(process.hProcess, 120000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(exitCode, 0u);

    // The new program has run when it has logged its end.
    const auto log = [&] {
        return exists("starts.log") ? split(readFile(file("starts.log")), '\n', true) : Lines();
    };
    const auto exits = [&] {
        std::size_t n = 0;
        for (const std::string& l : log()) n += l.starts_with("exit ");
        return n;
    };
    for (int i = 0; i < 1200 && exits() < 2; ++i) std::this_thread::sleep_for(50ms);

    const Lines lines = log();
    ASSERT_EQ(lines.size(), 4u) << join(lines, "\n");
    const std::string oldPid = std::to_string(process.dwProcessId);
    EXPECT_EQ(lines[0], "start " + oldPid + " old aside=0");
    EXPECT_EQ(lines[1], "exit " + oldPid + " update=1 old");
    // The old program's file was set aside when the new one started, and went at its start.
    EXPECT_TRUE(lines[2].starts_with("start ") && lines[2].ends_with(" new aside=1")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with(" update=0 new")) << lines[3];

    EXPECT_EQ(readFile(file(update::kProgram)), program + "new");
    EXPECT_EQ(readFile(file("data/readme.txt")), "new data");
    for (const std::string& gone :
         Lines{"update.7z", "cmdupdate.cmd", "cmdrun.cmd", std::string(update::kProgram) + ".old"})
        EXPECT_FALSE(exists(gone)) << gone;
    // The published date, later than today, is recorded: the new program updated nothing.
    win32::WinIniFiles ini;
    EXPECT_EQ(ini.readString(file("eplan-config_local.ini"), "EPLAN", "DATEUPDATE", ""), published);
    EXPECT_TRUE(sevenZipIntact());
    // The archive came in active mode.
    const Lines commands = ftpServer.commands();
    EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [](const std::string& c) {
        return c.starts_with("PORT ");
    })) << join(commands, "\n");
}

}  // namespace
}  // namespace volnor::wintest

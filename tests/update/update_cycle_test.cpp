// One whole self-update with the real interpreter and the real 7-Zip: the old program finds the
// update due, downloads the archive from the FTP test server, checks the maker's signature and
// ends, its file set aside; the update script
// waits for it, unpacks the archive over the program directory and starts the restart script,
// which starts the new program; the new program's start removes the restart script and the old
// program's file.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ansi_codec.h"
#include "platform/posix/system.h"
#include "support/servers.h"
#include "update/update_dir.h"

namespace volnor::test {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

class UpdateCycle : public UpdateDirTest {
protected:
    static fs::path standIn() {
        return posix::PosixSystem().executablePath().parent_path() / "update_program_stand_in";
    }
    // An executable as a file of its own, marked so that the old and the new one differ.
    static void install(const fs::path& folder, const std::string& name, const fs::path& from,
                        const std::string& mark) {
        const fs::path file = folder / name;
        ASSERT_NO_THROW(writeFile(file, readFile(from) + mark));
        fs::permissions(file, fs::perms::owner_all);
    }
    std::vector<std::string> log() const { return split(read("starts.log"), '\n', true); }
    static std::size_t count(const std::vector<std::string>& lines, std::string_view part) {
        std::size_t n = 0;
        for (const std::string& line : lines) n += line.find(part) != std::string::npos;
        return n;
    }

    // The program started as a user starts it: without arguments, in its own folder.
    static pid_t start(const fs::path& program, const fs::path& folder) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(folder.c_str()) == 0) ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        return pid;
    }
    // Its exit code, or nothing when it has not ended within the time.
    static std::optional<int> waitFor(pid_t pid, std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(UpdateCycle, ReplacesTheProgramsFilesAndStartsTheNewProgramOnceTheOldHasEnded) {
    const ShortDateFormat ru = russian();
    const year_month_day today = posix::PosixSystem().today();
    const std::string published = DateToStr(sys_days(today) + days(1), ru);

    const TempDir web, ftp, stage;

    // The new build: the program, the interpreter and data, told apart from the old by a mark.
    const fs::path interpreter = VOLNOR_BIN_DIR "/cmd";
    install(stage.path(), "VOLNOR_Eplan_DB", standIn(), "new");
    install(stage.path(), "cmd", interpreter, "new");
    writeFile(stage.file("version.txt"), "new");
    writeFile(stage.file("data/readme.txt"), "new data");
    const std::string archive = sevenZipOf(stage.path(), {});
    writeFile(ftp.file("eplan/update.7z"), archive);
    const sign::KeyPair maker = sign::makeKeyPair();
    writeFile(web.file("f/8270/eplan-config.ini"),
              *utf8ToAnsi("[EPLAN]\r\nDATE=" + published + "\r\nMESS=Обновление\r\nSIGNATURE=" +
                          signatureOf(maker, archive) + "\r\n"));

    // The old program directory.
    install(dir(), "VOLNOR_Eplan_DB", standIn(), "old");
    install(dir(), "cmd", interpreter, "old");
    write("version.txt", "old");
    write("eplan-config_local.ini",
          "[EPLAN]\r\nDATEUPDATE=" + DateToStr(sys_days(today) - days(10), ru) + "\r\n");
    HttpsServer https(web.path());
    FtpServer ftpServer(ftp.path());
    std::vector<std::string> connect = https.connectTo();
    for (const std::string& entry : ftpServer.connectTo()) connect.push_back(entry);
    write("stand_in.ini",
          "[stand-in]\r\nconnect=" + join(connect, ";") + "\r\nkey=" + maker.publicKey + "\r\n");

    const pid_t old = start(path("VOLNOR_Eplan_DB"), dir());
    ASSERT_GT(old, 0);
    const std::string oldPid = std::to_string(old);
    const std::optional<int> exitCode = waitFor(old, std::chrono::seconds(120));
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, 0);
    // The new program has run when it has logged its end.
    for (int i = 0; i < 1200 && count(log(), "exit ") < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const std::vector<std::string> lines = log();
    ASSERT_EQ(lines.size(), 4u) << join(lines, "\n");
    EXPECT_TRUE(lines[0].starts_with("start " + oldPid + " old")) << lines[0];
    // The old program's files stayed as they were until it had ended, and the new one started
    // after that.
    EXPECT_EQ(lines[1], "exit " + oldPid + " update=1 old");
    EXPECT_TRUE(lines[2].ends_with(" new old-running=0")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with(" update=0 new")) << lines[3];

    EXPECT_EQ(read("VOLNOR_Eplan_DB"), readFile(standIn()) + "new");
    EXPECT_EQ(read("cmd"), readFile(interpreter) + "new");
    EXPECT_EQ(read("data/readme.txt"), "new data");
    // The old program's file, set aside before the update script started, went at the new
    // program's start.
    for (const char* gone : {"update.7z", "cmdupdate.cmd", "cmdrun.cmd", "VOLNOR_Eplan_DB.old"})
        EXPECT_FALSE(exists(gone)) << gone;
    // The published date, later than today, is recorded: the new program updated nothing.
    EXPECT_EQ(read("eplan-config_local.ini"), "[EPLAN]\r\nDATEUPDATE=" + published + "\r\n");
    EXPECT_TRUE(sevenZipIntact());
}

}  // namespace
}  // namespace volnor::test

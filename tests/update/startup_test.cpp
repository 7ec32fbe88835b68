// The start-up operation on its own, with the real clients, the real HTTPS and FTP test servers
// and the real 7-Zip: what it returns for the window, in the cases the window shows alike.
#include "update/startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "buildconfig.h"
#include "platform/ansi_codec.h"
#include "platform/posix/curl_ftp_client.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/ini_files.h"
#include "platform/posix/script_runner.h"
#include "platform/posix/signature.h"
#include "support/servers.h"
#include "update/update_dir.h"

namespace volnor::test {
namespace {

using std::chrono::year_month_day;
using Lines = std::vector<std::string>;

constexpr std::int64_t kPid = 4242;
// Where the parts data folder lands under the test's drive.
constexpr char kPartsData[] = "Users/Public/EPLAN/Data/Элементы/VOLNOR";

std::string config(const std::string& date, const std::string& news = "Новости",
                   const std::optional<std::string>& signature = std::nullopt) {
    std::string text = "[EPLAN]\r\nDATE=" + date + "\r\nMESS=" + news + "\r\n";
    if (signature) text += "SIGNATURE=" + *signature + "\r\n";
    return *utf8ToAnsi(text);
}

// The real runner, but for the update script, which cannot be started.
class NoDetachedStart : public ScriptRunner {
public:
    explicit NoDetachedStart(const ScriptRunner& real) : real_(real) {}
    std::unique_ptr<RunningScript> start(const fs::path& script) const override {
        return real_.start(script);
    }
    bool startDetached(const fs::path&, std::optional<std::int64_t>) const override {
        return false;
    }
    ProgramResult run(const fs::path& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit) const override {
        return real_.run(program, args, limit);
    }

private:
    const ScriptRunner& real_;
};

std::string localState(const std::string& date) { return "[Eplan]\r\nDATEUPDATE=" + date + "\r\n"; }

class Startup : public UpdateDirTest {
protected:
    void SetUp() override {
        UpdateDirTest::SetUp();
        // A stand-in interpreter that records how it was started.
        write("cmd",
              "#!/bin/sh\nprintf '%s\\n' \"$(pwd)\" \"$@\" > started.tmp\n"
              "mv started.tmp started.txt\n");
        fs::permissions(path("cmd"), fs::perms::owner_all);
        https_ = std::make_unique<HttpsServer>(web_.path());
    }

    void publish(const std::string& bytes) const {
        writeFile(web_.file("f/8270/eplan-config.ini"), bytes);
    }
    static std::string goodArchive() {
        return sevenZip({{"VOLNOR_Eplan_DB", "new program"}, {"data/readme.txt", "new"}});
    }
    void startFtp(const std::string& archive = goodArchive()) {
        writeFile(ftp_.file("eplan/update.7z"), archive);
        ftpServer_ = std::make_unique<FtpServer>(ftp_.path());
    }
    // The maker's hosts: the web server, and the FTP server or a port where nothing listens.
    Lines connectTo() const {
        Lines entries = https_->connectTo();
        if (ftpServer_)
            for (const std::string& entry : ftpServer_->connectTo()) entries.push_back(entry);
        else
            entries.push_back(std::string(buildconfig::kFtpHost) + ":2121:127.0.0.1:1");
        return entries;
    }

    // Start-up as the window runs it: the bar at 100, the client's reports advancing it.
    update::StartupResult run() {
        posix::CurlHttpClient http(connectTo());
        http.setOnWork([this](HttpClient&, HttpClient::WorkMode, std::int64_t count) {
            progress_.advance(count);
        });
        posix::CurlFtpClient ftp(connectTo());
        const posix::InterpreterRunner real(dir());
        const NoDetachedStart failing(real);
        const ScriptRunner& runner = failStart_ ? static_cast<const ScriptRunner&>(failing) : real;
        const posix::OpenSslSignatureCheck signatures;
        update::Settings settings;
        settings.dateFormat = russian();
        settings.today = [] {
            return year_month_day{std::chrono::year(2026), std::chrono::month(12),
                                  std::chrono::day(10)};
        };
        settings.programPid = kPid;
        settings.program = program_;
        settings.updateKey = key_;
        progress_.setPosition(100);
        update::StartupResult result =
            update::runStartup({http, ftp, runner, signatures, ini_, progress_},
                               WinPaths(drive_.path()), dir(), settings);
        redirects_ = http.handleRedirects();
        return result;
    }

    // What the stand-in interpreter recorded; it runs detached, so it may come a moment later.
    std::string started() const {
        for (int i = 0; i < 1000 && !exists("started.txt"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return read("started.txt");
    }

    TempDir drive_, web_, ftp_;
    std::unique_ptr<HttpsServer> https_;
    std::unique_ptr<FtpServer> ftpServer_;
    posix::PosixIniFiles ini_;
    HeldProgress progress_;
    bool redirects_ = false;
    // The build's key: none, as in a build without VOLNOR_UPDATE_KEY, unless a test sets one.
    std::string key_;
    bool failStart_ = false;
    // The running program's file: none unless a test sets one.
    fs::path program_;
};

TEST_F(Startup, SetsUpTheClientBeforeTheFetchAndRemovesTheRestartScriptOfTheExecutablesFolder) {
    const TempDir other;
    writeFile(other.file("cmdrun.cmd"), "not ours");
    write("cmdrun.cmd", "left by an update");
    write("eplan-config_local.ini", localState("10.12.2026"));
    write("eplan-config.ini", config("10.12.2026"));
    publish(config("10.12.2026", "Свежие"));
    update::StartupResult result;
    {
        const CurrentDir current(other.path());
        result = run();
    }

    const std::vector<RecordedRequest> requests = https_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/f/8270/eplan-config.ini");
    EXPECT_EQ(requests[0].values("User-Agent"), Lines{HttpClient::kUserAgent});
    EXPECT_TRUE(redirects_);
    EXPECT_FALSE(exists("cmdrun.cmd"));
    EXPECT_EQ(readFile(other.file("cmdrun.cmd")), "not ours");
    // The fresh copy went to the current folder; the executable's older one decided.
    EXPECT_EQ(readFile(other.file("eplan-config.ini")), config("10.12.2026", "Свежие"));
    EXPECT_EQ(result.statusText, update::kDatePrefix + "10.12.2026");
    EXPECT_EQ(result.news, "Новости");
    EXPECT_TRUE(fs::is_directory(drive_.path() / pathOf(kPartsData)));
    EXPECT_FALSE(result.error.has_value()) << *result.error;
    EXPECT_FALSE(result.updateFailure.has_value());
    EXPECT_FALSE(result.terminate);
    EXPECT_EQ(result.cmdrun, Lines{});
    EXPECT_EQ(result.cmdupdate, Lines{});
    EXPECT_EQ(progress_.position(), 0);
}

TEST_F(Startup, AStopAtADateKeepsWhatWasShownAndTheBarWhereTheFetchLeftIt) {
    struct Case {
        const char* what;
        std::optional<std::string> local;
        std::string remote;
        std::string error;
    };
    const Case cases[] = {
        {"a first start", std::nullopt, "10.12.2026", "'' is not a valid date"},
        {"a remote date that is none", "01.12.2026", "soon", "'soon' is not a valid date"},
    };
    for (const Case& c : cases) {
        fs::remove(path("eplan-config_local.ini"));
        if (c.local) write("eplan-config_local.ini", localState(*c.local));
        const std::string published = config(c.remote);
        publish(published);
        const update::StartupResult result = run();
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_EQ(result.statusText, update::kDatePrefix + c.remote) << c.what;
        EXPECT_EQ(result.news, "Новости") << c.what;
        EXPECT_EQ(progress_.position(), 100 + static_cast<int>(published.size())) << c.what;
        EXPECT_TRUE(fs::is_directory(drive_.path() / pathOf(kPartsData))) << c.what;
        EXPECT_FALSE(result.terminate) << c.what;
        EXPECT_FALSE(exists("cmdrun.cmd")) << c.what;
    }
}

TEST_F(Startup, ADueUpdateReturnsBothScriptsLinesAndTheEnd) {
    startFtp();
    write("eplan-config_local.ini", localState("01.12.2026"));
    publish(config("10.12.2026"));
    const update::StartupResult result = run();
    EXPECT_FALSE(result.error.has_value()) << *result.error;
    EXPECT_TRUE(result.terminate);
    EXPECT_FALSE(result.updateFailure.has_value());
    EXPECT_EQ(result.cmdrun, (Lines{"del cmdupdate.cmd", "start VOLNOR_Eplan_DB.exe", "exit"}));
    EXPECT_EQ(result.cmdupdate,
              (Lines{"del VOLNOR_Eplan_DB.exe", "cd 7z\\", "7z.exe x -r ..\\update.7z -o..\\ -y",
                     "cd ..\\", "del update.7z", "start cmdrun.cmd", "exit"}));
    EXPECT_EQ(read("cmdupdate.cmd"), join(result.cmdupdate, "\r\n") + "\r\n");
    EXPECT_EQ(read("eplan-config_local.ini"), localState("10.12.2026"));
    EXPECT_EQ(started(), join({utf8Of(dir()), "--wait-pid", std::to_string(kPid),
                               utf8Of(path("cmdupdate.cmd")), ""},
                              "\n"));
    EXPECT_EQ(progress_.position(), 0);
}

TEST_F(Startup, AFailedUpdateGivesPanel0ItsTextAndAScriptThatCannotBeWrittenStopsStartUp) {
    write("eplan-config_local.ini", localState("01.12.2026"));
    const std::string published = config("10.12.2026");
    publish(published);

    // No FTP server: the connection fails, start-up goes on to its end.
    update::StartupResult result = run();
    EXPECT_FALSE(result.error.has_value()) << *result.error;
    ASSERT_TRUE(result.updateFailure.has_value());
    EXPECT_TRUE(result.updateFailure->starts_with(update::kConnectPrefix)) << *result.updateFailure;
    EXPECT_GT(result.updateFailure->size(), update::kConnectPrefix.size());
    EXPECT_FALSE(result.terminate);
    EXPECT_EQ(result.cmdrun.size(), 3u);
    EXPECT_EQ(result.cmdupdate, Lines{});
    EXPECT_EQ(progress_.position(), 0);

    // A folder in the update script's way: the error ends start-up after the download.
    startFtp();
    fs::create_directories(path("cmdupdate.cmd"));
    result = run();
    ASSERT_TRUE(result.error.has_value());
    EXPECT_TRUE(
        result.error->starts_with("Cannot create file \"" + utf8Of(path("cmdupdate.cmd")) + "\". "))
        << *result.error;
    EXPECT_FALSE(result.updateFailure.has_value());
    EXPECT_FALSE(result.terminate);
    EXPECT_EQ(result.cmdrun.size(), 3u);
    EXPECT_EQ(result.cmdupdate.size(), 7u);
    EXPECT_EQ(read("eplan-config_local.ini"), localState("01.12.2026"));
    EXPECT_EQ(progress_.position(), 100 + static_cast<int>(published.size()));
    EXPECT_FALSE(exists("started.txt"));
}

TEST_F(Startup, ABuildWithAKeyTakesOnlyTheArchiveItsMakerSigned) {
    const sign::KeyPair maker = sign::makeKeyPair();
    const std::string archive = goodArchive();
    const std::string good = signatureOf(maker, archive);
    std::string changed = archive;
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x55);
    std::string malformed = good;
    malformed[5] = '*';
    const std::string notMatching =
        "подпись архива обновления не совпадает: архив не от производителя или изменён";
    struct Case {
        const char* what;
        std::string key;
        std::string served;
        std::optional<std::string> signature;
        std::optional<std::string> reason;  // nothing: the update is applied
    };
    const Case cases[] = {
        {"the maker's signature", maker.publicKey, archive, good, std::nullopt},
        {"one byte of the archive changed", maker.publicKey, changed, good, notMatching},
        {"another archive's signature", maker.publicKey, archive,
         signatureOf(maker, sevenZip({{"VOLNOR_Eplan_DB", "another program"}})), notMatching},
        // Refused for its signature before 7-Zip would have found it no archive.
        {"no archive at all", maker.publicKey, "<html>not found</html>", good, notMatching},
        {"no SIGNATURE", maker.publicKey, archive, std::nullopt,
         "в конфигурации нет подписи архива обновления"},
        {"a malformed SIGNATURE", maker.publicKey, archive, malformed,
         "подпись архива обновления в конфигурации повреждена"},
        {"a build without a key", "", archive, std::nullopt, std::nullopt},
    };
    const std::string local = localState("01.12.2026");
    for (const Case& c : cases) {
        for (const char* name : {"cmdrun.cmd", "cmdupdate.cmd", "started.txt", "update.7z"})
            fs::remove(path(name));
        write("eplan-config_local.ini", local);
        publish(config("10.12.2026", "Новости", c.signature));
        startFtp(c.served);
        key_ = c.key;
        const update::StartupResult result = run();
        EXPECT_FALSE(result.error.has_value()) << c.what << ": " << *result.error;
        if (!c.reason) {
            EXPECT_FALSE(result.updateFailure.has_value())
                << c.what << ": " << *result.updateFailure;
            EXPECT_TRUE(result.terminate) << c.what;
            EXPECT_EQ(read("update.7z"), c.served) << c.what;
            EXPECT_EQ(read("eplan-config_local.ini"), localState("10.12.2026")) << c.what;
            EXPECT_FALSE(started().empty()) << c.what;
            continue;
        }
        EXPECT_EQ(result.updateFailure, update::kDownloadPrefix + *c.reason) << c.what;
        EXPECT_FALSE(result.terminate) << c.what;
        EXPECT_FALSE(exists("update.7z")) << c.what;
        EXPECT_FALSE(exists("cmdupdate.cmd")) << c.what;
        EXPECT_EQ(result.cmdupdate, Lines{}) << c.what;
        EXPECT_EQ(read("eplan-config_local.ini"), local) << c.what;
        EXPECT_FALSE(exists("started.txt")) << c.what;
        EXPECT_EQ(progress_.position(), 0) << c.what;
    }
}

TEST_F(Startup, TheProgramsFileIsSetAsideBeforeTheUpdateScriptStartsAndGoesAtTheNextStart) {
    // The stand-in interpreter notes whether the program's name was free when it started.
    write("cmd",
          "#!/bin/sh\n[ -e VOLNOR_Eplan_DB ] || touch name-free-at-start\n"
          "echo started > started.tmp; mv started.tmp started.txt\n");
    startFtp();
    program_ = path("VOLNOR_Eplan_DB");
    write("VOLNOR_Eplan_DB", "old program");
    write("eplan-config_local.ini", localState("01.12.2026"));
    publish(config("10.12.2026"));
    const update::StartupResult result = run();
    EXPECT_FALSE(result.error.has_value()) << *result.error;
    ASSERT_TRUE(result.terminate);
    EXPECT_EQ(started(), "started\n");
    EXPECT_TRUE(exists("name-free-at-start"));
    EXPECT_FALSE(exists("VOLNOR_Eplan_DB"));
    EXPECT_EQ(read("VOLNOR_Eplan_DB.old"), "old program");
    // The script does not change the program here: the next start finds the update applied and
    // removes what was set aside, as it removes the restart script.
    write("VOLNOR_Eplan_DB", "new program");
    EXPECT_FALSE(run().terminate);
    EXPECT_FALSE(exists("VOLNOR_Eplan_DB.old"));
    EXPECT_EQ(read("VOLNOR_Eplan_DB"), "new program");
}

TEST_F(Startup, AnUpdateThatCannotStartIsUndoneAndStopsStartUp) {
    startFtp();
    const std::string local = "; mine\r\n" + localState("01.12.2026");
    const std::string published = config("10.12.2026");
    publish(published);
    program_ = path("VOLNOR_Eplan_DB");
    struct Case {
        const char* what;
        bool failStart;
        bool folderInTheWay;  // of the name the program's file is set aside under
        std::string error;
    };
    const Case cases[] = {
        {"an update script that cannot be started", true, false,
         "Не удалось запустить сценарий обновления «" + utf8Of(path("cmdupdate.cmd")) +
             "»: обновление не выполнено"},
        {"a program's file that cannot be set aside", false, true,
         "Не удалось переименовать файл программы «" + utf8Of(program_) + "» в «" +
             utf8Of(path("VOLNOR_Eplan_DB.old")) + "» ("},
    };
    for (const Case& c : cases) {
        write("eplan-config_local.ini", local);
        write("VOLNOR_Eplan_DB", "old program");
        fs::remove_all(path("VOLNOR_Eplan_DB.old"));
        if (c.folderInTheWay) write("VOLNOR_Eplan_DB.old/x", "");
        failStart_ = c.failStart;
        const update::StartupResult result = run();
        ASSERT_TRUE(result.error.has_value()) << c.what;
        EXPECT_TRUE(result.error->starts_with(c.error)) << c.what << ": " << *result.error;
        EXPECT_TRUE(result.error->ends_with("обновление не выполнено")) << c.what;
        EXPECT_FALSE(result.terminate) << c.what;
        EXPECT_FALSE(result.updateFailure.has_value()) << c.what;
        EXPECT_FALSE(exists("cmdupdate.cmd")) << c.what;
        EXPECT_FALSE(exists("update.7z")) << c.what;
        EXPECT_FALSE(exists("started.txt")) << c.what;
        // The program keeps its name; the date written before the start is taken back, the
        // file otherwise as it was.
        EXPECT_EQ(read("VOLNOR_Eplan_DB"), "old program") << c.what;
        EXPECT_EQ(fs::is_directory(path("VOLNOR_Eplan_DB.old")), c.folderInTheWay) << c.what;
        EXPECT_EQ(read("eplan-config_local.ini"), local) << c.what;
        EXPECT_EQ(progress_.position(), 100 + static_cast<int>(published.size())) << c.what;
    }

    // So the next start tries again.
    fs::remove_all(path("VOLNOR_Eplan_DB.old"));
    failStart_ = false;
    EXPECT_TRUE(run().terminate);
    EXPECT_EQ(read("eplan-config_local.ini"), "; mine\r\n" + localState("10.12.2026"));
}

}  // namespace
}  // namespace volnor::test

// Start-up through the window: the configuration fetch, the update check and the self-update,
// with the real HTTPS and FTP test servers in a throwaway program directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "buildconfig.h"
#include "platform/ansi_codec.h"
#include "platform/text.h"
#include "support/files.h"
#include "support/recorders.h"
#include "support/servers.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"
#include "update/self_update.h"
#include "update/update_dir.h"

namespace volnor::test {
namespace {

using ui::TForm1;
using Texts = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr std::chrono::year_month_day kToday{std::chrono::year(2026), std::chrono::December,
                                             std::chrono::day(10)};
constexpr std::int64_t kPid = 4242;
const std::string kRestartBytes = "del cmdupdate.cmd\r\nstart VOLNOR_Eplan_DB.exe\r\nexit\r\n";
const std::string kUpdateBytes =
    "del VOLNOR_Eplan_DB.exe\r\ncd 7z\\\r\n7z.exe x -r ..\\update.7z -o..\\ -y\r\ncd ..\\\r\n"
    "del update.7z\r\nstart cmdrun.cmd\r\nexit\r\n";

// The remote configuration as the maker publishes it, in the ANSI code page.
std::string config(const std::string& date, const std::string& news = "Новости",
                   const std::string& signature = "") {
    std::string text = "[EPLAN]\r\nDATE=" + date + "\r\nMESS=" + news + "\r\n";
    if (!signature.empty()) text += "SIGNATURE=" + signature + "\r\n";
    return *utf8ToAnsi(text);
}

std::string localState(const std::string& date) { return "[Eplan]\r\nDATEUPDATE=" + date + "\r\n"; }

// `count` times the letter "н", one byte each in the ANSI code page.
std::string letters(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "н";
    return text;
}

bool contains(const Texts& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class Startup : public UpdateDirTest {
protected:
    void SetUp() override {
        UpdateDirTest::SetUp();
        fs::create_directories(web_.file("f/8270"));
        fs::create_directories(ftp_.file("eplan"));
        // A stand-in interpreter that records how it was started.
        write("cmd",
              "#!/bin/sh\nprintf '%s\\n' \"$(pwd)\" \"$@\" > started.tmp\n"
              "mv started.tmp started.txt\n");
        fs::permissions(path("cmd"), fs::perms::owner_all);
    }
    void TearDown() override {
        form_.reset();
        UpdateDirTest::TearDown();
    }

    void publish(const std::string& bytes) { writeFile(web_.file("f/8270/eplan-config.ini"), bytes); }
    void publishArchive(const std::string& bytes) { writeFile(ftp_.file("eplan/update.7z"), bytes); }
    // The update archive of a good build: the program at its top level.
    std::string goodArchive() const {
        return sevenZip({{"VOLNOR_Eplan_DB", "new program"}, {"data/readme.txt", "new"}});
    }

    void startServers(FtpServer::Mode mode = FtpServer::Mode::Normal) {
        https_ = std::make_unique<HttpsServer>(web_.path());
        ftpServer_ = std::make_unique<FtpServer>(ftp_.path(), mode);
    }
    Texts servers() const {
        Texts both = https_->connectTo();
        for (const std::string& entry : ftpServer_->connectTo()) both.push_back(entry);
        return both;
    }
    // The maker's FTP host on a port where nothing listens.
    Texts noFtp() const {
        Texts list = https_->connectTo();
        list.push_back(std::string(buildconfig::kFtpHost) + ":2121:127.0.0.1:1");
        return list;
    }

    TForm1& start(const Texts& connectTo) {
        form_.reset();
        dialogs_.shown.clear();
        update::Settings settings;
        settings.dateFormat = russian();
        settings.today = [] { return kToday; };
        settings.programPid = kPid;
        settings.updateKey = key_;
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), dir(),
                                         connectTo, settings);
        return *form_;
    }

    // What the stand-in interpreter recorded; it runs detached, so it may come a moment later.
    std::string started() const {
        for (int i = 0; i < 1000 && !exists("started.txt"); ++i) std::this_thread::sleep_for(10ms);
        return read("started.txt");
    }

    std::string panel(int index) const { return ui::str(form_->StatusBar1->panelText(index)); }
    std::string errors() const { return join(dialogs_.texts(), "\n"); }
    // The single error report of start-up.
    void expectReport(const std::string& text) const {
        ASSERT_EQ(dialogs_.shown.size(), 1u) << errors();
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::ErrorReport);
        EXPECT_EQ(dialogs_.shown[0].title, "ui_update_startup_test");
        EXPECT_EQ(dialogs_.shown[0].text, text);
    }
    // Nothing of an update was applied or started.
    void expectNoUpdate(const std::string& local) const {
        EXPECT_FALSE(exists("cmdupdate.cmd"));
        EXPECT_FALSE(exists("update.7z"));
        EXPECT_FALSE(exists("started.txt"));
        EXPECT_EQ(read("eplan-config_local.ini"), local);
        EXPECT_FALSE(form_->terminateRequested());
    }

    TempDir drive_;
    TempDir web_;
    TempDir ftp_;
    std::unique_ptr<HttpsServer> https_;
    std::unique_ptr<FtpServer> ftpServer_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
    // The build's key: none, as in a build without VOLNOR_UPDATE_KEY, unless a test sets one.
    std::string key_;
};

TEST_F(Startup, AnUpdateIsDueOnlyForALaterRemoteDate) {
    startServers();
    struct Case {
        const char* local;
        const char* remote;
        bool due;
    };
    const Case cases[] = {
        {"10.12.2026", "10.12.2026", false},
        {"09.12.2026", "10.12.2026", true},
        {"11.12.2026", "10.12.2026", false},
    };
    for (const Case& c : cases) {
        fs::remove(path("cmdrun.cmd"));
        write("eplan-config_local.ini", localState(c.local));
        publish(config(c.remote, "Новые серии"));
        TForm1& form = start(noFtp());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors();
        EXPECT_EQ(panel(1), update::kDatePrefix + c.remote);
        EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Новые серии"));
        EXPECT_EQ(read("eplan-config.ini"), config(c.remote, "Новые серии"));
        EXPECT_EQ(exists("cmdrun.cmd"), c.due) << c.local << " " << c.remote;
        EXPECT_EQ(panel(0).starts_with(update::kConnectPrefix), c.due) << panel(0);
        EXPECT_EQ(form.ProgressBar1->value(), 0);
        form.show();
        EXPECT_FALSE(form.Memo1->isVisible());
    }
}

TEST_F(Startup, AFirstStartWithoutTheLocalStateFileReportsAnEmptyDateAndUpdatesNothing) {
    startServers();
    publish(config("10.12.2026"));
    TForm1& form = start(servers());
    expectReport("'' is not a valid date.");
    EXPECT_EQ(panel(1), update::kDatePrefix + "10.12.2026");
    EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Новости"));
    EXPECT_FALSE(exists("cmdrun.cmd"));
    EXPECT_TRUE(ftpServer_->commands().empty());
    EXPECT_FALSE(form.terminateRequested());
    form.show();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Startup, WithoutNetworkOrCopyThePanelHoldsThePrefixAndTheNewsNothing) {
    write("eplan-config_local.ini", localState("01.12.2026"));
    TForm1& form = start({});
    expectReport("'' is not a valid date.");
    EXPECT_EQ(panel(1), update::kDatePrefix);
    EXPECT_EQ(form.Memo1->toPlainText(), QString());
    EXPECT_FALSE(exists("eplan-config.ini"));
    EXPECT_EQ(form.ProgressBar1->value(), 100);
}

TEST_F(Startup, AfterAFailedParseTheBarStandsAt100PlusTheConfigurationsBytes) {
    startServers();
    write("eplan-config_local.ini", localState("01.12.2026"));
    struct Case {
        std::size_t newsLength;
        int position;
    };
    // The configuration's lines around MESS take 27 bytes; DATE is not a date. From 39900
    // bytes on, the bar is full.
    const Case cases[] = {{100, 227}, {39872, 39999}, {39873, 40000}, {50000, 40000}};
    for (const Case& c : cases) {
        const std::string bytes = config("soon", letters(c.newsLength));
        ASSERT_EQ(bytes.size(), 27 + c.newsLength);
        publish(bytes);
        TForm1& form = start(servers());
        expectReport("'soon' is not a valid date.");
        EXPECT_EQ(form.ProgressBar1->value(), c.position) << c.newsLength;
        // The news are cut after the 2047th character.
        EXPECT_EQ(form.Memo1->toPlainText(),
                  QString(static_cast<qsizetype>(std::min<std::size_t>(c.newsLength, 2047)), u'н'));
    }
}

TEST_F(Startup, AnotherCurrentDirectoryGetsTheCopyWhileTheExecutablesDecides) {
    startServers();
    const TempDir other;
    write("eplan-config_local.ini", localState("01.12.2026"));
    write("eplan-config.ini", config("01.12.2026", "Старые"));
    publish(config("10.12.2026"));
    const CurrentDir inOther(other.path());
    TForm1& form = start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors();
    EXPECT_EQ(panel(1), update::kDatePrefix + "01.12.2026");
    EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Старые"));
    EXPECT_EQ(readFile(other.file("eplan-config.ini")), config("10.12.2026"));
    EXPECT_EQ(read("eplan-config.ini"), config("01.12.2026", "Старые"));
    EXPECT_FALSE(fs::exists(other.file("cmdrun.cmd")));
    EXPECT_TRUE(ftpServer_->commands().empty());
}

TEST_F(Startup, AFetchThatFailsKeepsTheCopyAndAnErrorPageReplacesIt) {
    startServers();
    write("eplan-config_local.ini", localState("01.12.2026"));
    const std::string older = config("01.12.2026", "Старые");
    write("eplan-config.ini", older);

    // Nothing published: the server answers 404, and the older copy decides.
    start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors();
    EXPECT_EQ(read("eplan-config.ini"), older);
    EXPECT_EQ(panel(1), update::kDatePrefix + "01.12.2026");

    // An error page with a success status is what the server sent: it is saved and read.
    const std::string page = "<html><body><h1>Сайт на обслуживании</h1></body></html>";
    publish(page);
    TForm1& form = start(servers());
    expectReport("'' is not a valid date.");
    EXPECT_EQ(read("eplan-config.ini"), page);
    EXPECT_EQ(panel(1), update::kDatePrefix);
    EXPECT_EQ(form.Memo1->toPlainText(), QString());
}

// Whoever answers in the maker's place without the maker's certificate decides nothing: the
// fetch fails silently and the older copy stays.
TEST_F(Startup, AServerWhoseCertificateIsRefusedIsAFetchThatFails) {
    https_ = std::make_unique<HttpsServer>(web_.path(), HttpsServer::Cert::UnknownCa);
    ftpServer_ = std::make_unique<FtpServer>(ftp_.path());
    const std::string local = localState("01.12.2026");
    write("eplan-config_local.ini", local);
    const std::string older = config("01.12.2026", "Старые");
    write("eplan-config.ini", older);
    publish(config("10.12.2026", "Чужие"));
    publishArchive(goodArchive());

    TForm1& form = start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors();
    EXPECT_EQ(read("eplan-config.ini"), older);
    EXPECT_EQ(panel(1), update::kDatePrefix + "01.12.2026");
    EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Старые"));
    EXPECT_TRUE(https_->requests().empty());
    EXPECT_TRUE(ftpServer_->commands().empty());
    expectNoUpdate(local);
}

TEST_F(Startup, ADueUpdateDownloadsChecksWritesBothScriptsRecordsTheDateAndEnds) {
    startServers();
    const std::string archive = goodArchive();
    publishArchive(archive);
    struct Case {
        const char* remote;
        const char* recorded;  // the later of today (10.12.2026) and the remote date
    };
    const Case cases[] = {{"09.12.2026", "10.12.2026"}, {"24.12.2026", "24.12.2026"}};
    for (const Case& c : cases) {
        for (const char* name : {"cmdrun.cmd", "cmdupdate.cmd", "started.txt"}) fs::remove(path(name));
        write("update.7z", "an older archive");
        write("eplan-config_local.ini", "; mine\r\n" + localState("01.12.2026"));
        publish(config(c.remote));

        TForm1& form = start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors();
        EXPECT_EQ(read("cmdrun.cmd"), kRestartBytes);
        EXPECT_EQ(read("cmdupdate.cmd"), kUpdateBytes);
        EXPECT_EQ(form.cmdrun, update::restartScript());
        EXPECT_EQ(form.cmdupdate, update::updateScript());
        EXPECT_EQ(read("update.7z"), archive);
        EXPECT_EQ(read("eplan-config_local.ini"), "; mine\r\n" + localState(c.recorded));
        // The interpreter was started in the program's directory, to wait for this process.
        EXPECT_EQ(started(), join({utf8Of(dir()), "--wait-pid", std::to_string(kPid),
                                   utf8Of(path("cmdupdate.cmd")), ""},
                                  "\n"));
        EXPECT_TRUE(form.terminateRequested());
        EXPECT_EQ(panel(0), "");
        EXPECT_EQ(form.ProgressBar1->value(), 0);
        EXPECT_TRUE(contains(ftpServer_->commands(), "RETR /eplan/update.7z"))
            << join(ftpServer_->commands(), ",");

        // The next start, with the same configuration, finds the update applied: also one
        // published for a day still to come is not downloaded again.
        fs::remove(path("cmdrun.cmd"));
        start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors();
        EXPECT_FALSE(exists("cmdrun.cmd")) << c.remote;
        EXPECT_FALSE(form_->terminateRequested());
    }
}

TEST_F(Startup, AFailedConnectionOrDownloadLeavesItsTextAndTheRestartScriptOnly) {
    const std::string local = localState("01.12.2026");
    struct Case {
        const char* what;
        FtpServer::Mode mode;
        bool reachable;
        bool archive;
        const std::string& prefix;
    };
    const Case cases[] = {
        {"unreachable", FtpServer::Mode::Normal, false, true, update::kConnectPrefix},
        {"log-in refused", FtpServer::Mode::RefuseLogin, true, true, update::kConnectPrefix},
        {"no archive", FtpServer::Mode::Normal, true, false, update::kDownloadPrefix},
        {"download stops in the middle", FtpServer::Mode::StallData, true, true,
         update::kDownloadPrefix},
    };
    for (const Case& c : cases) {
        startServers(c.mode);
        fs::remove(ftp_.file("eplan/update.7z"));
        if (c.archive) publishArchive(goodArchive() + std::string(20000, 'p'));
        write("eplan-config_local.ini", local);
        publish(config("10.12.2026"));
        TForm1& form = start(c.reachable ? servers() : noFtp());
        EXPECT_TRUE(dialogs_.shown.empty()) << c.what << ": " << errors();
        EXPECT_TRUE(panel(0).starts_with(c.prefix)) << c.what << ": " << panel(0);
        EXPECT_GT(panel(0).size(), c.prefix.size()) << c.what << ": the error's text";
        EXPECT_EQ(read("cmdrun.cmd"), kRestartBytes) << c.what;
        expectNoUpdate(local);
        EXPECT_EQ(form.ProgressBar1->value(), 0);
    }

    // The next start removes the restart script; with the update still due it is tried again.
    start(noFtp());
    EXPECT_TRUE(exists("cmdrun.cmd"));
    EXPECT_TRUE(panel(0).starts_with(update::kConnectPrefix));
    write("eplan-config_local.ini", localState("10.12.2026"));
    start(noFtp());
    EXPECT_FALSE(exists("cmdrun.cmd"));
    EXPECT_EQ(panel(0), "");
}

TEST_F(Startup, AnArchiveThatWouldNotGiveAWorkingProgramBackIsAFailedDownload) {
    startServers();
    fs::create_directories(outside("outside"));
    const fs::path outsideDir = fs::absolute(outside("outside"));
    const std::string good = goodArchive();
    const std::string program = "new program";
    struct Case {
        const char* what;
        std::string archive;
        const char* reason;  // a part of the text in panel 0
    };
    const Case cases[] = {
        {"cut short", good.substr(0, good.size() / 2), "повреждён"},
        {"no archive at all", "<html>not found</html>", "повреждён"},
        {"damaged inside",
         [&] {
             std::string b = good;
             b[b.size() / 2] = static_cast<char>(b[b.size() / 2] ^ 0x55);
             b[40] = static_cast<char>(b[40] ^ 0x55);
             return b;
         }(),
         "повреждён"},
        {"without the program", sevenZip({{"data/readme.txt", "new"}}), "нет файла программы"},
        {"the program only in a folder", sevenZip({{"bin/VOLNOR_Eplan_DB", program}}),
         "нет файла программы"},
        {"a file over the link to 7-Zip",
         sevenZip({{"VOLNOR_Eplan_DB", program}, {"7z/7z.exe", "not 7-Zip"}}), "7z/7z.exe"},
        {"a link among the files",
         [&] {
             const TempDir stage;
             writeFile(stage.file("VOLNOR_Eplan_DB"), program);
             fs::create_directory_symlink(outsideDir, stage.file("out"));
             return sevenZipOf(stage.path(), {"-snl"});
         }(),
         "ссылк"},
        {"a path upwards", zip({{"VOLNOR_Eplan_DB", program}, {"../outside/up.txt", "x"}}),
         "за пределами"},
        {"an absolute path",
         zip({{"VOLNOR_Eplan_DB", program}, {utf8Of(outsideDir) + "/abs.txt", "x"}}),
         "за пределами"},
    };
    const std::string local = localState("01.12.2026");
    for (const Case& c : cases) {
        publishArchive(c.archive);
        write("eplan-config_local.ini", local);
        publish(config("10.12.2026"));
        start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << c.what << ": " << errors();
        EXPECT_TRUE(panel(0).starts_with(update::kDownloadPrefix)) << c.what;
        EXPECT_NE(panel(0).find(c.reason), std::string::npos) << c.what << ": " << panel(0);
        expectNoUpdate(local);
        EXPECT_TRUE(sevenZipIntact()) << c.what;
        EXPECT_TRUE(fs::is_symlink(path("7z/7z.exe"))) << c.what;
        EXPECT_TRUE(fs::is_empty(outsideDir)) << c.what;
    }
}

TEST_F(Startup, AScriptThatCannotBeWrittenEndsStartUpWithTheErrorReport) {
    publishArchive(goodArchive());
    const std::string local = localState("01.12.2026");
    struct Case {
        const char* script;
        bool connects;  // the FTP steps ran before the failure
    };
    const Case cases[] = {{"cmdrun.cmd", false}, {"cmdupdate.cmd", true}};
    for (const Case& c : cases) {
        startServers();
        const fs::path blocked = path(c.script);
        ASSERT_TRUE(fs::create_directories(blocked));  // a folder in the script's way
        write("eplan-config_local.ini", local);
        publish(config("10.12.2026"));
        TForm1& form = start(servers());
        ASSERT_EQ(dialogs_.shown.size(), 1u) << errors();
        EXPECT_TRUE(
            dialogs_.shown[0].text.starts_with("Cannot create file \"" + utf8Of(blocked) + "\". "))
            << dialogs_.shown[0].text;
        EXPECT_EQ(contains(ftpServer_->commands(), "RETR /eplan/update.7z"), c.connects)
            << c.script;
        EXPECT_EQ(read("eplan-config_local.ini"), local) << c.script;
        EXPECT_FALSE(exists("started.txt"));
        EXPECT_FALSE(form.terminateRequested());
        fs::remove_all(blocked);
        fs::remove(path("cmdrun.cmd"));
    }
}

TEST_F(Startup, ABuildWithAKeyShowsARefusedSignatureInPanel0AndAppliesTheSignedArchive) {
    startServers();
    const sign::KeyPair maker = sign::makeKeyPair();
    key_ = maker.publicKey;
    const std::string archive = goodArchive();
    publishArchive(archive);
    const std::string local = localState("01.12.2026");

    write("eplan-config_local.ini", local);
    publish(config("10.12.2026", "Новости", signatureOf(maker, archive + "x")));
    start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors();
    EXPECT_EQ(panel(0), update::kDownloadPrefix +
                            "подпись архива обновления не совпадает: архив не от производителя "
                            "или изменён");
    expectNoUpdate(local);

    publish(config("10.12.2026", "Новости", signatureOf(maker, archive)));
    TForm1& form = start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors();
    EXPECT_EQ(panel(0), "");
    EXPECT_EQ(read("update.7z"), archive);
    EXPECT_EQ(read("cmdupdate.cmd"), kUpdateBytes);
    EXPECT_FALSE(started().empty());
    EXPECT_TRUE(form.terminateRequested());
}

TEST_F(Startup, AnUpdateScriptThatCannotBeStartedIsReportedAndTheProgramGoesOn) {
    startServers();
    publishArchive(goodArchive());
    fs::remove(path("cmd"));  // no interpreter to start the update script with
    const std::string local = localState("01.12.2026");
    write("eplan-config_local.ini", local);
    publish(config("10.12.2026"));
    TForm1& form = start(servers());
    expectReport("Не удалось запустить сценарий обновления «" + utf8Of(path("cmdupdate.cmd")) +
                 "»: обновление не выполнено.");
    expectNoUpdate(local);
    EXPECT_EQ(read("cmdrun.cmd"), kRestartBytes);
    form.show();
    EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace volnor::test

// Start-up through the window: the configuration fetch, the update check and the self-update,
// with the real HTTPS and FTP test servers in a throwaway program directory.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "buildconfig.h"
#include "platform/ansi.h"
#include "support/recorders.h"
#include "support/servers.h"
#include "ui/Unit1.h"
#include "ui/error_report.h"
#include "update/self_update.h"
#include "update/update_dir.h"

namespace volnor::test {
namespace {

using ui::TForm1;

const QDate kToday(2026, 12, 10);
constexpr qint64 kPid = 4242;
const QByteArray kRestartBytes = "del cmdupdate.cmd\r\nstart VOLNOR_Eplan_DB.exe\r\nexit\r\n";
const QByteArray kUpdateBytes =
    "del VOLNOR_Eplan_DB.exe\r\ncd 7z\\\r\n7z.exe x -r ..\\update.7z -o..\\ -y\r\ncd ..\\\r\n"
    "del update.7z\r\nstart cmdrun.cmd\r\nexit\r\n";

QByteArray config(const QString& date, const QString& news = QStringLiteral("Новости")) {
    return *toAnsi(QStringLiteral("[EPLAN]\r\nDATE=%1\r\nMESS=%2\r\n").arg(date, news));
}

QByteArray localState(const char* date) {
    return QByteArray("[Eplan]\r\nDATEUPDATE=") + date + "\r\n";
}

class Startup : public UpdateDirTest {
protected:
    void SetUp() override {
        UpdateDirTest::SetUp();
        ASSERT_TRUE(drive_.isValid() && web_.isValid() && ftp_.isValid());
        ASSERT_TRUE(QDir().mkpath(web_.filePath(QStringLiteral("f/8270"))));
        ASSERT_TRUE(QDir().mkpath(ftp_.filePath(QStringLiteral("eplan"))));
        // A stand-in interpreter that records how it was started.
        write(QStringLiteral("cmd"),
              "#!/bin/sh\nprintf '%s\\n' \"$(pwd)\" \"$@\" > started.tmp\n"
              "mv started.tmp started.txt\n");
        QFile(path(QStringLiteral("cmd")))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
    }
    void TearDown() override {
        form_.reset();
        UpdateDirTest::TearDown();
    }

    void publish(const QByteArray& bytes) {
        QFile f(web_.filePath(QStringLiteral("f/8270/eplan-config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void publishArchive(const QByteArray& bytes) {
        QFile f(ftp_.filePath(QStringLiteral("eplan/update.7z")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // The update archive of a good build: the program at its top level.
    QByteArray goodArchive() const {
        return sevenZip({{QStringLiteral("VOLNOR_Eplan_DB"), "new program"},
                         {QStringLiteral("data/readme.txt"), "new"}});
    }

    void startServers(FtpServer::Mode mode = FtpServer::Mode::Normal) {
        https_ = std::make_unique<HttpsServer>(web_.path());
        ftpServer_ = std::make_unique<FtpServer>(ftp_.path(), mode);
    }
    QStringList servers() const { return https_->connectTo() + ftpServer_->connectTo(); }
    // The maker's FTP host on a port where nothing listens.
    QStringList noFtp() const {
        return https_->connectTo() +
               QStringList{QStringLiteral("%1:2121:127.0.0.1:1")
                               .arg(QString::fromUtf8(buildconfig::kFtpHost))};
    }

    TForm1& start(const QStringList& connectTo) {
        form_.reset();
        dialogs_.shown.clear();
        update::Settings settings;
        settings.dateFormat = russian();
        settings.today = [] { return kToday; };
        settings.programPid = kPid;
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), dir().path(),
                                         connectTo, settings);
        return *form_;
    }

    // What the stand-in interpreter recorded; it runs detached, so it may come a moment later.
    QString started() const {
        for (int i = 0; i < 1000 && !exists(QStringLiteral("started.txt")); ++i)
            QThread::msleep(10);
        return QString::fromUtf8(read(QStringLiteral("started.txt")));
    }

    QString panel(int index) const { return form_->StatusBar1->panelText(index); }
    QString errors() const { return dialogs_.texts().join(QLatin1Char('\n')); }
    // The single error report of start-up.
    void expectReport(const QString& text) const {
        ASSERT_EQ(dialogs_.shown.size(), 1u) << errors().toStdString();
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::ErrorReport);
        EXPECT_EQ(dialogs_.shown[0].title,
                  ui::applicationTitle(QCoreApplication::applicationFilePath()));
        EXPECT_EQ(dialogs_.shown[0].text, text);
    }
    // Nothing of an update was applied or started.
    void expectNoUpdate(const QByteArray& local) const {
        EXPECT_FALSE(exists(QStringLiteral("cmdupdate.cmd")));
        EXPECT_FALSE(exists(QStringLiteral("update.7z")));
        EXPECT_FALSE(exists(QStringLiteral("started.txt")));
        EXPECT_EQ(read(QStringLiteral("eplan-config_local.ini")), local);
        EXPECT_FALSE(form_->terminateRequested());
    }

    QTemporaryDir drive_;
    QTemporaryDir web_;
    QTemporaryDir ftp_;
    std::unique_ptr<HttpsServer> https_;
    std::unique_ptr<FtpServer> ftpServer_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
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
        QFile::remove(path(QStringLiteral("cmdrun.cmd")));
        write(QStringLiteral("eplan-config_local.ini"), localState(c.local));
        publish(config(QString::fromLatin1(c.remote), QStringLiteral("Новые серии")));
        TForm1& form = start(noFtp());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors().toStdString();
        EXPECT_EQ(panel(1), update::kDatePrefix + QString::fromLatin1(c.remote));
        EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Новые серии"));
        EXPECT_EQ(read(QStringLiteral("eplan-config.ini")), config(c.remote, "Новые серии"));
        EXPECT_EQ(exists(QStringLiteral("cmdrun.cmd")), c.due) << c.local << " " << c.remote;
        EXPECT_EQ(panel(0).startsWith(update::kConnectPrefix), c.due) << panel(0).toStdString();
        EXPECT_EQ(form.ProgressBar1->value(), 0);
        form.show();
        EXPECT_FALSE(form.Memo1->isVisible());
    }
}

TEST_F(Startup, AFirstStartWithoutTheLocalStateFileReportsAnEmptyDateAndUpdatesNothing) {
    startServers();
    publish(config(QStringLiteral("10.12.2026")));
    TForm1& form = start(servers());
    expectReport(QStringLiteral("'' is not a valid date."));
    EXPECT_EQ(panel(1), update::kDatePrefix + QStringLiteral("10.12.2026"));
    EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Новости"));
    EXPECT_FALSE(exists(QStringLiteral("cmdrun.cmd")));
    EXPECT_TRUE(ftpServer_->commands().isEmpty());
    EXPECT_FALSE(form.terminateRequested());
    form.show();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Startup, WithoutNetworkOrCopyThePanelHoldsThePrefixAndTheNewsNothing) {
    write(QStringLiteral("eplan-config_local.ini"), localState("01.12.2026"));
    TForm1& form = start({});
    expectReport(QStringLiteral("'' is not a valid date."));
    EXPECT_EQ(panel(1), update::kDatePrefix);
    EXPECT_EQ(form.Memo1->toPlainText(), QString());
    EXPECT_FALSE(exists(QStringLiteral("eplan-config.ini")));
    EXPECT_EQ(form.ProgressBar1->value(), 100);
}

TEST_F(Startup, AfterAFailedParseTheBarStandsAt100PlusTheConfigurationsBytes) {
    startServers();
    write(QStringLiteral("eplan-config_local.ini"), localState("01.12.2026"));
    struct Case {
        qsizetype newsLength;
        int position;
    };
    // The configuration's lines around MESS take 27 bytes; DATE is not a date. From 39900
    // bytes on, the bar is full.
    const Case cases[] = {{100, 227}, {39872, 39999}, {39873, 40000}, {50000, 40000}};
    for (const Case& c : cases) {
        const QByteArray bytes = config(QStringLiteral("soon"), QString(c.newsLength, u'н'));
        ASSERT_EQ(bytes.size(), 27 + c.newsLength);
        publish(bytes);
        TForm1& form = start(servers());
        expectReport(QStringLiteral("'soon' is not a valid date."));
        EXPECT_EQ(form.ProgressBar1->value(), c.position) << c.newsLength;
        // The news are cut after the 2047th character.
        EXPECT_EQ(form.Memo1->toPlainText(),
                  QString(std::min<qsizetype>(c.newsLength, 2047), u'н'));
    }
}

TEST_F(Startup, AnotherCurrentDirectoryGetsTheCopyWhileTheExecutablesDecides) {
    startServers();
    QTemporaryDir other;
    write(QStringLiteral("eplan-config_local.ini"), localState("01.12.2026"));
    write(QStringLiteral("eplan-config.ini"), config(QStringLiteral("01.12.2026"), "Старые"));
    publish(config(QStringLiteral("10.12.2026")));
    ASSERT_TRUE(QDir::setCurrent(other.path()));
    TForm1& form = start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors().toStdString();
    EXPECT_EQ(panel(1), update::kDatePrefix + QStringLiteral("01.12.2026"));
    EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("Старые"));
    QFile copy(other.filePath(QStringLiteral("eplan-config.ini")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), config(QStringLiteral("10.12.2026")));
    EXPECT_EQ(read(QStringLiteral("eplan-config.ini")),
              config(QStringLiteral("01.12.2026"), "Старые"));
    EXPECT_FALSE(QFileInfo::exists(other.filePath(QStringLiteral("cmdrun.cmd"))));
    EXPECT_TRUE(ftpServer_->commands().isEmpty());
}

TEST_F(Startup, AFetchThatFailsKeepsTheCopyAndAnErrorPageReplacesIt) {
    startServers();
    write(QStringLiteral("eplan-config_local.ini"), localState("01.12.2026"));
    const QByteArray older = config(QStringLiteral("01.12.2026"), "Старые");
    write(QStringLiteral("eplan-config.ini"), older);

    // Nothing published: the server answers 404, and the older copy decides.
    start(servers());
    EXPECT_TRUE(dialogs_.shown.empty()) << errors().toStdString();
    EXPECT_EQ(read(QStringLiteral("eplan-config.ini")), older);
    EXPECT_EQ(panel(1), update::kDatePrefix + QStringLiteral("01.12.2026"));

    // An error page with a success status is what the server sent: it is saved and read.
    const QByteArray page = "<html><body><h1>Сайт на обслуживании</h1></body></html>";
    publish(page);
    TForm1& form = start(servers());
    expectReport(QStringLiteral("'' is not a valid date."));
    EXPECT_EQ(read(QStringLiteral("eplan-config.ini")), page);
    EXPECT_EQ(panel(1), update::kDatePrefix);
    EXPECT_EQ(form.Memo1->toPlainText(), QString());
}

TEST_F(Startup, ADueUpdateDownloadsChecksWritesBothScriptsRecordsTheDateAndEnds) {
    startServers();
    const QByteArray archive = goodArchive();
    publishArchive(archive);
    struct Case {
        const char* remote;
        const char* recorded;  // the later of today (10.12.2026) and the remote date
    };
    const Case cases[] = {{"09.12.2026", "10.12.2026"}, {"24.12.2026", "24.12.2026"}};
    for (const Case& c : cases) {
        for (const char* name : {"cmdrun.cmd", "cmdupdate.cmd", "started.txt"})
            QFile::remove(path(QString::fromLatin1(name)));
        write(QStringLiteral("update.7z"), "an older archive");
        write(QStringLiteral("eplan-config_local.ini"), "; mine\r\n" + localState("01.12.2026"));
        publish(config(QString::fromLatin1(c.remote)));

        TForm1& form = start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors().toStdString();
        EXPECT_EQ(read(QStringLiteral("cmdrun.cmd")), kRestartBytes);
        EXPECT_EQ(read(QStringLiteral("cmdupdate.cmd")), kUpdateBytes);
        EXPECT_EQ(form.cmdrun, update::restartScript());
        EXPECT_EQ(form.cmdupdate, update::updateScript());
        EXPECT_EQ(read(QStringLiteral("update.7z")), archive);
        EXPECT_EQ(read(QStringLiteral("eplan-config_local.ini")),
                  "; mine\r\n" + localState(c.recorded));
        // The interpreter was started in the program's directory, to wait for this process.
        EXPECT_EQ(started(),
                  QStringList({dir().path(), QStringLiteral("--wait-pid"), QString::number(kPid),
                               path(QStringLiteral("cmdupdate.cmd")), QString()})
                      .join(QLatin1Char('\n')));
        EXPECT_TRUE(form.terminateRequested());
        EXPECT_EQ(panel(0), QString());
        EXPECT_EQ(form.ProgressBar1->value(), 0);
        EXPECT_TRUE(ftpServer_->commands().contains(QStringLiteral("RETR /eplan/update.7z")))
            << ftpServer_->commands().join(QLatin1Char(',')).toStdString();

        // The next start, with the same configuration, finds the update applied: also one
        // published for a day still to come is not downloaded again.
        QFile::remove(path(QStringLiteral("cmdrun.cmd")));
        start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << errors().toStdString();
        EXPECT_FALSE(exists(QStringLiteral("cmdrun.cmd"))) << c.remote;
        EXPECT_FALSE(form_->terminateRequested());
    }
}

TEST_F(Startup, AFailedConnectionOrDownloadLeavesItsTextAndTheRestartScriptOnly) {
    const QByteArray local = localState("01.12.2026");
    struct Case {
        const char* what;
        FtpServer::Mode mode;
        bool reachable;
        bool archive;
        const QString& prefix;
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
        QFile::remove(ftp_.filePath(QStringLiteral("eplan/update.7z")));
        if (c.archive) publishArchive(goodArchive() + QByteArray(20000, 'p'));
        write(QStringLiteral("eplan-config_local.ini"), local);
        publish(config(QStringLiteral("10.12.2026")));
        TForm1& form = start(c.reachable ? servers() : noFtp());
        EXPECT_TRUE(dialogs_.shown.empty()) << c.what << ": " << errors().toStdString();
        EXPECT_TRUE(panel(0).startsWith(c.prefix)) << c.what << ": " << panel(0).toStdString();
        EXPECT_GT(panel(0).size(), c.prefix.size()) << c.what << ": the error's text";
        EXPECT_EQ(read(QStringLiteral("cmdrun.cmd")), kRestartBytes) << c.what;
        expectNoUpdate(local);
        EXPECT_EQ(form.ProgressBar1->value(), 0);
    }

    // The next start removes the restart script; with the update still due it is tried again.
    start(noFtp());
    EXPECT_TRUE(exists(QStringLiteral("cmdrun.cmd")));
    EXPECT_TRUE(panel(0).startsWith(update::kConnectPrefix));
    write(QStringLiteral("eplan-config_local.ini"), localState("10.12.2026"));
    start(noFtp());
    EXPECT_FALSE(exists(QStringLiteral("cmdrun.cmd")));
    EXPECT_EQ(panel(0), QString());
}

TEST_F(Startup, AnArchiveThatWouldNotGiveAWorkingProgramBackIsAFailedDownload) {
    startServers();
    ASSERT_TRUE(QDir().mkpath(outside(QStringLiteral("outside"))));
    const QString outsideDir = QFileInfo(outside(QStringLiteral("outside"))).absoluteFilePath();
    const QByteArray good = goodArchive();
    const QByteArray program = "new program";
    struct Case {
        const char* what;
        QByteArray archive;
        const char* reason;  // a part of the text in panel 0
    };
    const Case cases[] = {
        {"cut short", good.left(good.size() / 2), "повреждён"},
        {"no archive at all", "<html>not found</html>", "повреждён"},
        {"damaged inside",
         [&] {
             QByteArray b = good;
             b[b.size() / 2] = static_cast<char>(b[b.size() / 2] ^ 0x55);
             b[40] = static_cast<char>(b[40] ^ 0x55);
             return b;
         }(),
         "повреждён"},
        {"without the program", sevenZip({{QStringLiteral("data/readme.txt"), "new"}}),
         "нет файла программы"},
        {"the program only in a folder",
         sevenZip({{QStringLiteral("bin/VOLNOR_Eplan_DB"), program}}), "нет файла программы"},
        {"a file over the link to 7-Zip",
         sevenZip({{QStringLiteral("VOLNOR_Eplan_DB"), program},
                   {QStringLiteral("7z/7z.exe"), "not 7-Zip"}}),
         "7z/7z.exe"},
        {"a link among the files",
         [&] {
             QTemporaryDir stage;
             QFile f(stage.filePath(QStringLiteral("VOLNOR_Eplan_DB")));
             EXPECT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(program);
             f.close();
             EXPECT_TRUE(QFile::link(outsideDir, stage.filePath(QStringLiteral("out"))));
             return sevenZipOf(stage.path(), {QStringLiteral("-snl")});
         }(),
         "ссылк"},
        {"a path upwards",
         zip({{QStringLiteral("VOLNOR_Eplan_DB"), program},
              {QStringLiteral("../outside/up.txt"), "x"}}),
         "за пределами"},
        {"an absolute path",
         zip({{QStringLiteral("VOLNOR_Eplan_DB"), program}, {outsideDir + "/abs.txt", "x"}}),
         "за пределами"},
    };
    const QByteArray local = localState("01.12.2026");
    for (const Case& c : cases) {
        publishArchive(c.archive);
        write(QStringLiteral("eplan-config_local.ini"), local);
        publish(config(QStringLiteral("10.12.2026")));
        start(servers());
        EXPECT_TRUE(dialogs_.shown.empty()) << c.what << ": " << errors().toStdString();
        EXPECT_TRUE(panel(0).startsWith(update::kDownloadPrefix)) << c.what;
        EXPECT_TRUE(panel(0).contains(QString::fromUtf8(c.reason)))
            << c.what << ": " << panel(0).toStdString();
        expectNoUpdate(local);
        EXPECT_TRUE(sevenZipIntact()) << c.what;
        EXPECT_TRUE(QFileInfo(path(QStringLiteral("7z/7z.exe"))).isSymLink()) << c.what;
        EXPECT_TRUE(QDir(outsideDir).isEmpty()) << c.what;
    }
}

TEST_F(Startup, AScriptThatCannotBeWrittenEndsStartUpWithTheErrorReport) {
    publishArchive(goodArchive());
    const QByteArray local = localState("01.12.2026");
    struct Case {
        const char* script;
        bool connects;  // the FTP steps ran before the failure
    };
    const Case cases[] = {{"cmdrun.cmd", false}, {"cmdupdate.cmd", true}};
    for (const Case& c : cases) {
        startServers();
        const QString blocked = path(QString::fromLatin1(c.script));
        ASSERT_TRUE(QDir().mkpath(blocked));  // a folder in the script's way
        write(QStringLiteral("eplan-config_local.ini"), local);
        publish(config(QStringLiteral("10.12.2026")));
        TForm1& form = start(servers());
        ASSERT_EQ(dialogs_.shown.size(), 1u) << errors().toStdString();
        EXPECT_TRUE(dialogs_.shown[0].text.startsWith(
            QStringLiteral("Cannot create file \"%1\". ").arg(blocked)))
            << dialogs_.shown[0].text.toStdString();
        EXPECT_EQ(ftpServer_->commands().contains(QStringLiteral("RETR /eplan/update.7z")),
                  c.connects)
            << c.script;
        EXPECT_EQ(read(QStringLiteral("eplan-config_local.ini")), local) << c.script;
        EXPECT_FALSE(exists(QStringLiteral("started.txt")));
        EXPECT_FALSE(form.terminateRequested());
        ASSERT_TRUE(QDir(blocked).removeRecursively());
        QFile::remove(path(QStringLiteral("cmdrun.cmd")));
    }
}

}  // namespace
}  // namespace volnor::test

// One whole self-update with the real interpreter and the real 7-Zip: the old program finds the
// update due, downloads the archive from the FTP test server and ends; the update script waits
// for it, unpacks the archive over the program directory and starts the restart script, which
// starts the new program; the new program's start removes the restart script.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "platform/ansi.h"
#include "support/servers.h"
#include "update/update_dir.h"

namespace volnor::test {
namespace {

class UpdateCycle : public UpdateDirTest {
protected:
    static QString standIn() {
        return QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("update_program_stand_in"));
    }
    static QByteArray bytesOf(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // An executable as a file of its own, marked so that the old and the new one differ.
    void install(const QString& folder, const QString& name, const QString& from,
                 const QByteArray& mark) const {
        QFile out(QDir(folder).filePath(name));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(out).path()));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytesOf(from) + mark);
        out.close();
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner);
    }
    QStringList log() const {
        return QString::fromUtf8(read(QStringLiteral("starts.log")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

TEST_F(UpdateCycle, ReplacesTheProgramsFilesAndStartsTheNewProgramOnceTheOldHasEnded) {
    const ShortDateFormat ru = russian();
    const QDate today = QDate::currentDate();
    const QString published = DateToStr(today.addDays(1), ru);

    QTemporaryDir web, ftp, stage;
    ASSERT_TRUE(QDir().mkpath(web.filePath(QStringLiteral("f/8270"))));
    QFile remote(web.filePath(QStringLiteral("f/8270/eplan-config.ini")));
    ASSERT_TRUE(remote.open(QIODevice::WriteOnly));
    remote.write(
        *toAnsi(QStringLiteral("[EPLAN]\r\nDATE=%1\r\nMESS=Обновление\r\n").arg(published)));
    remote.close();

    // The new build: the program, the interpreter and data, told apart from the old by a mark.
    const QString interpreter = QStringLiteral(VOLNOR_BIN_DIR "/cmd");
    install(stage.path(), QStringLiteral("VOLNOR_Eplan_DB"), standIn(), "new");
    install(stage.path(), QStringLiteral("cmd"), interpreter, "new");
    QFile version(stage.filePath(QStringLiteral("version.txt")));
    ASSERT_TRUE(version.open(QIODevice::WriteOnly));
    version.write("new");
    version.close();
    ASSERT_TRUE(QDir().mkpath(stage.filePath(QStringLiteral("data"))));
    QFile data(stage.filePath(QStringLiteral("data/readme.txt")));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.write("new data");
    data.close();
    ASSERT_TRUE(QDir().mkpath(ftp.filePath(QStringLiteral("eplan"))));
    QFile archive(ftp.filePath(QStringLiteral("eplan/update.7z")));
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    archive.write(sevenZipOf(stage.path(), {}));
    archive.close();

    // The old program directory.
    install(dir().path(), QStringLiteral("VOLNOR_Eplan_DB"), standIn(), "old");
    install(dir().path(), QStringLiteral("cmd"), interpreter, "old");
    write(QStringLiteral("version.txt"), "old");
    write(QStringLiteral("eplan-config_local.ini"),
          "[EPLAN]\r\nDATEUPDATE=" + DateToStr(today.addDays(-10), ru).toLatin1() + "\r\n");
    HttpsServer https(web.path());
    FtpServer ftpServer(ftp.path());
    write(QStringLiteral("stand_in.ini"),
          "[stand-in]\r\nconnect=" +
              (https.connectTo() + ftpServer.connectTo()).join(QLatin1Char(';')).toUtf8() + "\r\n");

    QProcess old;
    old.setWorkingDirectory(dir().path());
    old.setProcessChannelMode(QProcess::ForwardedChannels);
    old.start(path(QStringLiteral("VOLNOR_Eplan_DB")), {});
    ASSERT_TRUE(old.waitForStarted(30000));
    const QString oldPid = QString::number(old.processId());
    ASSERT_TRUE(old.waitForFinished(120000));
    EXPECT_EQ(old.exitCode(), 0);
    // The new program has run when it has logged its end.
    for (int i = 0; i < 1200 && log().filter(QStringLiteral("exit ")).size() < 2; ++i)
        QThread::msleep(50);

    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 4) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("start %1 old").arg(oldPid)))
        << lines[0].toStdString();
    // The old program's files stayed as they were until it had ended, and the new one started
    // after that.
    EXPECT_EQ(lines[1].toStdString(),
              QStringLiteral("exit %1 update=1 old").arg(oldPid).toStdString());
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" new old-running=0"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" update=0 new"))) << lines[3].toStdString();

    EXPECT_EQ(read(QStringLiteral("VOLNOR_Eplan_DB")), bytesOf(standIn()) + "new");
    EXPECT_EQ(read(QStringLiteral("cmd")), bytesOf(interpreter) + "new");
    EXPECT_EQ(read(QStringLiteral("data/readme.txt")), QByteArray("new data"));
    for (const char* gone : {"update.7z", "cmdupdate.cmd", "cmdrun.cmd"})
        EXPECT_FALSE(exists(QString::fromLatin1(gone))) << gone;
    // The published date, later than today, is recorded: the new program updated nothing.
    EXPECT_EQ(read(QStringLiteral("eplan-config_local.ini")),
              "[EPLAN]\r\nDATEUPDATE=" + published.toLatin1() + "\r\n");
    EXPECT_TRUE(sevenZipIntact());
}

}  // namespace
}  // namespace volnor::test

// The program in the update cycle's test: the real window and its start-up in a process of its
// own, started without arguments like the program. It reads its connect-to list from
// "stand_in.ini" beside it and appends what it saw to "starts.log" there:
//   start PID VERSION old-running=0|1   (VERSION from version.txt; the previous start's process)
//   report TEXT                         (an error report of start-up)
//   exit PID update=0|1 VERSION          (whether it started an update; version.txt as it was
//                                        when it ended)
// After starting an update it stays a moment before it ends, so that a script that did not wait
// for it would be seen replacing the program's files while it still runs.
#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "ui/Unit1.h"

namespace {

QString here(const char* name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

void log(const QString& line) {
    QFile f(here("starts.log"));
    if (f.open(QIODevice::Append)) f.write(line.toUtf8() + '\n');
}

class LoggingDialogs : public volnor::Dialogs {
public:
    void confirm(const QString& text) override { log(QStringLiteral("report ") + text); }
    void warning(const QString& text) override { log(QStringLiteral("report ") + text); }
    void showMessage(const QString& text) override { log(QStringLiteral("report ") + text); }
    void errorReport(const QString&, const QString& text) override {
        log(QStringLiteral("report ") + text);
    }
    std::optional<QString> chooseFile(const QString&, const QString&) override { return {}; }
};

class NoShell : public volnor::Shell {
public:
    void openUrl(const QString&) override {}
    void openFolder(const QString&) override {}
};

QString version() {
    QFile file(here("version.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed())
                                          : QStringLiteral("(none)");
}

bool running(qint64 pid) { return pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const qint64 pid = QCoreApplication::applicationPid();

    qint64 previous = 0;
    QFile starts(here("starts.log"));
    if (starts.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : starts.readAll().split('\n'))
            if (line.startsWith("start ")) previous = line.split(' ').value(1).toLongLong();
        starts.close();
    }
    log(QStringLiteral("start %1 %2 old-running=%3")
            .arg(pid)
            .arg(version())
            .arg(running(previous) ? 1 : 0));

    const volnor::IniFile settings(here("stand_in.ini"));
    volnor::update::Settings update;
    update.dateFormat = *volnor::ShortDateFormat::fromPicture(QStringLiteral("dd.MM.yyyy"));
    LoggingDialogs dialogs;
    NoShell shell;
    bool updating = false;
    {
        volnor::ui::TForm1 form(
            dialogs, shell, volnor::WinPaths(here("drive")), QCoreApplication::applicationDirPath(),
            settings.ReadString("stand-in", "connect").split(u';', Qt::SkipEmptyParts), update);
        updating = form.terminateRequested();
        // Without an update nobody closes the window: the stand-in ends by itself.
        if (!updating) QTimer::singleShot(0, &app, &QCoreApplication::quit);
        form.show();
        app.exec();
    }
    if (updating) QThread::msleep(500);
    log(QStringLiteral("exit %1 update=%2 %3").arg(pid).arg(updating ? 1 : 0).arg(version()));
    return 0;
}

// The command interpreter for the program's ".cmd" scripts: `cmd SCRIPT` carries out the
// script's lines in order in its working directory. A line that fails writes its reason to the
// error output and the script goes on with the next line; the exit status is 1 when any line
// failed, 0 otherwise.
//
// Commands: "cd FOLDER", "del FILE...", "start FILE [ARGS]" (not waited for; a ".cmd" file
// gets an interpreter of its own), "exit", and "PROGRAM [ARGS]" (waited for). Names and
// arguments are written Windows-style and translated: "\" becomes "/", and a name "X.exe" that
// does not exist stands for "X".
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <optional>

#include "platform/ansi.h"

namespace {

struct Failure {
    QString reason;
};

QString native(QString name) { return name.replace(QLatin1Char('\\'), QLatin1Char('/')); }

// Splits at blanks; double quotes group and are removed.
QStringList tokens(const QString& text) {
    QStringList out;
    QString current;
    bool quoted = false;
    bool inToken = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inToken) out << current;
            current.clear();
            inToken = false;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (inToken) out << current;
    return out;
}

// The names a Windows-style file name may stand for here, in the order they are tried.
QStringList candidates(const QString& name) {
    QStringList out{native(name)};
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) out << native(name).chopped(4);
    return out;
}

std::optional<QString> findFile(const QString& name) {
    for (const QString& c : candidates(name)) {
        const QFileInfo info(c);
        if (info.isFile() || info.isSymLink()) return info.absoluteFilePath();
    }
    return std::nullopt;
}

// A program in the working directory first, then one on the search path, as Windows looks.
std::optional<QString> findProgram(const QString& name) {
    for (const QString& c : candidates(name)) {
        const QFileInfo info(c);
        if (info.isFile() && info.isExecutable()) return info.absoluteFilePath();
        if (!c.contains(QLatin1Char('/'))) {
            const QString onPath = QStandardPaths::findExecutable(c);
            if (!onPath.isEmpty()) return onPath;
        }
    }
    return std::nullopt;
}

QStringList nativeArguments(const QStringList& args) {
    QStringList out;
    for (const QString& a : args) out << native(a);
    return out;
}

std::optional<Failure> changeFolder(QString folder) {
    folder = folder.trimmed();
    folder.remove(QLatin1Char('"'));
    if (folder.isEmpty()) {
        std::fprintf(stdout, "%s\n", qPrintable(QDir::currentPath()));
        return std::nullopt;
    }
    if (!QDir::setCurrent(native(folder)))
        return Failure{QStringLiteral("папка «%1» не найдена").arg(folder)};
    return std::nullopt;
}

std::optional<Failure> deleteFiles(const QStringList& names) {
    if (names.isEmpty()) return Failure{QStringLiteral("не указан файл")};
    QStringList missing;
    for (const QString& name : names) {
        const auto path = findFile(name);
        if (!path || !QFile::remove(*path)) missing << name;
    }
    if (!missing.isEmpty())
        return Failure{
            QStringLiteral("не удалось удалить «%1»").arg(missing.join(QLatin1String("», «")))};
    return std::nullopt;
}

std::optional<Failure> startDetached(const QStringList& words) {
    if (words.isEmpty()) return Failure{QStringLiteral("не указан файл")};
    const QString& name = words.first();
    QString program;
    QStringList args = nativeArguments(words.mid(1));
    if (name.endsWith(QLatin1String(".cmd"), Qt::CaseInsensitive)) {
        const auto script = findFile(name);
        if (!script) return Failure{QStringLiteral("файл «%1» не найден").arg(name)};
        program = QCoreApplication::applicationFilePath();
        args.prepend(*script);
    } else {
        const auto found = findProgram(name);
        if (!found) return Failure{QStringLiteral("программа «%1» не найдена").arg(name)};
        program = *found;
    }
    if (!QProcess::startDetached(program, args, QDir::currentPath()))
        return Failure{QStringLiteral("не удалось запустить «%1»").arg(name)};
    return std::nullopt;
}

std::optional<Failure> runProgram(const QStringList& words) {
    const QString& name = words.first();
    const auto program = findProgram(name);
    if (!program)
        return Failure{QStringLiteral("неизвестная команда или программа «%1»").arg(name)};
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(*program, nativeArguments(words.mid(1)));
    if (!process.waitForStarted(-1))
        return Failure{
            QStringLiteral("не удалось запустить «%1»: %2").arg(name, process.errorString())};
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::CrashExit)
        return Failure{QStringLiteral("«%1» завершилась аварийно").arg(name)};
    if (process.exitCode() != 0)
        return Failure{
            QStringLiteral("«%1» завершилась с кодом %2").arg(name).arg(process.exitCode())};
    return std::nullopt;
}

void report(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        report(QStringLiteral("cmd: запуск: cmd СЦЕНАРИЙ"));
        return 1;
    }
    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("cmd: не удалось открыть сценарий «%1»: %2")
                   .arg(args[1], file.errorString()));
        return 1;
    }
    const QStringList lines = volnor::fromAnsi(file.readAll()).split(QLatin1Char('\n'));
    file.close();

    bool anyFailed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        if (line.startsWith(QLatin1Char('@'))) line.remove(0, 1);
        if (line.isEmpty()) continue;
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString word = (blank < 0 ? line : line.left(blank)).toLower();
        const QString rest = blank < 0 ? QString() : line.mid(blank + 1);

        std::optional<Failure> failure;
        if (word == QLatin1String("exit")) break;
        if (word == QLatin1String("cd"))
            failure = changeFolder(rest);
        else if (word == QLatin1String("del"))
            failure = deleteFiles(tokens(rest));
        else if (word == QLatin1String("start"))
            failure = startDetached(tokens(rest));
        else
            failure = runProgram(tokens(line));
        if (failure) {
            anyFailed = true;
            report(QStringLiteral("cmd: строка %1 «%2»: %3").arg(i + 1).arg(line, failure->reason));
        }
    }
    return anyFailed ? 1 : 0;
}

// The largest group download through the window under offscreen Qt (the double-click handler on
// the group's node, the real command interpreter and 7-Zip, a local HTTPS server), from the
// double-click to the message box, against the same work done by hand:
//   (a) one curl process over one keep-alive connection, then "7zz x" of each archive, then the
//       move of the EDZ files;
//   (b) the same with curl and 7zz overlapped: each archive is unpacked as soon as curl has it.
// The sides alternate, in a rotating order. Then where the time goes (transfers alone, the
// unpack chain alone, the progress reports), and the peak memory growth of a download over the
// idle window, for the group and for one archive of 200 MB, each in a fresh process.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "catalogue/catalogue.h"
#include "platform/dialogs.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/file_search.h"
#include "platform/posix/script_runner.h"
#include "platform/shell.h"
#include "transfer/http_client.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"

using namespace volnor;
using ui::qs;
using ui::str;

namespace {

const QString kGroup = QStringLiteral("Низковольтная аппаратура управления и защиты");
const std::string kDone = "Загрузка завершена!";
constexpr int kRuns = 7;
constexpr int kComponentRuns = 5;
constexpr qint64 kBigArchive = 200LL << 20;

QTextStream out(stdout);

[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2)
                                       : QStringLiteral("?");
}

// Kibibytes of a field of /proc/self/status ("VmRSS", "VmHWM").
qint64 statusKib(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) fail(QStringLiteral("no /proc/self/status"));
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ')[0].toLongLong();
    fail(QStringLiteral("no %1 in /proc/self/status").arg(QString::fromLatin1(field)));
}

class BenchDialogs : public Dialogs {
public:
    void confirm(const std::string& text) override { shown.push_back(text); }
    void warning(const std::string& text) override { shown.push_back(text); }
    void showMessage(const std::string& text) override { shown.push_back(text); }
    void errorReport(const std::string&, const std::string& text) override {
        shown.push_back(text);
    }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override {
        return {};
    }
    QString joined() const {
        QStringList texts;
        for (const std::string& text : shown) texts << qs(text);
        return texts.join(u'\n');
    }
    std::vector<std::string> shown;
};

class NoShell : public Shell {
public:
    void openUrl(const std::string&) override {}
    void openFolder(const std::string&) override {}
};

// The body into a file as it arrives, as the window's download writes it.
class FileSink : public ByteSink {
public:
    explicit FileSink(const QString& path) : file_(std::fopen(str(path).c_str(), "wb")) {
        if (!file_) fail(QStringLiteral("cannot write ") + path);
    }
    ~FileSink() override { std::fclose(file_); }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    bool write(std::string_view bytes) override {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    std::string errorText() const override { return "write failed"; }

private:
    std::FILE* file_;
};

QStringList urlsOf(const QString& node) {
    std::vector<std::string> menulist;
    catalogue::menuload(menulist);
    QStringList urls;
    if (const auto entry = catalogue::findEntry(menulist, str(node))) urls << qs(entry->webpro);
    if (const auto* row = catalogue::findRow(str(node)))
        for (const std::string& url : row->urls) urls << qs(url);
    return urls;
}

// A series leaf with one archive and no group row.
QString seriesLeaf() {
    std::vector<std::string> menulist;
    catalogue::menuload(menulist);
    for (const std::string& e : menulist) {
        const auto entry = catalogue::splitEntry(e);
        if (!catalogue::findRow(entry.namepro)) return qs(entry.namepro);
    }
    fail(QStringLiteral("the catalogue has no series leaf"));
}

QString shortwebOf(const QString& url) { return qs(catalogue::shortweb(str(url))); }

// The connect-to entry as both clients take it.
std::vector<std::string> connectList(const QString& connectTo) { return {str(connectTo)}; }

// Writes zip archives as the maker publishes them: EDZ files of random bytes (EDZ files are
// archives themselves, so they do not compress) and a short text file, deflated.
void makeArchives(const QJsonArray& spec) {
    static const char kMaker[] = R"(
import json, random, sys, zipfile
rnd = random.Random(20261210)
for a in json.load(sys.stdin):
    with zipfile.ZipFile(a["file"], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        for name, size in a["edz"]:
            z.writestr(name, rnd.randbytes(size))
        z.writestr("readme.txt", "VOLNOR product data, see the catalogue.\n" * 500)
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kMaker)});
    python.waitForStarted();
    python.write(QJsonDocument(spec).toJson());
    python.closeWriteChannel();
    python.waitForFinished(-1);
    if (python.exitCode() != 0)
        fail(QStringLiteral("archives not made: ") +
             QString::fromUtf8(python.readAllStandardError()));
}

// The test HTTPS server, bound to 127.0.0.1; it ends by itself after its lifetime.
class Server {
public:
    Server(const QString& root, const QString& work) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(VOLNOR_HTTPS_SERVER), QStringLiteral("--root"), root,
                        QStringLiteral("--ca-cert"), QStringLiteral(VOLNOR_TEST_CA_CERT),
                        QStringLiteral("--ca-key"), QStringLiteral(VOLNOR_TEST_CA_KEY),
                        QStringLiteral("--host"), QString::fromUtf8(buildconfig::kWebHost),
                        QStringLiteral("--workdir"), work, QStringLiteral("--record"),
                        work + QStringLiteral("/record.jsonl"), QStringLiteral("--lifetime"),
                        QStringLiteral("1800")});
        QByteArray line;
        while (!line.contains('\n') && process_.waitForReadyRead(30000))
            line += process_.readAllStandardOutput();
        port_ = line.trimmed().toInt();
        if (port_ <= 0) fail(QStringLiteral("the HTTPS server did not start"));
    }
    ~Server() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    int port() const { return port_; }
    QString connectTo() const {
        return QStringLiteral("%1:443:127.0.0.1:%2")
            .arg(QString::fromUtf8(buildconfig::kWebHost))
            .arg(port_);
    }

private:
    QProcess process_;
    int port_ = 0;
};

// A program directory: the 7-Zip link and the interpreter beside the (virtual) executable.
void makeProgramDir(const QString& dir, bool withInterpreter) {
    QDir().mkpath(dir + QStringLiteral("/7z"));
    QFile::link(QStringLiteral("/usr/bin/7zz"), dir + QStringLiteral("/7z/7z.exe"));
    if (withInterpreter)
        QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/cmd"),
                    dir + QStringLiteral("/cmd"));
}

void clean(const QString& dir) {
    QDir d(dir);
    for (const QString& name :
         d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name == QStringLiteral("7z") || name == QStringLiteral("cmd")) continue;
        const QString p = d.filePath(name);
        if (QFileInfo(p).isDir() && !QFileInfo(p).isSymLink())
            QDir(p).removeRecursively();
        else
            QFile::remove(p);
    }
}

// What a finished run must have left: every EDZ file in the node folder, no archive.
void verify(const QString& side, const QString& dir, const QString& node, int edz) {
    const posix::PosixFileSearch search;
    const int moved = int(search.find(str(dir + u'/' + node), "*.edz").size());
    const auto zips = search.find(str(dir), "*.zip");
    if (moved != edz || !zips.empty())
        fail(QStringLiteral("%1: %2 of %3 EDZ files moved, %4 archives left")
                 .arg(side)
                 .arg(moved)
                 .arg(edz)
                 .arg(zips.size()));
}

struct Instrumented {
    int reports = 0;
    double reportMs = 0;
    int moves = 0;  // reports that moved the bar, each a repaint
    double moveMs = 0;
    double barMoveMs = 0;  // one move of the bar alone
    int pumps = 0;
    double pumpMs = 0;
};

// The download through the window, from the double-click to its return (the message box is
// answered at once). With `probe`, the progress reports and the transfer's pump are timed too.
double runOurs(const QString& prog, const QString& node, const QString& connectTo, int edz,
               Instrumented* probe = nullptr) {
    clean(prog);
    QDir::setCurrent(prog);
    BenchDialogs dialogs;
    NoShell shell;
    QTemporaryDir drive;
    ui::TForm1 form(dialogs, shell, WinPaths(str(drive.path())), str(prog), connectList(connectTo));
    form.show();
    QCoreApplication::processEvents();
    const auto items = form.TreeView1->findItems(node, Qt::MatchExactly | Qt::MatchRecursive);
    if (items.isEmpty()) fail(QStringLiteral("no node ") + node);
    form.TreeView1->setCurrentItem(items.first());
    QCoreApplication::processEvents();
    if (probe) {
        using Clock = std::chrono::steady_clock;
        auto ms = [](Clock::time_point from) {
            return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
        };
        form.IdHTTP1->setOnWork(
            [&form, probe, ms](HttpClient& s, HttpClient::WorkMode m, std::int64_t n) {
                const int before = form.progress().position();
                const auto t = Clock::now();
                form.IdHTTP1Work(s, m, n);
                const double spent = ms(t);
                probe->reportMs += spent;
                ++probe->reports;
                if (form.progress().position() != before) {
                    probe->moveMs += spent;
                    ++probe->moves;
                }
            });
        form.IdHTTP1->setPump([probe, ms] {
            const auto t = Clock::now();
            ui::TForm1::pumpEvents();
            probe->pumpMs += ms(t);
            ++probe->pumps;
        });
    }
    dialogs.shown.clear();
    QElapsedTimer timer;
    timer.start();
    form.TreeView1DblClick();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (dialogs.shown != std::vector<std::string>{kDone})
        fail(QStringLiteral("ours: ") + dialogs.joined());
    verify(QStringLiteral("ours"), prog, node, edz);
    if (probe) {
        // What one move of the bar costs on this window: empty to full and back, 20 times.
        QElapsedTimer moves;
        moves.start();
        for (int i = 0; i < 20; ++i) {
            form.progress().setPosition(Progress::kMax);
            form.progress().setPosition(0);
        }
        probe->barMoveMs = double(moves.nsecsElapsed()) / 1e6 / 40;
    }
    return elapsed;
}

QString quoted(const QString& s) {
    QString q = s;
    q.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + q + u'\'';
}

// The baselines as bash scripts: curl with one connection for all URLs, 7zz per archive, the
// archives deleted, the EDZ files moved.
QString baselineScript(const QStringList& urls, const QString& connectTo, const QString& node,
                       bool overlapped) {
    // The server verified as the program verifies it.
    QString curl = QStringLiteral("curl -sS --cacert %1 --tlsv1.2 --connect-to %2")
                       .arg(quoted(QStringLiteral(VOLNOR_TEST_CA_CERT)), quoted(connectTo));
    QStringList names;
    for (const QString& url : urls) {
        const QString name = shortwebOf(url);
        names << quoted(name);
        curl += QStringLiteral(" -o %1 %2").arg(quoted(name), quoted(url));
    }
    const QString unpack = QStringLiteral("7zz x -y \"$f\" >/dev/null; rm -f \"$f\"");
    QString s = QStringLiteral("set -euo pipefail\n");
    if (overlapped) {
        // curl names each file on stderr (unbuffered) as soon as its transfer has ended.
        s += curl +
             QStringLiteral(
                 " -w '%{stderr}%{filename_effective}\\n' 2>&1 >/dev/null | "
                 "while IFS= read -r f; do ") +
             unpack + QStringLiteral("; done\n");
    } else {
        s += curl + u'\n';
        s += QStringLiteral("for f in %1; do %2; done\n").arg(names.join(u' '), unpack);
    }
    s += QStringLiteral("mkdir -p %1\nmv -- *.edz %1/\n").arg(quoted(node));
    return s;
}

double runScript(const QString& dir, const QString& script, const QString& side) {
    clean(dir);
    QProcess bash;
    bash.setWorkingDirectory(dir);
    bash.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    bash.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), script});
    bash.waitForFinished(-1);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (bash.exitStatus() != QProcess::NormalExit || bash.exitCode() != 0)
        fail(side + QStringLiteral(": the script failed"));
    return elapsed;
}

// The memory mode, in a fresh process: the idle window, then one download.
int memoryChild(const QString& prog, const QString& node, const QString& connectTo, int edz) {
    clean(prog);
    QDir::setCurrent(prog);
    BenchDialogs dialogs;
    NoShell shell;
    QTemporaryDir drive;
    ui::TForm1 form(dialogs, shell, WinPaths(str(drive.path())), str(prog), connectList(connectTo));
    form.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    form.TreeView1->setCurrentItem(
        form.TreeView1->findItems(node, Qt::MatchExactly | Qt::MatchRecursive).first());
    QCoreApplication::processEvents();
    const qint64 idle = statusKib("VmRSS");
    // Resets the peak to the present size, so that VmHWM is the peak of the download alone.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        fail(QStringLiteral("cannot reset the peak"));
    clear.close();
    dialogs.shown.clear();  // what start-up reported
    form.TreeView1DblClick();
    const qint64 peak = statusKib("VmHWM");
    if (dialogs.shown != std::vector<std::string>{kDone})
        fail(QStringLiteral("memory run: ") + dialogs.joined());
    verify(QStringLiteral("memory run"), prog, node, edz);
    out << idle << ' ' << peak << '\n';
    return 0;
}

struct Memory {
    qint64 idleKib = 0;
    qint64 peakKib = 0;
};

Memory measureMemory(const QString& prog, const QString& node, const QString& connectTo, int edz) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory"), prog, node, connectTo, QString::number(edz)});
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || fields.size() != 2) fail(QStringLiteral("the memory run failed"));
    return {fields[0].toLongLong(), fields[1].toLongLong()};
}

QString mib(qint64 kib) {
    return QString::number(double(kib) / 1024, 'f', 1) + QStringLiteral(" MiB");
}
QString fixed(double v, int digits = 0) { return QString::number(v, 'f', digits); }

int bench() {
    QTemporaryDir root;
    if (!root.isValid()) fail(QStringLiteral("no temporary folder"));
    const QString web = root.filePath(QStringLiteral("web"));
    const QStringList urls = urlsOf(kGroup);
    const QString leaf = seriesLeaf();
    const QString leafUrl = urlsOf(leaf).first();

    // 19 archives of 4.4 to 5.2 MB with four EDZ files each (the last with three), and the big one.
    QJsonArray spec;
    int groupEdz = 0;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString file = web + QUrl(urls[i]).path();
        QDir().mkpath(QFileInfo(file).path());
        const int count = i + 1 == urls.size() ? 3 : 4;
        const qint64 total = qint64((4.4 + 0.8 * double(i) / double(urls.size() - 1)) * 1e6);
        const QString stem = QFileInfo(file).completeBaseName();
        QJsonArray edz;
        for (int k = 0; k < count; ++k)
            edz.append(QJsonArray{QStringLiteral("%1-%2.edz").arg(stem).arg(k), total / count});
        spec.append(QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("edz"), edz}});
        groupEdz += count;
    }
    const QString bigFile = web + QUrl(leafUrl).path();
    QDir().mkpath(QFileInfo(bigFile).path());
    QJsonArray bigEdz;
    const int bigCount = 40;
    for (int k = 0; k < bigCount; ++k)
        bigEdz.append(QJsonArray{QStringLiteral("big-%1.edz").arg(k), kBigArchive / bigCount});
    spec.append(QJsonObject{{QStringLiteral("file"), bigFile}, {QStringLiteral("edz"), bigEdz}});
    makeArchives(spec);
    qint64 groupBytes = 0;
    for (const QString& url : urls) groupBytes += QFileInfo(web + QUrl(url).path()).size();

    QDir().mkpath(root.filePath(QStringLiteral("server")));
    Server server(web, root.filePath(QStringLiteral("server")));
    const QString connectTo = server.connectTo();

    const QString prog = root.filePath(QStringLiteral("ours"));
    const QString dirA = root.filePath(QStringLiteral("baseline-a"));
    const QString dirB = root.filePath(QStringLiteral("baseline-b"));
    makeProgramDir(prog, true);
    QDir().mkpath(dirA);
    QDir().mkpath(dirB);
    const QString scriptA = baselineScript(urls, connectTo, kGroup, false);
    const QString scriptB = baselineScript(urls, connectTo, kGroup, true);

    out << "group download \"" << kGroup << "\": " << urls.size() << " archives, "
        << fixed(double(groupBytes) / 1e6, 1) << " MB, " << groupEdz << " EDZ files\n"
        << "ours: through the window (TForm1 under offscreen Qt, the double-click handler), "
           "the real interpreter and 7-Zip; a fresh window per run\n"
        << "load average at start: " << loadAverage() << "\n";
    out.flush();

    // One warm-up of each side (page cache, server), not counted.
    runOurs(prog, kGroup, connectTo, groupEdz);
    runScript(dirA, scriptA, QStringLiteral("(a)"));
    runScript(dirB, scriptB, QStringLiteral("(b)"));
    verify(QStringLiteral("(b)"), dirB, kGroup, groupEdz);

    const std::vector<std::pair<QString, std::function<double()>>> sides = {
        {QStringLiteral("ours"), [&] { return runOurs(prog, kGroup, connectTo, groupEdz); }},
        {QStringLiteral("(a)"),
         [&] {
             const double ms = runScript(dirA, scriptA, QStringLiteral("(a)"));
             verify(QStringLiteral("(a)"), dirA, kGroup, groupEdz);
             return ms;
         }},
        {QStringLiteral("(b)"),
         [&] {
             const double ms = runScript(dirB, scriptB, QStringLiteral("(b)"));
             verify(QStringLiteral("(b)"), dirB, kGroup, groupEdz);
             return ms;
         }},
    };
    std::map<QString, std::vector<double>> times;
    for (int run = 0; run < kRuns; ++run) {
        out << "  run " << run + 1 << ":";
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const auto& [name, side] = sides[(k + std::size_t(run)) % sides.size()];
            const double ms = side();
            times[name].push_back(ms);
            out << "  " << name << " " << fixed(ms) << " ms";
        }
        out << "\n";
        out.flush();
    }
    const double ours = median(times[QStringLiteral("ours")]);
    const double a = median(times[QStringLiteral("(a)")]);
    const double b = median(times[QStringLiteral("(b)")]);
    out << "medians over " << kRuns << " runs each:\n"
        << "  ours                                     " << fixed(ours) << " ms\n"
        << "  (a) curl, then 7zz x each, then mv       " << fixed(a) << " ms\n"
        << "  (b) curl and 7zz x overlapped, then mv   " << fixed(b) << " ms\n"
        << "  ratio ours/(a) = " << fixed(ours / a, 2) << ", ours/(b) = " << fixed(ours / b, 2)
        << "\n"
        << "load average at end: " << loadAverage() << "\n";
    out.flush();

    // Where the time goes: the two halves of the chain alone, medians of a few runs.
    std::vector<double> oursTransfer, curlTransfer, chain, plain;
    const QString fetched = root.filePath(QStringLiteral("fetched"));
    QDir().mkpath(fetched);
    QString curlOnly =
        QStringLiteral("set -euo pipefail\ncurl -sS -k --tlsv1.2 --tls-max 1.2 --connect-to %1")
            .arg(quoted(connectTo));
    for (const QString& url : urls)
        curlOnly += QStringLiteral(" -o %1 %2").arg(quoted(shortwebOf(url)), quoted(url));
    for (int run = 0; run < kComponentRuns; ++run) {
        {
            clean(fetched);
            posix::CurlHttpClient http(connectList(connectTo));
            http.setHandleRedirects(true);
            http.setUserAgent(HttpClient::kUserAgent);
            QElapsedTimer timer;
            timer.start();
            for (const QString& url : urls) {
                FileSink file(fetched + u'/' + shortwebOf(url));
                http.Get(str(url), file);
            }
            oursTransfer.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        curlTransfer.push_back(runScript(dirA, curlOnly, QStringLiteral("curl alone")));
        // The unpack chain: the 19 scripts one after the other, then 7zz alone on the same files.
        const QString chainDir = root.filePath(QStringLiteral("chain"));
        makeProgramDir(chainDir, false);
        for (const bool viaScripts : {true, false}) {
            clean(chainDir);
            for (const QString& url : urls)
                QFile::copy(dirA + u'/' + shortwebOf(url), chainDir + u'/' + shortwebOf(url));
            QDir::setCurrent(chainDir);
            const posix::InterpreterRunner runner(str(QCoreApplication::applicationDirPath()));
            QElapsedTimer timer;
            timer.start();
            for (const QString& url : urls) {
                const QString name = shortwebOf(url);
                if (viaScripts) {
                    const QString script = chainDir + u'/' + name + QStringLiteral(".cmd");
                    QFile f(script);
                    f.open(QIODevice::WriteOnly);
                    f.write(QStringLiteral(
                                "cd 7z\\\r\n7z.exe x -r ..\\%1 -o..\\ -y\r\ncd ..\\\r\ndel %1\r\n")
                                .arg(name)
                                .toLatin1());
                    f.close();
                    if (!runner.start(str(script))->wait({}).ok)
                        fail(QStringLiteral("an unpack script failed"));
                } else {
                    QProcess z;
                    z.setStandardOutputFile(QProcess::nullDevice());
                    z.start(QStringLiteral("/usr/bin/7zz"),
                            {QStringLiteral("x"), QStringLiteral("-y"), name});
                    z.waitForFinished(-1);
                    QFile::remove(name);
                }
            }
            (viaScripts ? chain : plain).push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    // The interpreter's own start and end: a one-line script, against a process that does
    // nothing, both started the way the window starts its scripts.
    std::vector<double> oneLine, nothing;
    {
        const QString dir = root.filePath(QStringLiteral("chain"));
        QDir::setCurrent(dir);
        const QString script = dir + QStringLiteral("/one.cmd");
        QFile f(script);
        f.open(QIODevice::WriteOnly);
        f.write("cd 7z\\\r\n");
        f.close();
        const posix::InterpreterRunner runner(str(QCoreApplication::applicationDirPath()));
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            if (!runner.start(str(script))->wait({}).ok)
                fail(QStringLiteral("a one-line script failed"));
            oneLine.push_back(double(timer.nsecsElapsed()) / 1e6);
            timer.restart();
            QProcess p;
            p.start(QStringLiteral("/bin/true"), {});
            p.waitForFinished(-1);
            nothing.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    Instrumented probe;
    runOurs(prog, kGroup, connectTo, groupEdz, &probe);
    const double n = double(urls.size());
    out << "where the time goes (medians of " << kComponentRuns << "):\n"
        << "  transfers alone, ours (library, into files)  " << fixed(median(oursTransfer))
        << " ms\n"
        << "  transfers alone, curl                        " << fixed(median(curlTransfer))
        << " ms\n"
        << "  unpack chain, 19 scripts (cmd + 7-Zip)       " << fixed(median(chain)) << " ms ("
        << fixed((median(chain) - median(plain)) / n, 1) << " ms a script over 7-Zip alone)\n"
        << "  7zz x alone, 19 archives                     " << fixed(median(plain)) << " ms ("
        << fixed(median(plain) / n, 1) << " ms an archive)\n"
        << "  a one-line script (interpreter start and end) " << fixed(median(oneLine), 1)
        << " ms; /bin/true through QProcess " << fixed(median(nothing), 1)
        << " ms (medians of 20)\n"
        << "  progress reports in one window run: " << probe.reports << " calls, "
        << fixed(probe.reportMs, 1) << " ms, of which " << probe.moves << " moved the bar ("
        << fixed(probe.moveMs, 1) << " ms; one move of the bar alone " << fixed(probe.barMoveMs, 2)
        << " ms); transfer pump: " << probe.pumps << " calls, " << fixed(probe.pumpMs, 1)
        << " ms\n";
    out.flush();

    const Memory group = measureMemory(prog, kGroup, connectTo, groupEdz);
    const Memory big = measureMemory(prog, leaf, connectTo, bigCount);
    out << "peak memory growth of a download over the idle window (fresh process each):\n"
        << "  group, 19 archives of about 5 MB: idle " << mib(group.idleKib) << ", peak "
        << mib(group.peakKib) << ", growth " << mib(group.peakKib - group.idleKib) << "\n"
        << "  one archive of " << fixed(double(QFileInfo(bigFile).size()) / 1e6) << " MB: idle "
        << mib(big.idleKib) << ", peak " << mib(big.peakKib) << ", growth "
        << mib(big.peakKib - big.idleKib) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        const QStringList args = QCoreApplication::arguments();
        if (args.size() == 6 && args[1] == QStringLiteral("--memory"))
            return memoryChild(args[2], args[3], args[4], args[5].toInt());
        return bench();
    } catch (const std::exception& e) {
        QTextStream(stderr) << "download benchmark: " << e.what() << "\n";
        return 1;
    }
}

#include "update/self_update.h"

#include <algorithm>

#include "buildconfig.h"
#include "download/archive_entries.h"
#include "download/script_file.h"
#include "download/transient_file.h"
#include "platform/base64.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transfer/ftp_client.h"
#include "transfer/http_client.h"
#include "update/dates.h"

namespace volnor::update {

namespace {

namespace fs = std::filesystem;

constexpr char kDateKey[] = "DATE";
constexpr char kNewsKey[] = "MESS";
constexpr char kSignatureKey[] = "SIGNATURE";

// The longest 7-Zip may take to test or list an update archive.
constexpr std::chrono::milliseconds kSevenZipLimit{120000};
// The most of 7-Zip's error output that a status text quotes, in characters.
constexpr std::size_t kDetailLimit = 300;

// Blanks at the ends dropped, every run of blanks inside made one space.
std::string simplified(std::string_view text) {
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

struct SevenZip {
    bool ok = false;
    std::string out;
    std::string failure;  // why it did not run through with exit code 0
};

SevenZip runSevenZip(const ScriptRunner& runner, const fs::path& programDir,
                     const std::vector<std::string>& args) {
    const fs::path program = programDir / WinPaths::relative("7z\\7z.exe");
    const ProgramResult run = runner.run(program, args, kSevenZipLimit);
    SevenZip result;
    if (run.ok) {
        result.ok = true;
        result.out = run.out;
        return result;
    }
    const std::string detail = utf16Mid(simplified(run.errors), 0, kDetailLimit);
    if (!run.started)
        result.failure = "не удалось запустить 7-Zip «" + utf8Of(program) + "» (" + detail + ")";
    else if (run.timedOut)
        result.failure = "7-Zip не закончил проверку архива";
    else
        result.failure = "архив обновления повреждён (7-Zip: " +
                         (detail.empty() ? "код " + std::to_string(run.exitCode) : detail) + ")";
    return result;
}

// The technical listing ("l -slt"): blocks of "Name = value" lines, each begun by "Path = ".
std::vector<ArchiveEntry> entriesOf(const std::string& listing) {
    std::vector<ArchiveEntry> entries;
    for (std::string_view line : split(listing, '\n')) {
        const std::size_t eq = line.find(" = ");
        if (eq == std::string_view::npos) continue;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string_view name = line.substr(0, eq);
        const std::string_view value = line.substr(std::min(line.size(), eq + 3));
        if (name == "Path") {
            entries.push_back({std::string(value)});
        } else if (entries.empty()) {
            continue;
        } else if (name == "Folder") {
            entries.back().folder = value == "+";
        } else if (name == "Attributes") {
            // Windows attributes, then the Unix mode ("A -rw-r--r--", "D drwxr-xr-x", " lrwx...").
            if (value.starts_with('D')) entries.back().folder = true;
            for (const std::string& word : split(value, ' ', true))
                if (word.size() == 10 && word.front() == 'l') entries.back().link = true;
        } else if (name.find("Link") != std::string_view::npos && !value.empty()) {
            entries.back().link = true;  // "Symbolic Link", "Hard Link"
        }
    }
    return entries;
}

// DeleteFile: a file or a link goes, a folder of that name stays; a failure passes silently.
void deleteFile(const fs::path& file) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(file, error))) fs::remove(file, error);
}

// ".\name": the scripts and the fetched configuration are written to the current directory.
fs::path inCurrentDir(const char* name) { return currentDir() / name; }

}  // namespace

Settings Settings::of(const System& system) {
    return {system.shortDateFormat(), [&system] { return system.today(); }, system.processId(),
            system.executablePath()};
}

std::string configUrl() { return "https://" + std::string(buildconfig::kWebHost) + kConfigPath; }

fs::path currentDir() {
    std::error_code error;
    fs::path dir = fs::current_path(error);
    return error ? fs::path(".") : dir;
}

bool fetchConfiguration(HttpClient& http) {
    try {
        std::string Stream2;
        http.Get(configUrl(), Stream2);
        // Written aside and renamed into place, unsynced: every start fetches it again.
        TransientFile file(inCurrentDir(kConfigFile));
        return file.open() && file.write(Stream2) && file.commit();
    } catch (const Error&) {
        return false;
    }
}

Configuration::Configuration(IniFiles& files, const fs::path& exeDir, Settings settings)
    : finifile(files, exeDir / kConfigFile),
      finifile2(files, exeDir / kLocalFile),
      settings_(std::move(settings)) {}

std::string Configuration::statusText() const {
    return kDatePrefix + finifile.ReadString(kSection, kDateKey);
}

std::string Configuration::news() const { return finifile.ReadString(kSection, kNewsKey); }

std::string Configuration::signature() const {
    return finifile.ReadString(kSection, kSignatureKey);
}

Configuration::Dates Configuration::dates() const {
    const int year = static_cast<int>(settings_.today().year());
    Dates d;
    d.local_date = StrToDate(finifile2.ReadString(kSection, kLocalKey), settings_.dateFormat, year);
    d.mydate = StrToDate(finifile.ReadString(kSection, kDateKey), settings_.dateFormat, year);
    return d;
}

void removeRestartScript(const fs::path& exeDir) { deleteFile(exeDir / kRestartScript); }

fs::path setAsideName(const fs::path& program) {
    fs::path name = program;
    name += ".old";
    return name;
}

void removeSetAside(const fs::path& program) {
    if (!program.empty()) deleteFile(setAsideName(program));
}

std::vector<std::string> restartScript() {
    return {
        std::string("del ") + kUpdateScript,
        std::string("start ") + kProgram,
        "exit",
    };
}

std::vector<std::string> updateScript() {
    return {
        std::string("del ") + kProgram,
        "cd 7z\\",
        std::string("7z.exe x -r ..\\") + kArchive + " -o..\\ -y",
        "cd ..\\",
        std::string("del ") + kArchive,
        std::string("start ") + kRestartScript,
        "exit",
    };
}

std::optional<std::string> archiveProblem(const ScriptRunner& runner, const fs::path& programDir,
                                          const fs::path& archive) {
    const std::string file = utf8Of(fs::absolute(archive));
    const SevenZip test = runSevenZip(runner, programDir, {"t", "-bso0", "-bsp0", file});
    if (!test.ok) return test.failure;
    const SevenZip list = runSevenZip(runner, programDir, {"l", "-slt", "-ba", "-sccUTF-8", file});
    if (!list.ok) return list.failure;
    return entriesProblem(ArchiveKind::Update, programDir, entriesOf(list.out));
}

std::optional<std::string> signatureProblem(const SignatureCheck& check, std::string_view key,
                                            std::string_view signature, const fs::path& archive) {
    if (key.empty()) return std::nullopt;
    const std::optional<std::string> publicKey = decodeBase64(key);
    if (signature.empty()) return "в конфигурации нет подписи архива обновления";
    const std::optional<std::string> bytes = decodeBase64(signature);
    if (!bytes || bytes->size() != SignatureCheck::kSignatureSize)
        return "подпись архива обновления в конфигурации повреждена";
    switch (check.verify(publicKey.value_or(""), archive, *bytes)) {
        case SignatureVerdict::Good:
            return std::nullopt;
        case SignatureVerdict::Wrong:
            return "подпись архива обновления не совпадает: архив не от производителя или изменён";
        case SignatureVerdict::BadKey:
            return "ключ проверки подписи в программе неверен";
        case SignatureVerdict::Unreadable:
            break;
    }
    std::string text = "не удалось прочитать архив обновления «";
    text += utf8Of(archive);
    text += "»";
    return text;
}

SelfUpdate::SelfUpdate(FtpClient& ftp, const ScriptRunner& runner, const SignatureCheck& signatures,
                       fs::path exeDir, Settings settings)
    : ftp_(ftp),
      runner_(runner),
      signatures_(signatures),
      exeDir_(std::move(exeDir)),
      settings_(std::move(settings)) {}

SelfUpdate::Outcome SelfUpdate::run(Configuration& config,
                                    const std::chrono::year_month_day& mydate,
                                    std::vector<std::string>& cmdrun,
                                    std::vector<std::string>& cmdupdate) {
    // 1. The restart script, before the download.
    cmdrun = restartScript();
    writeScript(inCurrentDir(kRestartScript), cmdrun);

    // 2, 3. A failed connection or download ends the update with its text in panel 0.
    if (ftp_.Connected()) ftp_.Disconnect();
    try {
        ftp_.Connect();
    } catch (const Error& e) {
        return {false, kConnectPrefix + e.text()};
    }
    if (!ftp_.Connected()) return {};
    const fs::path archive = exeDir_ / kArchive;
    try {
        ftp_.Get(kRemoteArchive, archive, true, false);
    } catch (const Error& e) {
        deleteFile(archive);  // a part of an archive is of no use to the next try
        return {false, kDownloadPrefix + e.text()};
    }
    // Whoever answers in the maker's place chooses the archive: with a key, nothing of it is
    // looked at, 7-Zip's test included, before its signature is the maker's.
    if (const auto problem =
            signatureProblem(signatures_, settings_.updateKey, config.signature(), archive)) {
        deleteFile(archive);
        return {false, kDownloadPrefix + *problem};
    }
    // The update script deletes the program before it unpacks: an archive that would not give
    // a working program back counts as a failed download.
    if (const auto problem = archiveProblem(runner_, currentDir(), archive)) {
        deleteFile(archive);
        return {false, kDownloadPrefix + *problem};
    }

    // 5 to 7. The script is written before the date is recorded, so that a script that cannot
    // be written leaves DATEUPDATE as it was; a date that cannot be recorded takes the script
    // away again.
    cmdupdate = updateScript();
    const fs::path script = inCurrentDir(kUpdateScript);
    writeScript(script, cmdupdate);
    // The later of today and the published date: an update published for a day still to come
    // is applied once, not at every start until that day.
    const std::chrono::year_month_day recorded = std::max(settings_.today(), mydate);
    const std::string previous = config.finifile2.ReadString(kSection, kLocalKey);
    try {
        config.finifile2.WriteString(kWriteSection, kLocalKey,
                                     DateToStr(recorded, settings_.dateFormat));
    } catch (const Error&) {
        deleteFile(script);
        throw;
    }

    // 8. Windows deletes no running program's file but renames one: set aside, the program's
    // name is free for 7-Zip whether or not this process has ended, and the script's
    // "del VOLNOR_Eplan_DB.exe" finds nothing to delete. Where the interpreter can wait for this
    // process, it runs the script's first line only once the process has ended.
    const fs::path& program = settings_.program;
    const fs::path aside = setAsideName(program);
    std::string text;
    std::error_code error;
    if (!program.empty()) fs::rename(program, aside, error);
    if (error) {
        text = concat("Не удалось переименовать файл программы «", utf8Of(program), "» в «",
                      utf8Of(aside), "» (", error.message(), "): обновление не выполнено");
    } else if (runner_.startDetached(script, settings_.programPid)) {
        return {true, {}};
    } else {
        text = concat("Не удалось запустить сценарий обновления «", utf8Of(script),
                      "»: обновление не выполнено");
        if (!program.empty()) fs::rename(aside, program, error);
        if (error)
            text += concat(". Файл программы остался под именем «", utf8Of(aside), "» (",
                           error.message(), ")");
    }
    // Nothing will apply the update: the program goes on as it was, and the next start tries
    // again.
    deleteFile(script);
    deleteFile(archive);
    try {
        config.finifile2.WriteString(kWriteSection, kLocalKey, previous);
    } catch (const Error& e) {
        (text += ". ") += e.text();
    }
    throw Error(text);
}

}  // namespace volnor::update

#include "download/downloader.h"

#include <algorithm>
#include <system_error>

#include "catalogue/catalogue.h"
#include "download/archive_entries.h"
#include "download/failure_reason.h"
#include "download/script_file.h"
#include "download/transient_file.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/file_search.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "transfer/http_client.h"
#include "transfer/transfer_error.h"

namespace volnor {

namespace fs = std::filesystem;

namespace {

constexpr char kDone[] = "Загрузка завершена!";

// Every name the command uses (archives, scripts, the node folder, EDZ files) is relative to
// the program directory, the process's current directory; made absolute here, and only here.
fs::path inProgramDir(std::string_view name) {
    std::error_code ec;
    return fs::current_path(ec) / pathOf(name);
}

// ExtractFileExt: from the last "." to the end, the dot included.
std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string notSaved(std::string_view path, std::string_view reason) {
    return "не удалось сохранить файл «" + std::string(path) + "»: " + std::string(reason);
}

void removeScript(const fs::path& script) {
    std::error_code ec;
    fs::remove(script, ec);
}

void addOnce(std::vector<std::string>& lines, std::string line) {
    if (std::find(lines.begin(), lines.end(), line) == lines.end())
        lines.push_back(std::move(line));
}

}  // namespace

Downloader::Downloader(HttpClient& http, Progress& progress, Dialogs& dialogs, Shell& shell,
                       const ScriptRunner& runner, const FileSearch& search, Pump pump)
    : http_(http),
      progress_(progress),
      dialogs_(dialogs),
      shell_(shell),
      runner_(runner),
      search_(search),
      pump_(std::move(pump)) {}

Downloader::~Downloader() {
    if (!running_) return;
    running_->wait({});  // the window may be gone: no pump here
    running_.reset();
    removeScript(runningScriptPath_);
}

void Downloader::finishScripts() {
    if (!running_) return;
    ScriptResult result = running_->wait(pump_);
    running_.reset();
    removeScript(runningScriptPath_);
    // The command interpreter of Windows reports no failure of 7-Zip: the files tell.
    const fs::path dir = inProgramDir({});
    if (result.ok) {
        if (auto missing = missingEntry(dir, runningEntries_)) {
            result.ok = false;
            result.errors = std::move(*missing);
        }
    }
    if (!result.ok) removeUnpacked(dir, runningEntries_);
    runningEntries_.clear();
    outcomes_[runningIndex_].unpack = std::move(result);
}

void Downloader::getfile(std::string_view webpro, std::string_view nodeText) {
    fetch(webpro, nodeText, Folder::AfterTransfer);
}

void Downloader::fetch(std::string_view webpro, std::string_view nodeText, Folder folder) {
    const std::string shortweb = catalogue::shortweb(webpro);
    std::error_code ec;
    // CreateDir: one level; a folder that exists already or cannot be made is no error.
    if (folder == Folder::BeforeTransfer) fs::create_directory(inProgramDir(nodeText), ec);

    ArchiveOutcome outcome{shortweb, {}, {}, std::nullopt};
    // The body goes to a file of its own as it arrives, while the previous script may still
    // unpack; a failed transfer removes it.
    TransientFile stream(inProgramDir(shortweb));
    try {
        if (!stream.open()) throw Error(notSaved(shortweb, stream.errorText()));
        http_.Get(std::string(webpro), stream);
    } catch (const TransferError& e) {
        outcome.transferError = failureReason(e);
        stream.discard();
    } catch (const Error& e) {
        outcome.transferError = e.text();
        stream.discard();
    }
    progress_.setPosition(0);

    // The archive takes its name only once the previous script has ended: that script may
    // still read or delete an archive of the same name.
    finishScripts();
    if (outcome.transferError.empty()) {
        if (folder == Folder::AfterTransfer) fs::create_directory(inProgramDir(nodeText), ec);
        if (!stream.commit()) outcome.transferError = notSaved(shortweb, stream.errorText());
    }
    // The file checked is the one the script would unpack, under its final name.
    std::vector<ArchiveEntry> entries;
    if (outcome.transferError.empty()) {
        ZipDirectory zip = readZipDirectory(inProgramDir(shortweb));
        if (auto problem = catalogueArchiveProblem(inProgramDir({}), zip)) {
            outcome.refused = std::move(*problem);
            fs::remove(inProgramDir(shortweb), ec);
            outcomes_.push_back(outcome);
            return;
        }
        entries = std::move(zip.entries);
    }
    outcomes_.push_back(outcome);

    const fs::path script = inProgramDir(shortweb + ".cmd");
    writeScript(script, unpackScript(shortweb));
    running_ = runner_.start(script);
    runningScriptPath_ = script;
    runningEntries_ = std::move(entries);
    runningIndex_ = outcomes_.size() - 1;
}

void Downloader::download(const std::optional<std::string>& currentNode) {
    if (!currentNode) return;
    const std::string& node = *currentNode;
    finishScripts();
    outcomes_.clear();

    std::vector<std::string> menulist;
    catalogue::menuload(menulist);
    if (const auto entry = catalogue::findEntry(menulist, node))
        fetch(entry->webpro, node, Folder::BeforeTransfer);
    if (const catalogue::GroupRow* row = catalogue::findRow(node))
        for (const std::string& url : row->urls) getfile(url, node);
    // The arrangement acts on what the unpacks produced: let the last one end first.
    finishScripts();
    arrange(node);
    report(node);
}

void Downloader::deleteWithExtension(std::string_view mask, std::string_view extension) {
    for (const std::string& name : search_.find({}, mask)) {
        if (extensionOf(name) != extension) continue;
        const fs::path file = inProgramDir(name);
        std::error_code ec;
        // DeleteFile removes files only: a folder of that name stays, as does a file that
        // cannot be deleted.
        if (fs::is_directory(fs::symlink_status(file, ec))) continue;
        fs::remove(file, ec);
    }
}

// A run that ended in the middle of a transfer (a crash, a power cut) left its files aside:
// those of the program's own files in the program directory go, any other ".part" file stays.
void Downloader::deleteLeftovers() {
    for (const std::string& name : search_.find({}, "*.part")) {
        const auto final = transientFinalName(name);
        if (!final || !(final->ends_with(".zip") || final->ends_with(".cmd") ||
                        *final == "eplan-config.ini"))  // the configuration copy of start-up
            continue;
        const fs::path file = inProgramDir(name);
        std::error_code ec;
        if (fs::is_regular_file(fs::symlink_status(file, ec))) fs::remove(file, ec);
    }
}

void Downloader::arrange(std::string_view nodeText) {
    deleteLeftovers();
    deleteWithExtension("*.zip", ".zip");
    deleteWithExtension("*.7z", ".7z");
    const fs::path target = inProgramDir(nodeText);
    for (const std::string& name : search_.find({}, "*.edz")) {
        const fs::path to = target / pathOf(name);
        std::error_code ec;
        // MoveFileW never replaces an existing target: an older file stays as it is. A missing
        // folder fails the rename, and the file stays where it is.
        if (fs::exists(fs::symlink_status(to, ec))) continue;
        fs::rename(inProgramDir(name), to, ec);
    }
}

void Downloader::report(std::string_view nodeText) {
    std::vector<std::string> notFetched;
    std::vector<std::string> notUnpacked;
    for (const ArchiveOutcome& o : outcomes_) {
        if (!o.transferError.empty())
            addOnce(notFetched, "  " + o.archive + ": " + o.transferError);
        else if (!o.refused.empty())
            addOnce(notUnpacked, "  " + o.archive + ": " + o.refused);
        else if (!o.ok())
            addOnce(notUnpacked, "  " + o.archive + ": " +
                                     unpackFailureReason(o.unpack.value_or(ScriptResult{})));
    }
    if (notFetched.empty() && notUnpacked.empty()) {
        dialogs_.confirm(kDone);
    } else {
        std::string text = "Загрузка завершена с ошибками.\n";
        if (!notFetched.empty()) text += "\nНе удалось скачать:\n" + join(notFetched, "\n") + "\n";
        if (!notUnpacked.empty())
            text += "\nНе удалось распаковать:\n" + join(notUnpacked, "\n") + "\n";
        text += "\nПовторите загрузку позже.";
        dialogs_.warning(text);
    }
    const fs::path folder = inProgramDir(nodeText);
    std::error_code ec;
    if (fs::is_directory(folder, ec)) shell_.openFolder(utf8Of(folder));
}

}  // namespace volnor

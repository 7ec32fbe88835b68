#pragma once
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/archive_entries.h"
#include "platform/progress.h"
#include "platform/script_runner.h"

namespace volnor {

class Dialogs;
class FileSearch;
class HttpClient;
class Shell;

// What became of one archive of a run.
struct ArchiveOutcome {
    std::string archive;        // the local file name (shortweb)
    std::string transferError;  // empty when the archive was fetched and saved
    // Why its entries were not let into the program directory; it was then removed, not unpacked.
    std::string refused;
    std::optional<ScriptResult> unpack;  // its unpack script's result, once it has ended
    bool ok() const { return transferError.empty() && refused.empty() && unpack && unpack->ok; }
};

// Fetches product-data archives and has them unpacked in the program directory (the process's
// current directory) by unpack scripts, one after the other: a script starts only when the
// previous one has ended, while the next archive's transfer may run during an unpack.
class Downloader {
public:
    Downloader(HttpClient& http, Progress& progress, Dialogs& dialogs, Shell& shell,
               const ScriptRunner& runner, const FileSearch& search, Pump pump);
    // Waits for a script still running and removes its file.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // getfile: fetches webpro into a file of its own as the body arrives; after a successful
    // transfer creates the folder nodeText and gives the file the archive's name; then checks
    // the archive's entries (an archive that would write outside the program directory, through
    // a link or over the program's own files is removed, and gets no script); then writes and
    // starts its unpack script, also when the transfer failed. Transfer failures and refusals
    // are recorded, not raised; an error writing the script is raised. The progress bar is 0
    // afterwards.
    void getfile(std::string_view webpro, std::string_view nodeText);

    // The download command for the tree's current node (TreeView1DblClick): the node's entry
    // and group archives, then, once every unpack has ended, deletes the ".zip" and ".7z"
    // files and the files aside that broken runs left, moves the EDZ files into the node
    // folder, reports and opens the folder. Does nothing without a current node.
    void download(const std::optional<std::string>& currentNode);

    // Waits for the running unpack script, if any, records its result and removes its file. An
    // unpack that left a file of its archive missing or short failed; the files of a failed
    // unpack are removed.
    void finishScripts();

    // The archives since the start of the last download command (or of this object).
    const std::vector<ArchiveOutcome>& outcomes() const { return outcomes_; }

private:
    enum class Folder { BeforeTransfer, AfterTransfer };
    void fetch(std::string_view webpro, std::string_view nodeText, Folder folder);
    void arrange(std::string_view nodeText);
    void deleteWithExtension(std::string_view mask, std::string_view extension);
    void deleteLeftovers();
    void report(std::string_view nodeText);

    HttpClient& http_;
    Progress& progress_;
    Dialogs& dialogs_;
    Shell& shell_;
    const ScriptRunner& runner_;
    const FileSearch& search_;
    Pump pump_;
    std::vector<ArchiveOutcome> outcomes_;
    std::unique_ptr<RunningScript> running_;
    std::filesystem::path runningScriptPath_;
    std::vector<ArchiveEntry> runningEntries_;  // what the running script's archive holds
    std::size_t runningIndex_ = 0;
};

}  // namespace volnor

#pragma once
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "platform/progress.h"
#include "platform/script_runner.h"

namespace volnor {

class Dialogs;
class HttpClient;
class Shell;

// What became of one archive of a run.
struct ArchiveOutcome {
    QString archive;                     // the local file name (shortweb)
    QString transferError;               // empty when the archive was fetched and saved
    std::optional<ScriptResult> unpack;  // its unpack script's result, once it has ended
    bool ok() const { return transferError.isEmpty() && unpack && unpack->ok; }
};

// Fetches product-data archives and has them unpacked in the program directory (the process's
// current directory) by unpack scripts, one after the other: a script starts only when the
// previous one has ended, while the next archive's transfer may run during an unpack.
class Downloader {
public:
    Downloader(HttpClient& http, Progress& progress, Dialogs& dialogs, Shell& shell,
               ScriptRunner runner, Pump pump);
    // Waits for a script still running and removes its file.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // getfile: fetches webpro into a file of its own as the body arrives; after a successful
    // transfer creates the folder nodeText and gives the file the archive's name; then writes
    // and starts its unpack script, also when the transfer failed. Transfer failures are recorded,
    // not raised; an error writing the script is raised. The progress bar is 0 afterwards.
    void getfile(const QString& webpro, const QString& nodeText);

    // The download command for the tree's current node (TreeView1DblClick): the node's entry
    // and group archives, then, once every unpack has ended, deletes the ".zip" and ".7z"
    // files, moves the EDZ files into the node folder, reports and opens the folder. Does
    // nothing without a current node.
    void download(const std::optional<QString>& currentNode);

    // Waits for the running unpack script, if any, records its result and removes its file.
    void finishScripts();

    // The archives since the start of the last download command (or of this object).
    const std::vector<ArchiveOutcome>& outcomes() const { return outcomes_; }

private:
    enum class Folder { BeforeTransfer, AfterTransfer };
    void fetch(const QString& webpro, const QString& nodeText, Folder folder);
    void arrange(const QString& nodeText);
    void report(const QString& nodeText);

    HttpClient& http_;
    Progress& progress_;
    Dialogs& dialogs_;
    Shell& shell_;
    ScriptRunner runner_;
    Pump pump_;
    std::vector<ArchiveOutcome> outcomes_;
    std::unique_ptr<RunningScript> running_;
    QString runningScriptPath_;
    std::size_t runningIndex_ = 0;
};

}  // namespace volnor

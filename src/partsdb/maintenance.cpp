#include "partsdb/maintenance.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <system_error>
#include <vector>

#include "catalogue/catalogue.h"
#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "platform/text.h"

namespace volnor::partsdb {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kEnginePrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr std::string_view kEnginePassword = ";Jet OLEDB:Database Password=";

// Runs `body` in one transaction of `connection`: all of it takes effect, or none.
void inTransaction(AdoConnection& connection, const std::function<void()>& body) {
    connection.beginTrans();
    try {
        body();
        connection.commitTrans();
    } catch (...) {
        try {
            connection.rollbackTrans();
        } catch (const Error&) {
            // The first error is the one to report.
        }
        throw;
    }
}

// Restores the process's current directory when the scope ends, however it ends.
class CurrentDirGuard {
public:
    CurrentDirGuard() : saved_(fs::current_path(ec_)) {}
    ~CurrentDirGuard() {
        if (!ec_) fs::current_path(saved_, ec_);
    }
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::error_code ec_;
    fs::path saved_;
};

// DeleteFile: removes a file, never a folder; the result is not used.
void deleteFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec))) fs::remove(path, ec);
}

// Every occurrence of `from` (ASCII), compared without regard to letter case, replaced by `to`.
std::string replaceNoCase(const std::string& text, std::string_view from, std::string_view to) {
    const std::string lower = asciiLower(text);
    const std::string key = asciiLower(from);
    std::string out;
    std::size_t start = 0;
    for (std::size_t at; (at = lower.find(key, start)) != std::string::npos;
         start = at + key.size())
        out.append(text, start, at - start).append(to);
    return out.append(text, start);
}

// GetTempFileNameW: creates an empty file with a new name beginning with "mdb" in `folder`
// (which ends in a separator) and returns its path.
std::string makeTempFile(const std::string& folder) {
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "mdb";
        for (int k = 0; k < 6; ++k) name += kLetters[pick(random)];
        name += ".tmp";
        std::error_code ec;
        if (fs::exists(fs::symlink_status(pathOf(name), ec))) continue;
        errno = 0;
        std::ofstream created(pathOf(name), std::ios::binary);
        if (!created)
            throw Error(text::noTemporaryFile(folder, std::strerror(errno ? errno : EIO)));
        return name;
    }
    throw Error(text::noTemporaryFile(folder, std::strerror(EEXIST)));
}

// Whether two names stand for one file: the same absolute path, or one existing file.
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ea, eb, ec;
    const fs::path x = fs::absolute(a, ea).lexically_normal();
    const fs::path y = fs::absolute(b, eb).lexically_normal();
    return (!ea && !eb && x == y) || fs::equivalent(a, b, ec);
}

}  // namespace

PartsMaintenance::PartsMaintenance(Dialogs& dialogs, db::Engine& engine, const FileSearch& files,
                                   WinPaths paths)
    : dialogs_(dialogs),
      engine_(engine),
      files_(files),
      paths_(std::move(paths)),
      connection_(engine) {}

fs::path PartsMaintenance::macroFolder() const { return paths_.native(std::string(kMacroFolder)); }

void PartsMaintenance::runStatement(const std::string& sql, const std::optional<std::string>& k1) {
    query_.sqlClear();
    query_.sqlAdd(sql);
    if (k1) query_.setParam("k1", *k1);
    query_.execSql();
}

void PartsMaintenance::chooseDatabase() {
    const CurrentDirGuard lastdir;
    const std::string connstr = connectionTemplate();
    const auto chosen =
        dialogs_.chooseFile(std::string(kChooserTitle), std::string(kChooserFilter));
    if (!chosen) return;
    connection_.setConnected(false);
    const std::string pathbd = replaceNoCase(connstr, kPlaceholder, *chosen);
    connection_.setConnectionString(pathbd);
    connection_.setConnected(true);
    dialogs_.confirm(std::string(kConnectedText));
}

void PartsMaintenance::clearsql(const std::string& param) {
    inTransaction(connection_, [&] {
        runStatement(
            "DELETE * from tblFunctionTemplate  where id in (select id from tblpart where "
            "[tblpart].[typenr]like '%" +
            param + "%')");
        runStatement(
            "DELETE * from tblVariant  where id in (select id from tblpart where "
            "[tblpart].[typenr]like '%" +
            param + "%')");
        runStatement("DELETE * from tblpart  where [tblpart].[typenr]like '%" + param + "%'");
    });
}

void PartsMaintenance::dfile(int number, const std::string& str) {
    if (number <= 0) return;
    // One scan serves every token: a file goes when any of the first `number` tokens is in its
    // name, which deletes the same files as a scan per token.
    std::string_view rest = str;
    std::vector<std::string_view> tokens;
    for (int i = 0; i < number; ++i) {
        const std::size_t p = rest.find(';');
        if (p == std::string_view::npos) break;  // the remaining passes would get an empty token
        if (p > 0) tokens.push_back(rest.substr(0, p));
        rest.remove_prefix(p + 1);
    }
    if (tokens.empty()) return;
    const fs::path folder = macroFolder();
    for (const std::string& name : files_.find(folder, "*.ema")) {
        const bool hit = std::any_of(tokens.begin(), tokens.end(), [&](std::string_view tek) {
            return name.find(tek) != std::string::npos;
        });
        if (hit) deleteFile(folder / pathOf(name));
    }
}

void PartsMaintenance::CompactDatabase_JRO(const std::string& db, const std::string& dest,
                                           const std::string& password) {
    std::string copy;  // the temporary file of a compaction in place, removed unless it replaced db
    try {
        std::string src = std::string(kEnginePrefix) + db;
        std::string name;
        if (!dest.empty()) {
            // Deleting the destination first would delete the source itself.
            if (sameFile(pathOf(dest), pathOf(db))) throw Error(text::copyOntoItself(dest));
            name = dest;
        } else {
            const std::size_t sep = db.find_last_of("/\\");
            std::string tempPath = sep == std::string::npos ? std::string() : db.substr(0, sep + 1);
            if (tempPath.empty()) {
                std::error_code ec;
                tempPath = utf8Of(fs::current_path(ec)) + '/';
            }
            name = makeTempFile(tempPath);
            copy = name;
        }
        deleteFile(pathOf(name));
        std::string destination = std::string(kEnginePrefix) + name;
        if (!password.empty()) {
            src += std::string(kEnginePassword) + password;
            destination += std::string(kEnginePassword) + password;
        }
        // The engine holds the source from its first read until the copy has replaced it.
        const std::unique_ptr<db::Compaction> engine = engine_.compaction(src);
        engine->writeCopy(destination);
        if (dest.empty()) {
            engine->replaceSource(pathOf(name));
            copy.clear();
        }
    } catch (const Error& e) {
        if (!copy.empty()) engine_.removeDatabaseFiles(pathOf(copy));
        // Before any choice the source is the placeholder, which is no file to speak of.
        dialogs_.showMessage(db == kPlaceholder ? text::noDatabaseChosen() : e.text());
    }
}

bool PartsMaintenance::contextMenuVisible(const std::optional<std::string>& currentNode) {
    if (currentNode && !currentNode->empty()) groupRemovalVisible_ = true;
    return groupRemovalVisible_;
}

void PartsMaintenance::removeGroup(const std::optional<std::string>& currentNode) {
    if (!currentNode) return;  // nothing is selected: nothing to remove, nothing to compact
    for (const RemovalEntry& entry : removalTable()) {
        if (!catalogue::sameText(entry.key, *currentNode)) continue;
        for (const RemovalStep& step : entry.steps) {
            if (step.kind == RemovalStep::Kind::ClearSql)
                clearsql(step.text);
            else
                dfile(step.count, step.text);
        }
    }
    connection_.setConnected(false);
    CompactDatabase_JRO(connection_.databaseFile(), std::string(), std::string());
    connection_.setConnected(true);
    dialogs_.confirm(std::string(kRemovedText));
}

void PartsMaintenance::removeAllMakerParts() {
    const std::string maker(kMakerName);
    inTransaction(connection_, [&] {
        runStatement(
            "DELETE * from tblFunctionTemplate  where id in (select id from tblpart where "
            "[tblpart].[manufacturer]=:k1)",
            maker);
        runStatement(
            "DELETE * from tblVariant  where id in (select id from tblpart where "
            "[tblpart].[manufacturer]=:k1)",
            maker);
        runStatement("DELETE * from tblpart  where [tblpart].[manufacturer]=:k1", maker);
    });
    const fs::path folder = macroFolder();
    for (const std::string& name : files_.find(folder, "*.ema")) deleteFile(folder / pathOf(name));
    dialogs_.confirm(std::string(kRemovedText));
}

}  // namespace volnor::partsdb

#pragma once
// The parts-database commands of the main window: choosing the database, removal by type-number
// pattern and by maker, macro file removal, the group removal and compaction. The window binds
// each of its events to one operation here.
#include <optional>
#include <string>
#include <string_view>

#include "partsdb/ado.h"
#include "partsdb/texts.h"
#include "platform/database.h"
#include "platform/dialogs.h"
#include "platform/file_search.h"
#include "platform/paths.h"

namespace volnor::partsdb {

inline constexpr std::string_view kMacroFolder =
    "C:\\Users\\Public\\EPLAN\\Data\\Макросы\\VOLNOR\\";
inline constexpr std::string_view kMakerName = "ВОЛНОР";

class PartsMaintenance {
public:
    PartsMaintenance(Dialogs& dialogs, db::Engine& engine, const FileSearch& files, WinPaths paths);

    AdoConnection& ADOConnection1() { return connection_; }
    AdoQuery& ADOQuery1() { return query_; }

    // "путь к базе": choose the database file, connect to it and confirm. Throws volnor::Error
    // when the file cannot be opened; the current directory is restored in every case.
    void chooseDatabase();

    // Deletes the parts whose type number contains `param`, with their variants and function
    // templates, in one transaction. Throws volnor::Error.
    void clearsql(const std::string& param);

    // Deletes the macro files whose names contain one of the first `number` tokens of `str`.
    void dfile(int number, const std::string& str);

    // Compacts `db` to `dest`, or in place when `dest` is empty; shows a failure in a message box.
    void CompactDatabase_JRO(const std::string& db, const std::string& dest,
                             const std::string& password);

    // The tree's context-menu request with the current node's text; returns whether the item
    // "Удаление группы" is visible. It appears with the first request that has a current node
    // with a text and stays.
    bool contextMenuVisible(const std::optional<std::string>& currentNode);
    bool groupRemovalVisible() const { return groupRemovalVisible_; }

    // "Удаление группы": the removal table's entry for the current node, then compaction in
    // place and the confirmation. Throws volnor::Error.
    void removeGroup(const std::optional<std::string>& currentNode);

    // "удалить всю базу": every part of the maker and every macro file. Throws volnor::Error.
    void removeAllMakerParts();

private:
    void runStatement(const std::string& sql, const std::optional<std::string>& k1 = {});
    std::filesystem::path macroFolder() const;

    Dialogs& dialogs_;
    db::Engine& engine_;
    const FileSearch& files_;
    WinPaths paths_;
    AdoConnection connection_;
    AdoQuery query_{connection_};
    bool groupRemovalVisible_ = false;
};

}  // namespace volnor::partsdb

#pragma once
// The parts-database commands of the main window: choosing the database, removal by type-number
// pattern and by maker, macro file removal, the group removal and compaction. The window forwards
// each of its events to one operation here.
#include <QString>
#include <QStringView>
#include <optional>

#include "partsdb/ado.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

namespace volnor::partsdb {

inline constexpr QStringView kMacroFolder = u"C:\\Users\\Public\\EPLAN\\Data\\Макросы\\VOLNOR\\";
inline constexpr QStringView kChooserTitle = u"Подключение базы данных Eplan";
// "Eplan MDB base|*.mdb" in the form a Qt file dialog takes.
inline constexpr QStringView kChooserFilter = u"Eplan MDB base (*.mdb)";
inline constexpr QStringView kConnectedText = u"База успешно подключена!";
inline constexpr QStringView kRemovedText = u"Удаление завершено успешно!";
inline constexpr QStringView kMakerName = u"ВОЛНОР";

class PartsMaintenance {
public:
    PartsMaintenance(Dialogs& dialogs, WinPaths paths);

    AdoConnection& ADOConnection1() { return connection_; }
    AdoQuery& ADOQuery1() { return query_; }

    // "путь к базе": choose the database file and connect to it.
    void ToolButton7Click();

    // Deletes the parts whose type number contains `param`, with their variants and function
    // templates, in one transaction. Throws volnor::Error.
    void clearsql(const QString& param);

    // Deletes the macro files whose names contain one of the first `number` tokens of `str`.
    void dfile(int number, const QString& str);

    // Compacts `db` to `dest`, or in place when `dest` is empty; shows a failure in a message box.
    void CompactDatabase_JRO(const QString& db, const QString& dest, const QString& password);

    // The tree's context-menu request; returns whether "Удаление группы" is visible.
    bool TreeView1ContextPopup(const std::optional<QString>& currentNode);
    bool n1Visible() const { return n1Visible_; }

    // "Удаление группы": the removal table's entry for the current node, then compaction.
    void N1Click(const std::optional<QString>& currentNode);

    // "удалить всю базу": every part of the maker and every macro file.
    void ToolButton4Click();

private:
    void runStatement(const QString& sql, const std::optional<QString>& k1 = std::nullopt);
    QString macroFolder() const;

    Dialogs& dialogs_;
    WinPaths paths_;
    AdoConnection connection_;
    AdoQuery query_{connection_};
    bool n1Visible_ = false;
};

}  // namespace volnor::partsdb

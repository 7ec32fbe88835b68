#pragma once
// Every text that the parts-database commands give the user themselves, in one place so that
// they can be read and checked together. The database engine's own texts come from the
// platform's implementation (on Linux: src/platform/posix/jet_texts.h).
#include <string>
#include <string_view>

namespace volnor::partsdb {

inline constexpr std::string_view kChooserTitle = "Подключение базы данных Eplan";
inline constexpr std::string_view kChooserFilter = "Eplan MDB base|*.mdb";
inline constexpr std::string_view kConnectedText = "База успешно подключена!";
inline constexpr std::string_view kRemovedText = "Удаление завершено успешно!";

namespace text {

// A command ran before any database file was chosen.
std::string noDatabaseChosen();
// The statement text has no parameter of that name.
std::string parameterNotFound(std::string_view name);
// The connection string cannot be read at the option `option`.
std::string badConnectionOption(std::string_view option);
// Compaction in place found no room for its temporary file in `folder`.
std::string noTemporaryFile(std::string_view folder, std::string_view why);
// A compaction was asked to write its copy over the database itself.
std::string copyOntoItself(std::string_view dest);

}  // namespace text
}  // namespace volnor::partsdb

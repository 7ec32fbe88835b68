#pragma once
// The edge between the core's UTF-8 strings and paths and Qt's strings.
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace volnor::ui {

inline QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
// Strings and literals convert to a path as well: these say which of the two they are.
inline QString qs(const std::string& utf8) { return qs(std::string_view(utf8)); }
inline QString qs(const char* utf8) { return qs(std::string_view(utf8)); }
inline std::string str(const QString& text) { return text.toStdString(); }
QString qs(const std::filesystem::path& path);

}  // namespace volnor::ui

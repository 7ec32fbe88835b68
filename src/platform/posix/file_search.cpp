#include "platform/posix/file_search.h"

#include <QDir>

#include "platform/text.h"

namespace volnor::posix {

std::vector<std::string> PosixFileSearch::find(const std::filesystem::path& folder,
                                               std::string_view mask) const {
    const std::string name = folder.empty() ? std::string(".") : utf8Of(folder);
    const QDir dir(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!dir.exists()) return {};
    const QStringList found = dir.entryList(
        {QString::fromUtf8(mask.data(), static_cast<qsizetype>(mask.size()))},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(found.size()));
    for (const QString& entry : found) out.push_back(entry.toStdString());
    return out;
}

}  // namespace volnor::posix

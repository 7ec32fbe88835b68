#include "support/recorders.h"

namespace volnor::test {

void RecordingDialogs::confirm(const QString& text) {
    shown.push_back({ShownBox::Kind::Confirm, {}, text});
}
void RecordingDialogs::warning(const QString& text) {
    shown.push_back({ShownBox::Kind::Warning, {}, text});
}
void RecordingDialogs::showMessage(const QString& text) {
    shown.push_back({ShownBox::Kind::Message, {}, text});
}
void RecordingDialogs::errorReport(const QString& title, const QString& text) {
    shown.push_back({ShownBox::Kind::ErrorReport, title, text});
}
std::optional<QString> RecordingDialogs::chooseFile(const QString& title, const QString& filter) {
    chooserTitles << title;
    chooserFilters << filter;
    if (nextFiles.empty() || !nextFiles.front()) {
        if (!nextFiles.empty()) nextFiles.pop_front();
        return std::nullopt;
    }
    // Built from the string, not copied as an optional: GCC 12 at -O2 takes the optional's copy
    // for a read of an unset QString (-Wmaybe-uninitialized).
    const QString answer = *nextFiles.front();
    nextFiles.pop_front();
    return answer;
}
QStringList RecordingDialogs::texts() const {
    QStringList out;
    for (const auto& box : shown) out << box.text;
    return out;
}

}  // namespace volnor::test

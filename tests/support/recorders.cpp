#include "support/recorders.h"

namespace volnor::test {

void RecordingDialogs::confirm(const std::string& text) {
    shown.push_back({ShownBox::Kind::Confirm, {}, text});
}
void RecordingDialogs::warning(const std::string& text) {
    shown.push_back({ShownBox::Kind::Warning, {}, text});
}
void RecordingDialogs::showMessage(const std::string& text) {
    shown.push_back({ShownBox::Kind::Message, {}, text});
}
void RecordingDialogs::errorReport(const std::string& title, const std::string& text) {
    shown.push_back({ShownBox::Kind::ErrorReport, title, text});
}
std::optional<std::string> RecordingDialogs::chooseFile(const std::string& title,
                                                        const std::string& filter) {
    chooserTitles.push_back(title);
    chooserFilters.push_back(filter);
    if (nextFiles.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(nextFiles.front());
    nextFiles.pop_front();
    return answer;
}
std::vector<std::string> RecordingDialogs::texts() const {
    std::vector<std::string> out;
    for (const auto& box : shown) out.push_back(box.text);
    return out;
}

}  // namespace volnor::test

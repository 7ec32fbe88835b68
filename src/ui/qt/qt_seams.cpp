#include "ui/qt/qt_seams.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "ui/qt/qt_text.h"

namespace volnor::ui {

namespace {
void box(QWidget* owner, QMessageBox::Icon icon, const QString& title, const std::string& text,
         QMessageBox::StandardButton button) {
    QMessageBox message(icon, title, qs(text), button, owner);
    message.exec();
}
}  // namespace

QtDialogs::QtDialogs(std::string applicationTitle) : title_(std::move(applicationTitle)) {}

void QtDialogs::confirm(const std::string& text) {
    box(owner_, QMessageBox::Question, QStringLiteral("Подтверждение"), text, QMessageBox::Yes);
}

void QtDialogs::warning(const std::string& text) {
    box(owner_, QMessageBox::Warning, QStringLiteral("Предупреждение"), text, QMessageBox::Ok);
}

void QtDialogs::showMessage(const std::string& text) {
    box(owner_, QMessageBox::NoIcon, qs(title_), text, QMessageBox::Ok);
}

void QtDialogs::errorReport(const std::string& title, const std::string& text) {
    box(owner_, QMessageBox::Critical, qs(title), text, QMessageBox::Ok);
}

QString QtDialogs::qtFilter(const std::string& filter) {
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], masks);
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<std::string> QtDialogs::chooseFile(const std::string& title,
                                                 const std::string& filter) {
    const QString file =
        QFileDialog::getOpenFileName(owner_, qs(title), QString(), qtFilter(filter));
    if (file.isEmpty()) return std::nullopt;
    return str(file);
}

void QtShell::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(qs(url), QUrl::TolerantMode));
}

void QtShell::openFolder(const std::string& folder) {
    const QFileInfo path(qs(paths_.native(folder)));
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path.absoluteFilePath())));
}

}  // namespace volnor::ui

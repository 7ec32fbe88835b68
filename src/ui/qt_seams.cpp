#include "ui/qt_seams.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace volnor::ui {

namespace {
void box(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
         QMessageBox::StandardButton button) {
    QMessageBox message(icon, title, text, button, owner);
    message.exec();
}
}  // namespace

QtDialogs::QtDialogs(QString applicationTitle) : title_(std::move(applicationTitle)) {}

void QtDialogs::confirm(const QString& text) {
    box(owner_, QMessageBox::Question, QStringLiteral("Подтверждение"), text, QMessageBox::Yes);
}

void QtDialogs::warning(const QString& text) {
    box(owner_, QMessageBox::Warning, QStringLiteral("Предупреждение"), text, QMessageBox::Ok);
}

void QtDialogs::showMessage(const QString& text) {
    box(owner_, QMessageBox::NoIcon, title_, text, QMessageBox::Ok);
}

void QtDialogs::errorReport(const QString& title, const QString& text) {
    box(owner_, QMessageBox::Critical, title, text, QMessageBox::Ok);
}

std::optional<QString> QtDialogs::chooseFile(const QString& title, const QString& filter) {
    const QString file = QFileDialog::getOpenFileName(owner_, title, QString(), filter);
    if (file.isEmpty()) return std::nullopt;
    return file;
}

void QtShell::openUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

void QtShell::openFolder(const QString& folder) {
    const QFileInfo path(paths_.native(folder));
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path.absoluteFilePath())));
}

}  // namespace volnor::ui

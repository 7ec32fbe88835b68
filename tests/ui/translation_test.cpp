// Qt's own buttons and dialogs in Russian, whatever the locale: the product's message boxes
// and file chooser as they open.
#include "ui/qt/translation.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTranslator>
#include <functional>

#include "ui/qt/qt_seams.h"

namespace {

// The texts of the buttons of the modal dialog that the operation opens; the dialog is closed
// as soon as it is shown.
QStringList buttonsOfTheDialog(const std::function<void()>& open) {
    QStringList texts;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        for (const auto* box : dialog->findChildren<QDialogButtonBox*>())
            for (const QAbstractButton* button : box->buttons()) texts << button->text();
        dialog->close();
    });
    open();
    return texts;
}

TEST(Translation, StandardButtonsAndTheFileChooserSpeakRussianInAnEnglishLocale) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTranslator translator;
    ASSERT_TRUE(volnor::ui::installRussianTranslation(translator));

    volnor::ui::QtDialogs dialogs("Volnor_eplan_db");
    EXPECT_EQ(buttonsOfTheDialog([&] { dialogs.confirm("Загрузка завершена!"); }),
              QStringList{QStringLiteral("&Да")});
    EXPECT_EQ(buttonsOfTheDialog([&] { dialogs.warning("Предупреждение"); }),
              QStringList{QStringLiteral("OK")});
    EXPECT_EQ(buttonsOfTheDialog([&] { dialogs.errorReport("T", "x."); }),
              QStringList{QStringLiteral("OK")});

    // The file chooser's own labels, and the title and filter it was asked for, the filter
    // from the program's "Description|masks" form.
    QStringList chooser;
    QString title;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        chooser << dialog->labelText(QFileDialog::Accept) << dialog->labelText(QFileDialog::Reject)
                << dialog->labelText(QFileDialog::LookIn)
                << dialog->labelText(QFileDialog::FileType);
        dialog->reject();
    });
    EXPECT_EQ(dialogs.chooseFile("Выбор базы", "База|*.mdb;*.MDB|Все файлы|*.*"), std::nullopt);
    EXPECT_EQ(title, QStringLiteral("Выбор базы"));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("База (*.mdb *.MDB)"),
                                    QStringLiteral("Все файлы (*.*)")}));
    ASSERT_EQ(chooser.size(), 4);
    EXPECT_EQ(chooser[0], QStringLiteral("&Открыть"));
    EXPECT_EQ(chooser[1], QStringLiteral("Отмена"));
    for (const QString& label : chooser)
        EXPECT_FALSE(label.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3}"))))
            << label.toStdString();
    QCoreApplication::removeTranslator(&translator);
}

}  // namespace

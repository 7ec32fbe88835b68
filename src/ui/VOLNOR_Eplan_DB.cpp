// The program's main block.
#include <QApplication>
#include <QTranslator>
#include <cstdio>

#include "platform/paths.h"
#include "ui/Unit1.h"
#include "ui/error_report.h"
#include "ui/qt_seams.h"
#include "ui/style.h"
#include "ui/translation.h"

int main(int argc, char** argv) {
    using namespace volnor;
    QApplication app(argc, argv);
    // Before the first widget: standard buttons take their texts when they are made.
    QTranslator qtRussian;
    if (!ui::installRussianTranslation(qtRussian))
        std::fputs(
            "Не найден русский перевод Qt (qtbase_ru.qm): стандартные кнопки и диалоги "
            "остаются на английском.\n",
            stderr);
    ui::installFontSubstitutions();
    const QString title = ui::applicationTitle(QCoreApplication::applicationFilePath());
    ui::QtDialogs dialogs(title);
    const WinPaths paths = WinPaths::forUser();
    ui::QtShell shell(paths);

    ui::TrySetStyle(QString::fromLatin1(ui::kStyleName), dialogs, title);

    // The window is created, with its start-up run, before it is shown.
    ui::TForm1 Form1(dialogs, shell, paths, QCoreApplication::applicationDirPath(),
                     ui::TForm1::buildConnectTo());
    dialogs.setOwner(&Form1);
    Form1.show();
    return app.exec();
}

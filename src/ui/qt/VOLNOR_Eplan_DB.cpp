// The program's main block.
#include <QApplication>
#include <QIcon>
#include <QTranslator>
#include <cstdio>

#include "app/app.h"
#include "platform/paths.h"
#include "platform/posix/system.h"
#include "platform/posix/user_paths.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/images.h"
#include "ui/qt/qt_seams.h"
#include "ui/qt/style.h"
#include "ui/qt/translation.h"

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
    QIcon icon;
    for (int side : {16, 32, 48, 256}) icon.addPixmap(ui::programIcon(side));
    QApplication::setWindowIcon(icon);
    const std::filesystem::path executable = posix::PosixSystem().executablePath();
    const std::string title = app::applicationTitle(executable);
    ui::QtDialogs dialogs(title);
    const WinPaths paths(posix::userDriveFolder());
    ui::QtShell shell(paths);

    ui::TrySetStyle(QString::fromLatin1(ui::kStyleName), dialogs, title);

    // The window is created, with its start-up run, before it is shown.
    ui::TForm1 Form1(dialogs, shell, paths, executable.parent_path(), ui::TForm1::buildConnectTo());
    dialogs.setOwner(&Form1);
    Form1.show();
    return app.exec();
}

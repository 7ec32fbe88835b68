// The program's main block.
#include <QApplication>

#include "platform/paths.h"
#include "ui/Unit1.h"
#include "ui/error_report.h"
#include "ui/qt_seams.h"
#include "ui/style.h"

int main(int argc, char** argv) {
    using namespace volnor;
    QApplication app(argc, argv);
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

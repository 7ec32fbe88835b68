#include "ui/Unit2.h"

#include <QFont>
#include <QFontMetrics>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace volnor::ui {

const QStringList& TFrame2::instructionLines() {
    // 45 pairs of a hyphen and a blank, and one blank more.
    static const QString kRule = QStringLiteral("- ").repeated(45) + QLatin1Char(' ');
    static const QStringList lines = {
        QStringLiteral("0. Для скачивания файлов щелкните два раза левой кнопкой мыши на группу "
                       "продукции из списка, "),
        QStringLiteral("дождитесь получения сообщения о успешном завершении скачивания. "),
        kRule,
        QStringLiteral("Импорт файлов осуществляется средствами EPLAN Electric P8: "),
        kRule,
        QStringLiteral("1.Откройте базу данных изделий;  "),
        QString(),
        QStringLiteral("2.Выберите Дополнительно -> Импортировать;  "),
        QString(),
        QStringLiteral("3.Выберите из раскрывающегося списка тип файла «Формат обмена данными "
                       "EPLAN Data Portal (EDZ)»;  "),
        QString(),
        QStringLiteral("4.В поле «Имя файла» укажите файлы, необходимые для импорта (возможен "
                       "многократный выбор);  "),
        QString(),
        QStringLiteral("5.Щелкните по кнопке «ОК». "),
        kRule,
        QStringLiteral("Для удаления продукции ВОЛНОР необходимо  подключить в программе базу "
                       "данных EPLAN Electric P8: "),
        QLatin1Char(' ') + kRule.trimmed() + QLatin1Char(' '),
        QStringLiteral(" 1. Нажмите в меню программы кнопку \"Путь к базе\"; "),
        QString(),
        QStringLiteral("2. В диалоговом окне выберите MDB файл базы данных;"),
        QString(),
        QStringLiteral("3. По умолчанию база данных лежит по следующему пути: "
                       "C:\\Users\\Public\\EPLAN\\Data\\Элементы"),
        QStringLiteral("\\ESS_part001.mdb"),
        QString(),
        QStringLiteral("4. Выделить из списка продукцию и нажать правой кнопкой мыши по заголовку "
                       "выбрав из контекстного "),
        QStringLiteral("меню пункт \"Удаление группы\"."),
    };
    return lines;
}

TFrame2::TFrame2(QWidget* parent) : QFrame(parent), Memo1(new QTextEdit(this)) {
    setObjectName(QStringLiteral("Frame2"));
    resize(kSize);
    // Opaque like the window: nothing of what lies beneath shows around the memo.
    setAutoFillBackground(true);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(3, 3, 694, 454);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(15);
    Memo1->setFont(font);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QTextEdit::WidgetWidth);
    Memo1->setAcceptRichText(false);
    Memo1->setPlainText(instructionLines().join(QLatin1Char('\n')));
    // A plain text layout rounds every line up to the next pixel: 26 lines of 18 pixels with
    // the fonts that stand in for Times New Roman would not fit the 454 pixels of the field.
    // Lines typed later take the format of the line they are typed in.
    QTextBlockFormat spacing;
    spacing.setLineHeight(Memo1->fontMetrics().lineSpacing(), QTextBlockFormat::FixedHeight);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(spacing);
    Memo1->document()->clearUndoRedoStacks();
}

}  // namespace volnor::ui

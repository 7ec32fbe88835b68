#include "ui/qt/Unit2.h"

#include "app/app.h"
#include "platform/text.h"
#include "ui/qt/qt_layout.h"
#include "ui/qt/qt_text.h"

#include <QFont>
#include <QFontMetrics>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace volnor::ui {

TFrame2::TFrame2(QWidget* parent) : QFrame(parent), Memo1(new QTextEdit(this)) {
    setObjectName(QStringLiteral("Frame2"));
    resize(kSize);
    // Opaque like the window: nothing of what lies beneath shows around the memo.
    setAutoFillBackground(true);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(qRect(app::layout::kFrame2Memo));
    Memo1->setFont(qFont(app::layout::kInstructionFont));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QTextEdit::WidgetWidth);
    Memo1->setAcceptRichText(false);
    Memo1->setPlainText(qs(join(app::instructionLines(), "\n")));
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

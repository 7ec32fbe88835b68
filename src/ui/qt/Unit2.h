#pragma once
#include <QFrame>
#include <QTextEdit>

#include "app/window_layout.h"

namespace volnor::ui {

// The instructions panel: one editable memo with the user's workflow. What the user types into
// it lasts until the program ends. A plain-text field whose lines keep the font's line spacing
// in whole pixels, so that the whole text fits the field, which has no scroll bars.
class TFrame2 : public QFrame {
    Q_OBJECT
public:
    static constexpr QSize kSize{app::layout::kFrame2Size.width, app::layout::kFrame2Size.height};
    explicit TFrame2(QWidget* parent = nullptr);

    QTextEdit* Memo1;
};

}  // namespace volnor::ui

#pragma once
// The shared window layout's values as Qt takes them.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>

#include "app/window_layout.h"

namespace volnor::ui {

inline QRect qRect(const app::layout::Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

inline QSize qSize(const app::layout::Size& s) { return QSize(s.width, s.height); }

inline QColor qColor(app::layout::Rgb c) { return QColor(c.red(), c.green(), c.blue()); }

inline QFont qFont(const app::layout::Font& f) {
    QFont font(QString::fromLatin1(f.family));
    font.setPixelSize(f.pixels);
    return font;
}

}  // namespace volnor::ui

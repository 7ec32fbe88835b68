#include "ui/qt/images.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace volnor::ui {

namespace {

constexpr int kSide = 32;

using Symbol = void (*)(QPainter&);

void house(QPainter& p) {
    p.drawPolygon(QPolygonF({{16, 7}, {26, 16}, {23, 16}, {23, 25}, {9, 25}, {9, 16}, {6, 16}}));
    p.setBrush(QColor(0x1f, 0x5f, 0xc8));
    p.drawRect(QRectF(14, 19, 4, 6));
}

void sheet(QPainter& p) {
    p.drawPolygon(QPolygonF({{10, 6}, {19, 6}, {23, 10}, {23, 26}, {10, 26}}));
    QPen line(QColor(0xd2, 0x2b, 0x2b), 1.5);
    p.setPen(line);
    for (int y = 13; y <= 22; y += 3) p.drawLine(QPointF(13, y), QPointF(20, y));
}

void arrowDown(QPainter& p) {
    p.drawPolygon(QPolygonF({{13, 6}, {19, 6}, {19, 16}, {24, 16}, {16, 26}, {8, 16}, {13, 16}}));
}

void lightning(QPainter& p) {
    p.drawPolygon(QPolygonF({{18, 5}, {9, 18}, {15, 18}, {13, 27}, {23, 13}, {17, 13}}));
}

void envelope(QPainter& p) {
    p.drawRect(QRectF(7, 10, 18, 13));
    p.setPen(QPen(QColor(0xe0, 0xa8, 0x00), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{7.5, 10.5}, {16, 18}, {24.5, 10.5}}));
}

void cloud(QPainter& p) {
    QPainterPath path;
    path.addEllipse(QRectF(7, 14, 10, 9));
    path.addEllipse(QRectF(11, 9, 11, 11));
    path.addEllipse(QRectF(17, 13, 9, 10));
    path.addRect(QRectF(11, 17, 11, 6));
    p.drawPath(path.simplified());
}

void gear(QPainter& p) {
    QPainterPath path;
    const QPointF c(16, 16);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-2.5, -11, 5, 6));
        path.addPath(QTransform().translate(c.x(), c.y()).rotate(45.0 * i).map(tooth));
    }
    path.addEllipse(c, 7.5, 7.5);
    QPainterPath hole;
    hole.addEllipse(c, 3, 3);
    p.drawPath(path.simplified().subtracted(hole));
}

void arrowIntoTray(QPainter& p) {
    p.drawPolygon(QPolygonF({{13, 5}, {19, 5}, {19, 13}, {24, 13}, {16, 21}, {8, 13}, {13, 13}}));
    p.drawPolygon(QPolygonF({{7, 19}, {10, 19}, {10, 23}, {22, 23}, {22, 19}, {25, 19}, {25, 26},
                             {7, 26}}));
}

// A disc drawn on the 32-unit grid of the toolbar's images, scaled to side pixels.
QPixmap disc(QColor colour, Symbol symbol, int side = kSide) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / double(kSide), side / double(kSide));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, kSide - 1, kSide - 1));
    p.setBrush(Qt::white);
    symbol(p);
    return pixmap;
}

}  // namespace

QList<QPixmap> toolbarImages() {
    const QColor blue(0x1f, 0x5f, 0xc8), red(0xd2, 0x2b, 0x2b), green(0x2e, 0x9d, 0x3f),
        yellow(0xf2, 0xba, 0x12), orange(0xf0, 0x7c, 0x1a);
    return {disc(blue, house),      disc(red, sheet),  disc(red, arrowDown), disc(green, lightning),
            disc(yellow, envelope), disc(blue, cloud), disc(orange, gear)};
}

QPixmap programIcon(int side) { return disc(QColor(0x1f, 0x4e, 0x9c), arrowIntoTray, side); }

QPixmap logoImage() {
    QPixmap pixmap(145, 44);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A sapphire bar under the letters, the letters themselves in the same blue.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x9c));
    p.drawRoundedRect(QRectF(2, 36, 141, 5), 2, 2);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(font);
    p.setPen(QColor(0x1f, 0x4e, 0x9c));
    p.drawText(QRectF(0, 0, 145, 36), Qt::AlignCenter, QStringLiteral("ВОЛНОР"));
    return pixmap;
}

}  // namespace volnor::ui

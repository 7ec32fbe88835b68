#pragma once
#include <QList>
#include <QPixmap>

namespace volnor::ui {

// The seven toolbar images, 32 x 32 with alpha, in ImageList1's order: a house (blue), a sheet
// (red), a downward arrow (red), a lightning flash (green), an envelope (yellow), a cloud (blue),
// a gear wheel (orange); each a flat disc with a white symbol.
QList<QPixmap> toolbarImages();

// The maker's wordmark, 145 x 44, transparent around the letters.
QPixmap logoImage();

}  // namespace volnor::ui

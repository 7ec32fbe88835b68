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

// The program's icon, side x side with alpha, in the toolbar's style: a sapphire disc with a
// white arrow down onto a tray (the catalogue comes to the user's database).
QPixmap programIcon(int side);

}  // namespace volnor::ui

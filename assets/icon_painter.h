#pragma once

#include <QByteArray>
#include <QImage>

// The client's application icon, drawn from one description at any size:
// a blue card behind a white one that carries a red plus and a dark equals
// sign, the game's sums. Its design grid is IconGrid units square.
inline constexpr int IconGrid = 256;

// The icon as a square picture of size pixels with a transparent background.
QImage PaintIcon(int size);

// The same icon as a scalable SVG document.
QByteArray IconSvg();

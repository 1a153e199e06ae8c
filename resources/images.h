#pragma once

#include <QImage>

namespace resources {

inline constexpr int kIconSize = 16;  // pixels, square

// The icon of the given id (101, 117-121): 16 x 16 ARGB on a transparent background, drawn on
// whole pixels for display at 1x. A null image for an unknown id.
QImage Icon(int id);

// The bitmap of the given id (107 night face, 108 dial hit map, 109 day face): 100 x 100 RGB.
// A null image for an unknown id. The faces need a QGuiApplication for their numbers.
QImage Bitmap(int id);

}  // namespace resources

#pragma once

#include <QImage>
#include <span>
#include <string_view>

namespace resources {

// Draws a small picture written one character a pixel, one string a row; all rows are as wide
// as the first. '.' is transparent; the other characters name the palette's colours:
//   k black, K dark grey, g grey, l light grey, w white,
//   y yellow, Y pale yellow, o dark yellow, O orange, d brass, n brown,
//   r red, b blue, B dark blue, e bare wood.
// Unknown characters are transparent too. The result is ARGB with every pixel fully opaque or
// fully clear, so it stays sharp at any whole-number zoom.
QImage DrawPixelArt(std::span<const std::string_view> rows);

}  // namespace resources

#pragma once

#include <vector>

#include "platform/gui/geometry.h"

namespace gui {

// Coordinates a line may have; a segment with an end beyond this is not drawn. Far larger than
// any screen, and small enough that the rasteriser's products stay exact in 64 bits.
inline constexpr int kMaxLineCoordinate = 1 << 29;

// The pixels a 1-pixel line from `from` to `to` lights that lie inside `window`, in drawing
// order from `from`.
//
// The line steps one pixel at a time along its major axis (x when |dx| >= |dy|, else y) and
// takes, at each step, the pixel of the minor axis nearest to the exact line. The first pixel
// is `from` itself; the end point `to` is left out, so a zero-length line lights nothing and the
// segments of a polyline meet without lighting their joint twice. Where the exact line passes
// halfway between two pixels, the one with the smaller minor coordinate is taken (the upper one
// on an x-major line, the left one on a y-major line) whichever way the line runs, so a line
// and its reverse light the same pixels apart from their end points.
std::vector<Point> LinePixels(Point from, Point to, const Rect& window);

// The same into `pixels` (emptied first), so that a caller drawing many lines reuses one buffer.
void LinePixels(Point from, Point to, const Rect& window, std::vector<Point>& pixels);

}  // namespace gui

#pragma once

#include <cstdint>
#include <span>

#include "schedule/ink_entry.h"

namespace gui {
class Surface;
}

namespace views {

// The pad draws ink at full size; the day list at half size.
inline constexpr int kFullInkScale = 100;
inline constexpr int kHalfInkScale = 50;

// Draws the first `count` records: each stroke as one polyline (which leaves out its last
// pixel) in its colour, a point (x, y) going to (x0 + x * scale / 100, y0 + y * scale / 100)
// with the divisions truncating toward zero. Scaled-down ink is always one pixel wide. Points
// after the last end record are not drawn; a stroke of any length is drawn whole.
void DrawInk(gui::Surface& surface, std::span<const schedule::InkEntry> entries, int32_t count,
             int x0, int y0, int scale);

}  // namespace views

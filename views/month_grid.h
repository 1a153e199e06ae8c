#pragma once

#include "platform/gui/surface.h"
#include "views/view_state.h"

namespace views {

// The panel's extent from its origin.
inline constexpr int kMonthGridWidth = 112;
inline constexpr int kMonthGridHeight = 71;

// The month of the selected date: six week rows under the weekday letters, each day number in
// its colour with the census marks, the four buttons on the last row and the month number large
// and pale behind it all. (x, y) is the panel's top-left pixel.
void DrawMonthGrid(gui::Surface& surface, int x, int y, const ViewState& state);

}  // namespace views

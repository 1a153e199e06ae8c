#pragma once

#include <array>

#include "platform/gui/surface.h"
#include "views/view_state.h"

namespace views {

// The strip's hour slots: slot 0 holds the hours before 9, slots 1-12 one hour each from 9 to
// 20, slot 13 the hours from 21 on.
inline constexpr int kDayStripSlots = 14;
using DayStripSlots = std::array<bool, kDayStripSlots>;

// Which slots the selected day's timed appointments in the day item table cover.
DayStripSlots MarkDayStripSlots(const ViewState& state);

// The hour bar of the selected day with its "9" and "21" labels. (x, y) is the strip's top-left
// pixel.
void DrawDayStrip(gui::Surface& surface, int x, int y, const ViewState& state);

}  // namespace views

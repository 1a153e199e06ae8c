#pragma once

#include "platform/gui/font.h"
#include "settings/settings.h"

namespace views {

// Text heights the panels draw with, in pixels.
inline constexpr int kListTextHeight = 13;       // corner panel and day list
inline constexpr int kSmallListTextHeight = 12;  // the same with the Small setting on
inline constexpr int kMonthNumberHeight = 60;    // the large month number behind the grid
inline constexpr int kGridTextHeight = 9;        // day numbers, weekday letters, grid buttons
inline constexpr int kHourLabelHeight = 10;      // the day strip's hour labels

// The one font of the views: the planner's gothic face at a pixel height, with ClearType
// quality when that setting is on. Made fresh for every paint, so a changed setting shows at
// the next one.
gui::Font CreateViewFont(int pixelHeight, const settings::Settings& settings);

// The height of the corner panel's and the day list's text under the Small setting.
int ListTextHeight(const settings::Settings& settings);

}  // namespace views

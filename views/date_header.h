#pragma once

#include <string_view>

#include "platform/gui/surface.h"
#include "platform/time/date_time.h"

namespace views {

// The panel's extent from its origin.
inline constexpr int kDateHeaderWidth = 76;
inline constexpr int kDateHeaderHeight = 71;

// One letter per day of the week, Sunday first, as the header and the grid's top row show them.
inline constexpr std::u16string_view kWeekdayLetters = u"日月火水木金土";

// The selected date as "yy/mm/dd(曜)", framed on its top and left. Draws in the font the surface
// holds. (x, y) is the panel's top-left pixel.
void DrawDateHeader(gui::Surface& surface, int x, int y, platform::Date selectedDate);

}  // namespace views

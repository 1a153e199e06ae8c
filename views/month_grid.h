#pragma once

#include <cstddef>
#include <optional>

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

// A cell of the grid under the pen: its week row (0-5) and its column (0 Sunday).
struct MonthGridCell {
    int row = 0;
    int column = 0;
    // The cell's entry in the month census' dates (0 where no day of the month lies).
    size_t Index() const { return static_cast<size_t>(row) * 7 + static_cast<size_t>(column); }
    friend bool operator==(const MonthGridCell&, const MonthGridCell&) = default;
};

// The cell under a point of the main window, whose grid is drawn at (127, 2): the pen finds
// cells from x 128 to 238 and y 14 to 71, row (y - 13) / 10 and column (x - 127) / 16. These are
// the pen's own numbers: they place each cell's edges a pixel off the drawn ones (a cell is
// drawn from x 128 + 16c, y 13 + 10r). Nothing outside that zone.
std::optional<MonthGridCell> MonthGridCellAt(gui::Point point);

// The last week row lends its cells in columns 3 to 6 to the grid's buttons where no day lies:
// the summary, the previous month, today and the next month.
inline constexpr int kMonthGridButtonRow = 5;
inline constexpr int kMonthGridFirstButtonColumn = 3;

}  // namespace views

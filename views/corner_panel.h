#pragma once

#include "platform/gui/surface.h"
#include "views/view_state.h"

namespace views {

// Which paging marks a paint of the corner panel drew; the pen input pages only where one is
// shown.
struct CornerMarks {
    int moreBelow = 0;  // CornerMoreBelow: "▼" drawn
    int moreAbove = 0;  // CornerMoreAbove: "▲" drawn
};

// The paging marks' rectangles relative to the panel's origin; a tap on one pages only when the
// matching mark was drawn.
inline constexpr gui::Rect kCornerMoreBelowMark{111, 50, 123, 66};
inline constexpr gui::Rect kCornerMoreAboveMark{113, 6, 123, 22};

// The pen over the corner panel, in main window coordinates (the panel drawn at (2, 2)). These
// are the pen's own numbers, which differ from the drawn panel by a pixel here and there.
// A hold anywhere left of x 125 and above y 76 is over the panel.
inline constexpr gui::Rect kCornerHoldZone{0, 0, 125, 76};
// The paging arrows take taps from x 114 to 124 and y 51 to 65 ("▼") or 9 to 23 ("▲").
inline constexpr gui::Rect kCornerNextPageZone{114, 51, 125, 66};
inline constexpr gui::Rect kCornerPreviousPageZone{114, 9, 125, 24};
// Entries are 16 pixels apart from y 2; the four of a page are rows 0 to 3.
inline constexpr int kCornerEntriesPerPage = 4;
inline int CornerRowAt(gui::Point point) {
    return (point.y - 2) / 16;
}

// The undated tasks of the current corner page, four to a page, completed ones struck through.
// (x, y) is the panel's top-left pixel.
CornerMarks DrawCornerPanel(gui::Surface& surface, int x, int y, const ViewState& state);

}  // namespace views

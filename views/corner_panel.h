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

// The undated tasks of the current corner page, four to a page, completed ones struck through.
// (x, y) is the panel's top-left pixel.
CornerMarks DrawCornerPanel(gui::Surface& surface, int x, int y, const ViewState& state);

}  // namespace views

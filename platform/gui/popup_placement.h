#pragma once

#include "platform/gui/geometry.h"

namespace gui {

// Which way a pop-up menu unfolds from its anchor.
enum class PopupOpening {
    Downward,  // a context menu: its top-left corner at the pen's point
    Upward,    // a menu-bar sub-menu: its bottom-left corner at the top of its button
};

// Where a pop-up menu of `size` lies for an anchor, all in one kind of pixels. It unfolds from
// the anchor as `opening` says, then is moved (never resized) to lie inside `screen`, as the
// shell keeps every menu on the handheld's screen; a menu larger than the screen keeps its top
// and left edges on it, so its first items stay in reach.
Rect PlacePopup(Size size, Point anchor, const Rect& screen, PopupOpening opening);

}  // namespace gui

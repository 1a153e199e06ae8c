#include "platform/gui/popup_placement.h"

#include <algorithm>

namespace gui {

Rect PlacePopup(Size size, Point anchor, const Rect& screen, PopupOpening opening) {
    const int top = opening == PopupOpening::Upward ? anchor.y - size.height : anchor.y;
    // Back from the far edges first, then onto the near ones, which win when it is too big.
    const int left = std::max(screen.left, std::min(anchor.x, screen.right - size.width));
    const int placedTop = std::max(screen.top, std::min(top, screen.bottom - size.height));
    return RectAt(left, placedTop, size.width, size.height);
}

}  // namespace gui

#pragma once

#include <cstdint>
#include <vector>

namespace resources {

// One entry of a shell menu bar. Buttons are text-only, enabled and size to their text; the
// text is the string resource stringId. A drop-down button's sub-menu is the pop-up at the
// button's own position in the menu of the bar's menuId.
struct MenuBarButton {
    uint16_t command = 0;
    int stringId = 0;
    bool dropDown = false;
    bool separator = false;
};

struct MenuBar {
    int id = 0;
    int menuId = 0;
    std::vector<MenuBarButton> buttons;
};

// The menu bar of the given id (102 main window, 111 appointment editor, 121 task editor), or
// nullptr.
const MenuBar* FindMenuBar(int id);

}  // namespace resources

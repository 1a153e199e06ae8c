#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace resources {

// One entry of a menu: a command, a separator, or a pop-up holding further entries.
struct MenuItem {
    std::u16string text;
    uint16_t command = 0;
    bool separator = false;
    bool grayed = false;
    std::vector<MenuItem> popup;
};

// A menu resource: its top-level pop-ups are the sub-menus 0, 1, ... that a menu bar's
// drop-down buttons and the context menu show.
struct Menu {
    int id = 0;
    std::vector<MenuItem> popups;
};

// The menu of the given id (102, 111, 118, 121), or nullptr.
const Menu* FindMenu(int id);

}  // namespace resources

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

// One entry of a pop-up menu.
struct MenuItem {
    std::u16string text;
    uint16_t command = 0;
    bool separator = false;
    bool enabled = true;
};

// A pop-up menu whose items can be enabled or greyed before it is shown.
class PopupMenu {
public:
    PopupMenu() = default;
    explicit PopupMenu(std::vector<MenuItem> items) : items_(std::move(items)) {}

    const std::vector<MenuItem>& Items() const { return items_; }
    // Enables or greys the item with the command; false when the menu has no such item.
    bool EnableItem(uint16_t command, bool enabled);
    bool IsEnabled(uint16_t command) const;
    // Renames the item with the command; false when the menu has no such item.
    bool SetItemText(uint16_t command, std::u16string text);
    // The item's text; empty when the menu has no such item.
    std::u16string ItemText(uint16_t command) const;

private:
    std::vector<MenuItem> items_;
};

// A button of a window's menu bar: a text button that sends its command, a drop-down button
// that opens its pop-up menu, or a separator.
struct MenuBarButton {
    std::u16string text;
    uint16_t command = 0;
    bool dropDown = false;
    bool separator = false;
    PopupMenu menu;
};

// The menu bar a window owns, shown at the bottom of the screen while the window is active.
class MenuBar {
public:
    explicit MenuBar(std::vector<MenuBarButton> buttons) : buttons_(std::move(buttons)) {}

    const std::vector<MenuBarButton>& Buttons() const { return buttons_; }
    // The pop-up of the drop-down button with this command, or null.
    PopupMenu* SubMenu(uint16_t buttonCommand);

private:
    std::vector<MenuBarButton> buttons_;
};

}  // namespace gui

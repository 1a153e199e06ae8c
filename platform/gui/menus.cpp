#include "platform/gui/menus.h"

namespace gui {

bool PopupMenu::EnableItem(uint16_t command, bool enabled) {
    for (MenuItem& item : items_) {
        if (!item.separator && item.command == command) {
            item.enabled = enabled;
            return true;
        }
    }
    return false;
}

bool PopupMenu::SetItemText(uint16_t command, std::u16string text) {
    for (MenuItem& item : items_) {
        if (!item.separator && item.command == command) {
            item.text = std::move(text);
            return true;
        }
    }
    return false;
}

std::u16string PopupMenu::ItemText(uint16_t command) const {
    for (const MenuItem& item : items_) {
        if (!item.separator && item.command == command) {
            return item.text;
        }
    }
    return {};
}

bool PopupMenu::IsEnabled(uint16_t command) const {
    for (const MenuItem& item : items_) {
        if (!item.separator && item.command == command) {
            return item.enabled;
        }
    }
    return false;
}

PopupMenu* MenuBar::SubMenu(uint16_t buttonCommand) {
    for (MenuBarButton& button : buttons_) {
        if (button.dropDown && button.command == buttonCommand) {
            return &button.menu;
        }
    }
    return nullptr;
}

}  // namespace gui

#include "resources/shell_resources.h"

#include "resources/accelerators.h"
#include "resources/dialogs.h"
#include "resources/images.h"
#include "resources/menu_bars.h"
#include "resources/menus.h"
#include "resources/strings.h"

namespace resources {

gui::PopupMenu PopupOf(int menuId, int position) {
    const Menu* menu = FindMenu(menuId);
    if (!menu || position < 0 || static_cast<size_t>(position) >= menu->popups.size()) {
        return {};
    }
    std::vector<gui::MenuItem> items;
    for (const MenuItem& entry : menu->popups[static_cast<size_t>(position)].popup) {
        items.push_back({entry.text, entry.command, entry.separator, !entry.grayed});
    }
    return gui::PopupMenu(std::move(items));
}

std::vector<gui::MenuBarButton> MenuBarButtons(int menuBarId) {
    std::vector<gui::MenuBarButton> buttons;
    const MenuBar* bar = FindMenuBar(menuBarId);
    if (!bar) {
        return buttons;
    }
    for (size_t position = 0; position < bar->buttons.size(); ++position) {
        const MenuBarButton& entry = bar->buttons[position];
        gui::MenuBarButton button;
        button.text = std::u16string(String(entry.stringId));
        button.command = entry.command;
        button.dropDown = entry.dropDown;
        button.separator = entry.separator;
        if (entry.dropDown) {
            button.menu = PopupOf(bar->menuId, static_cast<int>(position));
        }
        buttons.push_back(std::move(button));
    }
    return buttons;
}

std::vector<gui::Accelerator> Accelerators(int tableId) {
    std::vector<gui::Accelerator> accelerators;
    if (const AcceleratorTable* table = FindAcceleratorTable(tableId)) {
        for (const Accelerator& entry : table->entries) {
            accelerators.push_back({entry.control, entry.virtualKey, entry.command});
        }
    }
    return accelerators;
}

namespace {

gui::DialogItemKind KindOf(DialogItem::Kind kind) {
    using Kind = DialogItem::Kind;
    switch (kind) {
        case Kind::Icon:
            return gui::DialogItemKind::Icon;
        case Kind::PushButton:
            return gui::DialogItemKind::PushButton;
        case Kind::DefPushButton:
            return gui::DialogItemKind::DefaultPushButton;
        case Kind::CheckBox:
            return gui::DialogItemKind::CheckBox;
        case Kind::RadioButton:
            return gui::DialogItemKind::RadioButton;
        case Kind::Edit:
            return gui::DialogItemKind::Edit;
        case Kind::MonthCalendar:
            return gui::DialogItemKind::MonthCalendar;
        case Kind::Static:
            break;
    }
    return gui::DialogItemKind::Static;
}

}  // namespace

gui::DialogTemplate DialogTemplateOf(int dialogId) {
    gui::DialogTemplate converted;
    const DialogTemplate* source = FindDialog(dialogId);
    if (!source) {
        return converted;
    }
    converted.x = source->x;
    converted.y = source->y;
    converted.width = source->width;
    converted.height = source->height;
    converted.caption = source->caption;
    converted.fontFace = source->fontFace;
    converted.pointSize = source->fontPointSize;
    for (const DialogItem& item : source->items) {
        gui::DialogItem out;
        out.kind = KindOf(item.kind);
        out.id = item.id;
        out.x = item.x;
        out.y = item.y;
        out.width = item.width;
        out.height = item.height;
        out.text = item.text;
        out.style = (item.border ? gui::kItemBorder : 0u) |
                    (item.autoHScroll ? gui::kItemAutoHScroll : 0u) |
                    (item.tabStop ? gui::kItemTabStop : 0u) |
                    (item.align == DialogItem::Align::Center ? gui::kItemCenter : 0u) |
                    (item.align == DialogItem::Align::Right ? gui::kItemRight : 0u);
        if (item.kind == DialogItem::Kind::Icon) {
            out.image = Icon(item.iconId);
        }
        converted.items.push_back(std::move(out));
    }
    return converted;
}

}  // namespace resources

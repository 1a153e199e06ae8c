#pragma once

#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/menus.h"

namespace resources {

// The program's resources in the shapes the device screen takes them.

// The buttons of menu bar `menuBarId`, each drop-down with the pop-up at its own position in
// the menu of the same id.
std::vector<gui::MenuBarButton> MenuBarButtons(int menuBarId);
// Sub-menu `position` of menu `menuId` (empty when there is none).
gui::PopupMenu PopupOf(int menuId, int position);
std::vector<gui::Accelerator> Accelerators(int tableId);
// Dialog template `dialogId` with its icons (an empty template when there is none).
gui::DialogTemplate DialogTemplateOf(int dialogId);

}  // namespace resources

#include "resources/menu_bars.h"

#include "resources/resource_ids.h"

namespace resources {
namespace {

constexpr MenuBarButton Button(uint16_t command, int stringId) {
    return MenuBarButton{command, stringId, false, false};
}

constexpr MenuBarButton DropDown(uint16_t command, int stringId) {
    return MenuBarButton{command, stringId, true, false};
}

constexpr MenuBarButton Separator() {
    return MenuBarButton{0, 0, false, true};
}

const std::vector<MenuBar> kMenuBars{
    MenuBar{kMainMenu,
            kMainMenu,
            {
                DropDown(kCommandNew, 40047),     // 新規
                DropDown(kCommandGoTo, 40009),    // 移動
                Button(kCommandSettings, 40052),  // 設定
                Button(kCommandSummary, 40078),   // ？
                Button(kCommandAbout, 40080),     // バージョン
            }},
    MenuBar{kAppointmentMenu,
            kAppointmentMenu,
            {
                Button(kCommandBack, 40065),  // ←
                Separator(),
                Button(kCommandDelete, 40067),  // 削除
                Separator(),
                Button(kCommandRepeat, 40091),  // 繰返
                Separator(),
            }},
    MenuBar{kTaskMenu,
            kTaskMenu,
            {
                Button(kCommandBack, 40069),                 // ←
                Separator(), Button(kCommandDelete, 40071),  // 削除
            }},
};

}  // namespace

const MenuBar* FindMenuBar(int id) {
    for (const MenuBar& bar : kMenuBars) {
        if (bar.id == id) {
            return &bar;
        }
    }
    return nullptr;
}

}  // namespace resources

#include "resources/menus.h"

#include <utility>

#include "resources/resource_ids.h"

namespace resources {
namespace {

MenuItem Command(std::u16string text, uint16_t command) {
    return MenuItem{std::move(text), command, false, false, {}};
}

MenuItem Separator() {
    return MenuItem{u"", 0, true, false, {}};
}

MenuItem Popup(std::u16string text, std::vector<MenuItem> items) {
    return MenuItem{std::move(text), 0, false, false, std::move(items)};
}

// Sub-menu n belongs to the menu bar's button n. The editors' menu bars have no drop-down
// buttons, so their menus hold no pop-ups.
const std::vector<Menu> kMenus{
    Menu{kMainMenu,
         {
             Popup(u"新規",
                   {
                       Command(u"予定", kCommandNewAppointment),
                       Command(u"仕事", kCommandNewTask),
                   }),
             Popup(u"移動",
                   {
                       Command(u"前月", kCommandPreviousMonth),
                       Command(u"先週", kCommandPreviousWeek),
                       Command(u"前日", kCommandPreviousDay),
                       Command(u"当日", kCommandToday),
                       Command(u"翌日", kCommandNextDay),
                       Command(u"翌週", kCommandNextWeek),
                       Command(u"翌月", kCommandNextMonth),
                       Separator(),
                       Command(u"元に戻す", kCommandUndo),
                       Command(u"やり直し", kCommandRedo),
                       Separator(),
                       Command(u"検索", kCommandFind),
                   }),
         }},
    Menu{kAppointmentMenu, {}},
    Menu{kContextMenu,
         {
             Popup(u"項目",
                   {
                       Command(u"コピー", kCommandCopy),
                       Command(u"切り取り", kCommandCut),
                       Command(u"仕事として貼り付", kCommandPasteAsTask),
                       Command(u"予定としてで貼付", kCommandPasteAsAppointment),
                       Separator(),
                       Command(u"チェック", kCommandToggleComplete),
                       Separator(),
                       Command(u"新規仕事", kCommandNewTaskHere),
                   }),
         }},
    Menu{kTaskMenu, {}},
};

}  // namespace

const Menu* FindMenu(int id) {
    for (const Menu& menu : kMenus) {
        if (menu.id == id) {
            return &menu;
        }
    }
    return nullptr;
}

}  // namespace resources

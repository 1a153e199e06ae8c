#pragma once

#include <string>
#include <vector>

#include "editors/edit_record.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/geometry.h"
#include "platform/gui/label.h"
#include "platform/gui/menus.h"
#include "platform/gui/push_button.h"
#include "platform/gui/window.h"
#include "schedule/item_calendars.h"
#include "schedule/store_session.h"

namespace editors {

// An editor's menu bar for an item that may only be looked at: "←" alone.
std::vector<gui::MenuBarButton> LookOnlyMenuBar(std::vector<gui::MenuBarButton> buttons);

// What an item of a read-only calendar says beside its calendar's name in the editor.
inline constexpr std::u16string_view kReadOnlyMark = u"（読取専用）";

// The editors' line that names the item's calendar: a swatch of its colour, its name, and "."
// to pick another. Shown only when the store has more than one calendar; an item of a
// read-only calendar shows its calendar marked so, without ".", and stays where it is.
class CalendarLine {
public:
    // Reads the store's calendars and, when the line is shown, makes its controls in `place`
    // of the editor. The record names the item's calendar (0: a new item's default).
    void Create(gui::DeviceScreen& screen, gui::Window& editor, const gui::Rect& place,
                schedule::ItemKindOfCalendar kind, const EditRecord& record,
                schedule::StoreSession& store);
    // Moves the line's controls to `place` (the screen turned).
    void Place(const gui::Rect& place);
    // Shows the record's calendar (after a choice).
    void Show(const EditRecord& record);

    bool Shown() const { return shown_; }
    // Whether the item opened may not be changed here: its calendar is read-only.
    bool ReadOnly() const { return readOnly_; }

    // The pop-up of the calendars the item may go to, unfolding from ".": true when the user
    // picked another one, which the record then names.
    bool Choose(gui::DeviceScreen& screen, const gui::Window& editor, EditRecord& record);

private:
    schedule::ItemCalendars calendars_;
    schedule::ItemKindOfCalendar kind_ = schedule::ItemKindOfCalendar::Appointment;
    bool shown_ = false;
    bool readOnly_ = false;
    gui::Rect place_{};
    gui::Label* swatch_ = nullptr;
    gui::Label* name_ = nullptr;
    gui::PushButton* choose_ = nullptr;
};

}  // namespace editors

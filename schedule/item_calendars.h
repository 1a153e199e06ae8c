#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "store/store_calendar.h"

namespace schedule {

// One calendar of the store as the screen presents it: its name, the colour its items are
// marked with, and whether they may be changed here.
struct ItemCalendar {
    int64_t id = 0;
    std::u16string name;
    settings::Colorref colour = 0;  // the calendar's own, else the palette's for its id
    bool readOnly = false;
    bool hidden = false;
    bool isDefault = false;
    store::CalendarHolds holds = store::CalendarHolds::Both;
};

// Which item kind a calendar is asked about: an appointment or a task.
enum class ItemKindOfCalendar { Appointment, Task };

// The store's calendars as the views and editors read them, loaded with the day items so that
// both agree on what the list shows. Empty (never loaded) reads as one writable calendar.
struct ItemCalendars {
    std::vector<ItemCalendar> calendars;  // in the store's order, calendar 1 first

    // The calendar with that id; 0 names the default one. Null when the store has none such.
    const ItemCalendar* Find(int64_t id) const;
    // Whether the day list marks each item with its calendar's colour: more than one calendar
    // is shown (hidden ones do not count, their items are not listed).
    bool MarksShown() const;
    // Whether the editors show the item's calendar: the store has more than one.
    bool LineShown() const { return calendars.size() > 1; }
    // Whether an item of that calendar (0: the default) may not be changed here.
    bool IsReadOnly(int64_t id) const;
    // The calendars a new item of the kind, or one moved, may go to: writable, shown, taking the
    // kind. `current` (the item's own) is kept among them even when it would not be.
    std::vector<const ItemCalendar*> Choices(ItemKindOfCalendar kind, int64_t current) const;
};

// How many colours the palette holds, for calendars without a colour of their own.
inline constexpr size_t kCalendarPaletteSize = 8;
// The palette's colour for a calendar id: calendars 1, 2, 3... take its colours in turn.
settings::Colorref PaletteColour(int64_t calendarId);
// A colour written "#RRGGBB" (the store's form), or nothing for any other text.
std::optional<settings::Colorref> ParseCalendarColour(std::string_view text);
// A calendar of the store as the screen presents it.
ItemCalendar ToItemCalendar(const store::StoreCalendar& calendar);

// Reads the store's calendars into `calendars`. On an error `calendars` is left empty, which
// reads as one writable calendar: nothing is marked, and the store still refuses what it must.
platform::Result<void> LoadItemCalendars(StoreSession& store, ItemCalendars& calendars);

}  // namespace schedule

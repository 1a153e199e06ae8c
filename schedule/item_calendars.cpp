#include "schedule/item_calendars.h"

#include <array>
#include <charconv>

#include "platform/text/unicode_text.h"

namespace schedule {
namespace {

// 0x00BBGGRR, as the settings keep colours.
constexpr settings::Colorref ColourOf(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}

// Colours far enough apart to tell side by side in a 2-pixel bar, none of them the red of the
// all-day brackets or the grey of greyed text.
constexpr std::array<settings::Colorref, kCalendarPaletteSize> kPalette{
    ColourOf(0x1E, 0x64, 0xC8),  // blue
    ColourOf(0x2E, 0x9E, 0x3E),  // green
    ColourOf(0xE0, 0x8A, 0x00),  // orange
    ColourOf(0x8E, 0x44, 0xAD),  // purple
    ColourOf(0x00, 0x8C, 0x8C),  // teal
    ColourOf(0x8B, 0x5A, 0x2B),  // brown
    ColourOf(0xD6, 0x44, 0x8F),  // pink
    ColourOf(0x7A, 0x8A, 0x00),  // olive
};

std::optional<uint32_t> HexByte(std::string_view text) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const ItemCalendar* ItemCalendars::Find(int64_t id) const {
    for (const ItemCalendar& calendar : calendars) {
        if (id == 0 ? calendar.isDefault : calendar.id == id) {
            return &calendar;
        }
    }
    return nullptr;
}

bool ItemCalendars::MarksShown() const {
    size_t shown = 0;
    for (const ItemCalendar& calendar : calendars) {
        shown += calendar.hidden ? 0 : 1;
    }
    return shown > 1;
}

bool ItemCalendars::IsReadOnly(int64_t id) const {
    const ItemCalendar* calendar = Find(id);
    return calendar != nullptr && calendar->readOnly;
}

std::vector<const ItemCalendar*> ItemCalendars::Choices(ItemKindOfCalendar kind,
                                                        int64_t current) const {
    const int32_t holds = kind == ItemKindOfCalendar::Appointment
                              ? static_cast<int32_t>(store::CalendarHolds::Appointments)
                              : static_cast<int32_t>(store::CalendarHolds::Tasks);
    const ItemCalendar* own = Find(current);
    std::vector<const ItemCalendar*> choices;
    for (const ItemCalendar& calendar : calendars) {
        const bool takes = (static_cast<int32_t>(calendar.holds) & holds) != 0;
        if (&calendar == own || (!calendar.readOnly && !calendar.hidden && takes)) {
            choices.push_back(&calendar);
        }
    }
    return choices;
}

settings::Colorref PaletteColour(int64_t calendarId) {
    const auto index = static_cast<size_t>(calendarId > 0 ? calendarId - 1 : 0);
    return kPalette[index % kPalette.size()];
}

std::optional<settings::Colorref> ParseCalendarColour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    const std::optional<uint32_t> red = HexByte(text.substr(1, 2));
    const std::optional<uint32_t> green = HexByte(text.substr(3, 2));
    const std::optional<uint32_t> blue = HexByte(text.substr(5, 2));
    if (!red || !green || !blue) {
        return std::nullopt;
    }
    return ColourOf(*red, *green, *blue);
}

ItemCalendar ToItemCalendar(const store::StoreCalendar& calendar) {
    ItemCalendar shown;
    shown.id = calendar.id;
    shown.name = platform::Utf8ToUtf16Lossy(calendar.name);
    shown.colour = ParseCalendarColour(calendar.color).value_or(PaletteColour(calendar.id));
    shown.readOnly = calendar.readOnly;
    shown.hidden = calendar.hidden;
    shown.isDefault = calendar.isDefault;
    shown.holds = calendar.holds;
    return shown;
}

platform::Result<void> LoadItemCalendars(StoreSession& store, ItemCalendars& calendars) {
    calendars.calendars.clear();
    auto application = store.LoggedOnApplication();
    if (!application) {
        return application.error();
    }
    auto stored = (*application)->Calendars();
    if (!stored) {
        return stored.error();
    }
    calendars.calendars.reserve(stored->size());
    for (const store::StoreCalendar& calendar : *stored) {
        calendars.calendars.push_back(ToItemCalendar(calendar));
    }
    return {};
}

}  // namespace schedule

#include "views/day_strip.h"

#include <cstddef>
#include <optional>

#include "platform/gui/brush.h"
#include "platform/gui/colors.h"
#include "platform/gui/font.h"
#include "views/view_font.h"

namespace views {
namespace {

// Hours before kFirstHourOfDay fall into slot 0, hours after kLastHourOfDay into the last slot;
// an hour h between them takes slot h - kSlotHourOffset (so 21 shares the last slot).
constexpr int kFirstHourOfDay = 9;
constexpr int kLastHourOfDay = 21;
constexpr int kSlotHourOffset = 8;
constexpr int kLastSlot = kDayStripSlots - 1;
// Where an appointment from an earlier day starts, and where one running on into a later day
// ends.
constexpr int kStartOfDayHour = 0;
constexpr int kEndOfDayHour = 23;

constexpr int kStripWidth = 75;
constexpr int kSlotWidth = 5;
constexpr int kSlotHeight = 10;
// A 2-pixel gap stands before the 12 o'clock slot and another before the 18 o'clock slot.
constexpr int kNoonSlot = 4;
constexpr int kEveningSlot = 10;
constexpr int kSlotGap = 2;

constexpr gui::Rect kNineLabel{5, 11, 15, 21};
constexpr gui::Rect kTwentyOneLabel{61, 11, 71, 21};

int SlotOfHour(int hour) {
    if (hour < kFirstHourOfDay) {
        return 0;
    }
    if (hour > kLastHourOfDay) {
        return kLastSlot;
    }
    return hour - kSlotHourOffset;
}

int SlotLeft(int x, int slot) {
    int left = x + kSlotWidth * slot;
    if (slot >= kNoonSlot) {
        left += kSlotGap;
    }
    if (slot >= kEveningSlot) {
        left += kSlotGap;
    }
    return left;
}

bool IsEdgeSlot(int slot) {
    return slot == 0 || slot == kLastSlot;
}

}  // namespace

DayStripSlots MarkDayStripSlots(const ViewState& state) {
    DayStripSlots marked{};
    const int64_t selectedDay = platform::DayNumber(state.selectedDate);
    for (const schedule::DayItemRow& row : state.dayItems.table) {
        if (platform::DayNumber(row.rowDate) != selectedDay || row.allDay != 0) {
            continue;
        }
        const std::optional<platform::CalendarFields> start = platform::DateToFields(row.start);
        const std::optional<platform::CalendarFields> end = platform::DateToFields(row.end);
        if (!start || !end) {
            continue;
        }
        const int startHour =
            platform::DayNumber(row.start) < selectedDay ? kStartOfDayHour : start->Hour;
        const int endHour = platform::DayNumber(row.end) > selectedDay ? kEndOfDayHour : end->Hour;
        // The end hour itself stays clear, and minutes count for nothing.
        for (int hour = startHour; hour < endHour; ++hour) {
            marked[static_cast<size_t>(SlotOfHour(hour))] = true;
        }
    }
    return marked;
}

void DrawDayStrip(gui::Surface& surface, int x, int y, const ViewState& state) {
    const DayStripSlots marked = MarkDayStripSlots(state);
    surface.FillRect(x, y, x + kStripWidth, y + kSlotHeight, gui::kWhite);

    // Outlines in the surface's current pen, which every panel leaves black.
    const gui::Brush previousBrush = surface.SelectBrush(gui::Brush::Stock(gui::StockBrush::White));
    for (int slot = 0; slot < kDayStripSlots; ++slot) {
        const int left = SlotLeft(x, slot);
        if (!IsEdgeSlot(slot)) {
            surface.Rectangle(left, y, left + kSlotWidth, y + kSlotHeight);
        }
        gui::StockBrush fill = gui::StockBrush::White;
        if (marked[static_cast<size_t>(slot)]) {
            fill = IsEdgeSlot(slot) ? gui::StockBrush::DarkGray : gui::StockBrush::Gray;
        }
        surface.FillRect(left + 1, y + 1, left + kSlotWidth - 1, y + kSlotHeight - 1,
                         gui::Brush::Stock(fill));
    }
    surface.SelectBrush(previousBrush);

    // The labels take the text colour every panel leaves behind: black.
    const gui::Font previousFont =
        surface.SelectFont(CreateViewFont(kHourLabelHeight, state.settings));
    surface.DrawText(u"9", kNineLabel.Offset(x, y), gui::TextAlign::LeftTop);
    surface.DrawText(u"21", kTwentyOneLabel.Offset(x, y), gui::TextAlign::LeftTop);
    surface.SelectFont(previousFont);
}

}  // namespace views

// The day list's calendar bars: drawn with more than one calendar shown, in each item's colour,
// in the gap between the divider and the text; with one calendar shown, not a pixel changes.
#include <gtest/gtest.h>

#include "schedule/item_calendars.h"
#include "tests/views/view_fixture.h"
#include "views/day_list.h"

namespace views::calendar_marks {
namespace {

using schedule::DayItemKind;
using schedule::DayItemRow;
using schedule::ItemCalendar;
using testing::ViewFixture;

constexpr gui::Rect kPortrait{0, 0, 240, 320};
constexpr gui::Rect kLandscape{0, 0, 320, 240};
constexpr gui::ColorRef kWorkGreen = gui::Rgb(0x11, 0xAA, 0x33);

int Top(int row) {
    return 78 + 16 * row;
}

ItemCalendar Calendar(int64_t id, std::u16string name, gui::ColorRef colour, bool hidden = false) {
    ItemCalendar calendar;
    calendar.id = id;
    calendar.name = std::move(name);
    calendar.colour = colour;
    calendar.hidden = hidden;
    calendar.isDefault = id == 1;
    return calendar;
}

struct CalendarMarks : ::testing::Test {
    CalendarMarks() {
        const platform::Date sunday = ViewFixture::Day(2004, 10, 3);
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            f.dayItems->table[i].rowDate = sunday + static_cast<double>(i);
        }
        // Row 0: an appointment of calendar 1; row 1: a task of calendar 2 on the same day;
        // row 2: an appointment of calendar 2 that spans three days (its bracket's tick runs
        // along the row's top); row 3 stays an empty day.
        Item(0, DayItemKind::Appointment, 1, u"会議");
        Item(1, DayItemKind::DatedTask, 2, u"報告");
        f.dayItems->table[1].rowDate = f.dayItems->table[0].rowDate;
        Item(2, DayItemKind::Appointment, 2, u"出張");
        DayItemRow& span = f.dayItems->table[2];
        span.allDay = 1;
        span.start = span.rowDate;
        span.end = f.dayItems->table[5].rowDate;
    }
    void Item(size_t row, DayItemKind kind, int64_t calendarId, std::u16string subject) {
        DayItemRow& target = f.dayItems->table[row];
        target.kind = kind;
        target.objectId = static_cast<int32_t>(row) + 10;
        target.start = target.rowDate + 9 / 24.0;
        target.end = target.rowDate + 10 / 24.0;
        target.subject = std::move(subject);
        target.calendarId = calendarId;
    }
    QImage Paint(const gui::Rect& window = kPortrait) {
        f.image.fill(Qt::cyan);
        gui::Surface surface(f.image);
        DrawDayList(surface, window, f.State(), icons);
        return f.image;
    }
    // Pixels of the bar's place in `row` that are `colour`.
    int BarPixels(int row, gui::ColorRef colour) const {
        return f.Count(51, Top(row), 53, Top(row) + 16, colour);
    }
    ViewFixture f;
    DayListIcons icons = LoadDayListIcons();
};

TEST_F(CalendarMarks, TwoShownCalendarsMarkEachItemInItsColourBesideTheText) {
    f.dayItems->calendars.calendars = {Calendar(1, u"個人", 0), Calendar(2, u"仕事", kWorkGreen)};
    f.dayItems->calendars.calendars[0].colour = schedule::PaletteColour(1);
    for (const gui::Rect& window : {kPortrait, kLandscape}) {
        Paint(window);
        // Two pixels wide, one short of the row's top and bottom.
        EXPECT_EQ(BarPixels(0, schedule::PaletteColour(1)), 2 * 14);
        EXPECT_EQ(BarPixels(1, kWorkGreen), 2 * 14);
        EXPECT_EQ(BarPixels(2, kWorkGreen), 2 * 14);
        EXPECT_EQ(f.Pixel(51, Top(1)), gui::kWhite);
        EXPECT_EQ(f.Pixel(52, Top(1) + 15), gui::kWhite);
        // The divider stays black, the text starts after the bar, an empty day has no bar.
        EXPECT_EQ(f.Count(50, 76, 51, 268, gui::kBlack), 192);
        EXPECT_EQ(f.Inked(51, Top(3), 53, Top(4)), 0);
        EXPECT_EQ(f.Count(53, Top(0), 54, Top(3), kWorkGreen), 0);
        // The span's bracket keeps its red tick on the row's top line.
        EXPECT_EQ(f.Pixel(52, Top(2)), gui::Rgb(0xFF, 0, 0));
    }
}

TEST_F(CalendarMarks, OneShownCalendarLeavesTheListAsItWas) {
    // Never loaded, one calendar, or two with one hidden: the same pixels, and none of a bar.
    const QImage unmarked = Paint();
    EXPECT_EQ(f.Inked(51, Top(0), 53, Top(2)), 0);
    EXPECT_EQ(f.Inked(51, Top(2) + 1, 53, Top(3)), 0);  // under the bracket's tick
    f.dayItems->calendars.calendars = {Calendar(1, u"個人", kWorkGreen)};
    EXPECT_EQ(Paint(), unmarked);
    f.dayItems->calendars.calendars.push_back(Calendar(2, u"仕事", kWorkGreen, true));
    EXPECT_EQ(Paint(), unmarked);
    f.dayItems->calendars.calendars[1].hidden = false;
    EXPECT_NE(Paint(), unmarked);
}

TEST_F(CalendarMarks, AnItemOfACalendarNotListedTakesThePalettesColour) {
    // Calendar 5 was added after the list was read: its items still get a bar, in the
    // palette's colour for 5 (the default, 0, finds calendar 1).
    f.dayItems->calendars.calendars = {Calendar(1, u"個人", kWorkGreen),
                                       Calendar(2, u"仕事", gui::kBlack)};
    f.dayItems->table[0].calendarId = 5;
    f.dayItems->table[1].calendarId = 0;
    Paint();
    EXPECT_EQ(BarPixels(0, schedule::PaletteColour(5)), 2 * 14);
    EXPECT_EQ(BarPixels(1, kWorkGreen), 2 * 14);
}

}  // namespace
}  // namespace views::calendar_marks

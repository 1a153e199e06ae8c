// The store's calendars as the views and editors read them: colours, which are shown, which may
// be written, where an item may go; and the day items carry each item's calendar.
#include "schedule/item_calendars.h"

#include <gtest/gtest.h>

#include "tests/schedule/schedule_fixture.h"

namespace schedule::item_calendars {
namespace {

constexpr settings::Colorref Bgr(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}

TEST(CalendarColour, OnlyHashAndSixHexDigitsAreAColour) {
    EXPECT_EQ(ParseCalendarColour("#FF8000"), Bgr(0xFF, 0x80, 0x00));
    EXPECT_EQ(ParseCalendarColour("#0a0B0c"), Bgr(0x0A, 0x0B, 0x0C));
    for (const char* text :
         {"", "#", "FF8000", "#FF800", "#FF8000FF", "#GG0000", "#-10000", "#+F0000", " #FF8000"}) {
        EXPECT_EQ(ParseCalendarColour(text), std::nullopt) << text;
    }
}

TEST(CalendarColour, ThePaletteGoesRoundByIdAndNeighboursDiffer) {
    for (int64_t id = 1; id <= static_cast<int64_t>(kCalendarPaletteSize); ++id) {
        EXPECT_NE(PaletteColour(id), PaletteColour(id + 1)) << id;
    }
    EXPECT_EQ(PaletteColour(1), PaletteColour(1 + kCalendarPaletteSize));
    EXPECT_EQ(PaletteColour(0), PaletteColour(1));  // the default's, before it is known
}

ItemCalendar Calendar(int64_t id, bool readOnly = false, bool hidden = false,
                      store::CalendarHolds holds = store::CalendarHolds::Both) {
    ItemCalendar calendar;
    calendar.id = id;
    calendar.readOnly = readOnly;
    calendar.hidden = hidden;
    calendar.holds = holds;
    return calendar;
}

TEST(ItemCalendarsTest, MarksNeedTwoShownCalendarsAndTheLineTwoCalendars) {
    ItemCalendars calendars;
    EXPECT_FALSE(calendars.MarksShown());
    EXPECT_FALSE(calendars.LineShown());
    EXPECT_FALSE(calendars.IsReadOnly(0));  // never loaded: one writable calendar
    calendars.calendars = {Calendar(1), Calendar(2, false, true)};
    EXPECT_FALSE(calendars.MarksShown());
    EXPECT_TRUE(calendars.LineShown());
    calendars.calendars[1].hidden = false;
    EXPECT_TRUE(calendars.MarksShown());
}

TEST(ItemCalendarsTest, ZeroFindsTheDefaultAndReadOnlyIsTheCalendars) {
    ItemCalendars calendars;
    calendars.calendars = {Calendar(1), Calendar(2, true), Calendar(3)};
    calendars.calendars[2].isDefault = true;
    EXPECT_EQ(calendars.Find(0), &calendars.calendars[2]);
    EXPECT_EQ(calendars.Find(2), &calendars.calendars[1]);
    EXPECT_EQ(calendars.Find(9), nullptr);
    EXPECT_TRUE(calendars.IsReadOnly(2));
    EXPECT_FALSE(calendars.IsReadOnly(0));
    EXPECT_FALSE(calendars.IsReadOnly(9));  // unknown: the store decides
    calendars.calendars[1].isDefault = true;
    calendars.calendars[2].isDefault = false;
    EXPECT_TRUE(calendars.IsReadOnly(0));
}

TEST(ItemCalendarsTest, ChoicesAreWritableShownAndTakeTheKindButKeepTheItemsOwn) {
    ItemCalendars calendars;
    calendars.calendars = {Calendar(1), Calendar(2, true), Calendar(3, false, true),
                           Calendar(4, false, false, store::CalendarHolds::Tasks),
                           Calendar(5, false, false, store::CalendarHolds::Appointments)};
    calendars.calendars[0].isDefault = true;
    const auto ids = [&](ItemKindOfCalendar kind, int64_t current) {
        std::vector<int64_t> found;
        for (const ItemCalendar* calendar : calendars.Choices(kind, current)) {
            found.push_back(calendar->id);
        }
        return found;
    };
    EXPECT_EQ(ids(ItemKindOfCalendar::Appointment, 0), (std::vector<int64_t>{1, 5}));
    EXPECT_EQ(ids(ItemKindOfCalendar::Task, 1), (std::vector<int64_t>{1, 4}));
    // An item of a hidden calendar (opened before it was hidden) can stay where it is.
    EXPECT_EQ(ids(ItemKindOfCalendar::Appointment, 3), (std::vector<int64_t>{1, 3, 5}));
}

class ItemCalendarsLoad : public ScheduleFixture {};

TEST_F(ItemCalendarsLoad, TheStoresCalendarsWithTheirColoursAndTheRowsWithTheirCalendar) {
    store::StoreCalendar work;
    work.name = "仕事";
    work.color = "#11AA33";
    ASSERT_TRUE(writer_.SaveCalendar(work).ok());
    store::StoreCalendar feed;
    feed.name = "祝日フィード";
    feed.color = "not a colour";
    feed.readOnly = true;
    feed.subscription = true;
    ASSERT_TRUE(writer_.SaveCalendar(feed).ok());

    calendar::AppointmentRecord meeting;
    meeting.start = At(2024, 5, 10, 9);
    meeting.end = At(2024, 5, 10, 10);
    meeting.subject = u"会議";
    meeting.calendarId = work.id;
    calendar::TaskRecord undated;
    undated.subject = u"読む";
    undated.calendarId = feed.id;
    calendar::TaskRecord dated;
    dated.subject = u"出す";
    dated.dueDate = At(2024, 5, 11);
    ASSERT_TRUE(writer_.AddAll({meeting}, {undated, dated}).ok());

    auto items = std::make_unique<DayItems>();
    ASSERT_TRUE(LoadDayItems(At(2024, 5, 10), settings_, home_, session_, *items).ok());
    const ItemCalendars& calendars = items->calendars;
    ASSERT_EQ(calendars.calendars.size(), 3u);
    EXPECT_EQ(calendars.calendars[1].name, u"仕事");
    EXPECT_EQ(calendars.calendars[1].colour, Bgr(0x11, 0xAA, 0x33));
    EXPECT_EQ(calendars.calendars[2].colour, PaletteColour(feed.id));
    EXPECT_TRUE(calendars.calendars[0].isDefault);
    EXPECT_TRUE(calendars.IsReadOnly(feed.id));
    EXPECT_TRUE(calendars.MarksShown());

    EXPECT_EQ(items->table[0].subject, u"会議");
    EXPECT_EQ(items->table[0].calendarId, work.id);
    EXPECT_EQ(items->table[1].subject, u"出す");
    EXPECT_EQ(items->table[1].calendarId, 1);
    EXPECT_EQ(items->undatedTasks[0].subject, u"読む");
    EXPECT_EQ(items->undatedTasks[0].calendarId, feed.id);

    // Hidden, the calendar leaves the marks: one calendar shown again.
    work.hidden = true;
    feed.hidden = true;
    ASSERT_TRUE(writer_.SaveCalendar(work).ok());
    ASSERT_TRUE(writer_.SaveCalendar(feed).ok());
    ASSERT_TRUE(LoadDayItems(At(2024, 5, 10), settings_, home_, session_, *items).ok());
    EXPECT_FALSE(items->calendars.MarksShown());
    EXPECT_EQ(items->table[0].subject, u"");
}

}  // namespace
}  // namespace schedule::item_calendars

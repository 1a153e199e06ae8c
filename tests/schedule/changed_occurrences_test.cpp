// What the day list and the month grid show of series whose occurrences were changed, moved or
// cancelled on their own, of cancelled events and of sub-daily rules: calendars imported into a
// real store file as `tessarinth-cli import` does, read back as the planner reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "platform/text/unicode_text.h"
#include "schedule/day_items.h"
#include "schedule/month_census.h"
#include "tests/schedule/schedule_fixture.h"

namespace schedule {
namespace {

// A daily series at 09:00 from Monday 7 December 2026 for ten days: the 9th taken out, the 8th
// moved to 14:00 with its own subject and alarm, the 10th moved to the 11th at 09:30 in another
// room, the 12th cancelled; and a cancelled single event on the 8th.
constexpr std::string_view kDailyWithChanges = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//test//EN
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=Europe/Berlin:20261207T090000
DTEND;TZID=Europe/Berlin:20261207T100000
RRULE:FREQ=DAILY;COUNT=10
EXDATE;TZID=Europe/Berlin:20261209T090000
SUMMARY:朝会
LOCATION:会議室A
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261208T090000
DTSTART;TZID=Europe/Berlin:20261208T140000
DTEND;TZID=Europe/Berlin:20261208T150000
SUMMARY:朝会 (午後)
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT10M
DESCRIPTION:朝会
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261210T090000
DTSTART;TZID=Europe/Berlin:20261211T093000
DTEND;TZID=Europe/Berlin:20261211T103000
SUMMARY:朝会
LOCATION:会議室B
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261212T090000
DTSTART;TZID=Europe/Berlin:20261212T090000
DTEND;TZID=Europe/Berlin:20261212T100000
SUMMARY:朝会
STATUS:CANCELLED
END:VEVENT
BEGIN:VEVENT
UID:called-off@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=Europe/Berlin:20261208T190000
DTEND;TZID=Europe/Berlin:20261208T200000
SUMMARY:忘年会
STATUS:CANCELLED
END:VEVENT
END:VCALENDAR
)";

// A monthly series on the 28th from October; its November occurrence moved to 3 December.
constexpr std::string_view kMonthlyMovedIntoDecember = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:monthly@test
DTSTAMP:20261001T000000Z
DTSTART:20261028T180000
DTEND:20261028T190000
RRULE:FREQ=MONTHLY;COUNT=4
SUMMARY:月例会
END:VEVENT
BEGIN:VEVENT
UID:monthly@test
DTSTAMP:20261001T000000Z
RECURRENCE-ID:20261128T180000
DTSTART:20261203T120000
DTEND:20261203T130000
SUMMARY:月例会 (振替)
END:VEVENT
END:VCALENDAR
)";

class ChangedOccurrencesTest : public ScheduleFixture {
protected:
    void Load(Date selected, StoreSession& session) {
        auto loaded = LoadDayItems(selected, settings_, home_, session, *items_);
        ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    }
    void Load(Date selected) { Load(selected, session_); }

    void Census(Date selected, StoreSession& session) {
        InvalidateMonthCensus(census_);
        auto refreshed = RefreshMonthCensus(selected, settings_, session, census_);
        ASSERT_TRUE(refreshed.ok()) << refreshed.error().message;
    }
    void Census(Date selected) { Census(selected, session_); }

    // The time bands of a day of December 2026 (its 1st is a Tuesday, column 2).
    uint8_t DecemberBands(int day) const {
        return census_.census.timeBands[static_cast<size_t>(day + 1)];
    }

    const DayItemRow& Row(size_t index) const { return items_->table[index]; }

    std::vector<DayItemKind> Kinds() const {
        std::vector<DayItemKind> kinds;
        for (const DayItemRow& row : items_->table) {
            kinds.push_back(row.kind);
        }
        return kinds;
    }

    std::vector<int> RowDays() const {
        std::vector<int> days;
        for (const DayItemRow& row : items_->table) {
            days.push_back(static_cast<int>(row.rowDate - items_->window[0]));
        }
        return days;
    }

    std::vector<Date> Starts() const {
        std::vector<Date> starts;
        for (const DayItemRow& row : items_->table) {
            if (row.kind == A) {
                starts.push_back(row.start);
            }
        }
        return starts;
    }

    std::unique_ptr<DayItems> items_ = std::make_unique<DayItems>();
    MonthCensusState census_;
};

TEST_F(ChangedOccurrencesTest, TheDayListShowsEachOccurrenceOnceWhereItNowIs) {
    Import(writer_, kDailyWithChanges);
    Load(At(2026, 12, 7));
    // 7, 8 (moved to 14:00), 9 taken out, 10 moved away, 11 (its own and the 10th's), 12
    // cancelled, 13 to 16, 17 after the series.
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 1, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, A, E, E, A, A, E, A, A, A, A, E}));
    EXPECT_EQ(Starts(),
              (std::vector<Date>{At(2026, 12, 7, 9), At(2026, 12, 8, 14), At(2026, 12, 11, 9),
                                 At(2026, 12, 11, 9, 30), At(2026, 12, 13, 9), At(2026, 12, 14, 9),
                                 At(2026, 12, 15, 9), At(2026, 12, 16, 9)}));
    const int32_t series = Row(0).objectId;
    // The moved occurrence is its series' (the same object id, recurring) with its own texts.
    const DayItemRow& afternoon = Row(1);
    EXPECT_EQ(afternoon.objectId, series);
    EXPECT_EQ(afternoon.end, At(2026, 12, 8, 15));
    EXPECT_EQ(afternoon.subject, u"朝会 (午後)");
    EXPECT_EQ(afternoon.location, u"");
    EXPECT_EQ(afternoon.reminder, 1);
    EXPECT_EQ(afternoon.recurring, 1);
    EXPECT_EQ(afternoon.storedStart, At(2026, 12, 7, 9));
    EXPECT_EQ(afternoon.changedOccurrence, At(2026, 12, 8, 9));
    EXPECT_EQ(Row(0).subject, u"朝会");
    EXPECT_EQ(Row(0).location, u"会議室A");
    EXPECT_EQ(Row(0).reminder, 0);
    EXPECT_FALSE(Row(0).changedOccurrence.has_value());
    EXPECT_EQ(Row(5).objectId, series);
    EXPECT_EQ(Row(5).location, u"会議室B");

    // From the 10th on: the moved occurrence is on the 11th only, also when the day it left is
    // the first of the window.
    Load(At(2026, 12, 10));
    EXPECT_EQ(Kinds()[0], E);
    EXPECT_EQ(Starts().front(), At(2026, 12, 11, 9));
    EXPECT_EQ(Starts()[1], At(2026, 12, 11, 9, 30));
}

TEST_F(ChangedOccurrencesTest, TheMonthGridMarksOccurrencesWhereTheyNowAre) {
    Import(writer_, kDailyWithChanges);
    Census(At(2026, 12, 1));
    EXPECT_EQ(DecemberBands(7), kBandMorning);
    EXPECT_EQ(DecemberBands(8), kBandMidday);  // 14:00, and the cancelled party left out
    EXPECT_EQ(DecemberBands(9), 0);
    EXPECT_EQ(DecemberBands(10), 0);
    EXPECT_EQ(DecemberBands(11), kBandMorning);
    EXPECT_EQ(DecemberBands(12), 0);
    EXPECT_EQ(DecemberBands(16), kBandMorning);
    EXPECT_EQ(DecemberBands(17), 0);
}

TEST_F(ChangedOccurrencesTest, AnOccurrenceMovedIntoTheMonthFromTheOneBeforeIsCounted) {
    Import(writer_, kMonthlyMovedIntoDecember);
    Census(At(2026, 12, 1));
    EXPECT_EQ(DecemberBands(3), kBandMidday);
    EXPECT_EQ(DecemberBands(28), kBandEvening);
    Census(At(2026, 11, 1));
    EXPECT_EQ(census_.census.timeBands[28 + 6 - 1], 0);  // November 28th (the 1st is a Sunday)
    EXPECT_EQ(census_.census.timeBands[6], 0);

    Load(At(2026, 12, 1));
    ASSERT_EQ(Row(2).kind, A);
    EXPECT_EQ(Row(2).rowDate, At(2026, 12, 3));
    EXPECT_EQ(Row(2).start, At(2026, 12, 3, 12));
    EXPECT_EQ(Row(2).subject, u"月例会 (振替)");
    Load(At(2026, 11, 20));
    for (const DayItemRow& row : items_->table) {
        if (row.rowDate == At(2026, 11, 28)) {
            EXPECT_EQ(row.kind, E) << "nothing is left on the day it moved from";
        }
    }
}

TEST_F(ChangedOccurrencesTest, ACancelledEventIsKeptButNeitherListedNorCounted) {
    Import(writer_, kDailyWithChanges);
    Load(At(2026, 12, 8));
    for (const DayItemRow& row : items_->table) {
        EXPECT_NE(row.subject, u"忘年会");
    }
    Census(At(2026, 12, 1));
    EXPECT_EQ(DecemberBands(8) & kBandEvening, 0);
    // Still in the store, and exported.
    const auto all = writer_.AllAppointments();
    ASSERT_EQ(all->size(), 2u);
    EXPECT_TRUE(all->at(1).cancelled);
    EXPECT_NE(calendar::WriteICalendar(*all, {}).find("STATUS:CANCELLED"), std::string::npos);
}

TEST_F(ChangedOccurrencesTest, ImportExportImportGivesTheSameDays) {
    Import(writer_, kDailyWithChanges);
    Import(writer_, kMonthlyMovedIntoDecember);
    const auto first = writer_.AllAppointments();
    ASSERT_TRUE(first.ok());
    const std::string exported = calendar::WriteICalendar(*first, *writer_.AllTasks());

    testing_support::TempFolder otherFolder;
    const platform::DataHome other{otherFolder.Path()};
    ASSERT_TRUE(other.EnsureFolders().ok());
    store::Application second;
    ASSERT_TRUE(second.LogOn(other.StorePath()).ok());
    Import(second, exported);
    auto again = second.AllAppointments();
    ASSERT_TRUE(again.ok());
    ASSERT_EQ(again->size(), first->size());
    for (size_t i = 0; i < first->size(); ++i) {
        calendar::AppointmentRecord expected = first->at(i);
        expected.oid = again->at(i).oid;
        EXPECT_EQ(again->at(i), expected) << platform::Utf16ToUtf8Lossy(expected.subject);
    }

    StoreSession otherSession(other.StorePath());
    for (const Date day : {At(2026, 12, 1), At(2026, 12, 7), At(2026, 12, 10)}) {
        Load(day);
        const std::vector<Date> starts = Starts();
        std::vector<std::u16string> subjects;
        for (const DayItemRow& row : items_->table) {
            subjects.push_back(row.subject);
        }
        Load(day, otherSession);
        EXPECT_EQ(Starts(), starts);
        for (size_t row = 0; row < kDayItemRows; ++row) {
            EXPECT_EQ(items_->table[row].subject, subjects[row]);
        }
    }
    Census(At(2026, 12, 1));
    const auto bands = census_.census.timeBands;
    Census(At(2026, 12, 1), otherSession);
    EXPECT_EQ(census_.census.timeBands, bands);
}

// Every `stepSeconds` from `first`, the starts that lie in [from, to), counted step by step.
std::vector<Date> EveryStep(Date first, int64_t stepSeconds, Date from, Date to) {
    const auto seconds = [](Date date) {
        return static_cast<int64_t>(std::llround(platform::DateToLinear(date) * 86400));
    };
    std::vector<Date> starts;
    for (int64_t at = seconds(first); at < seconds(to); at += stepSeconds) {
        if (at >= seconds(from)) {
            starts.push_back(*platform::FieldsToDate(
                *platform::DateToFields(platform::LinearToDate(static_cast<double>(at) / 86400))));
        }
    }
    return starts;
}

TEST_F(ChangedOccurrencesTest, HourlyAndMinutelyRulesKeepTheirStepsYearsLater) {
    calendar::AppointmentRecord hourly;
    // A quarter of an hour: no occurrence reaches into the next day and is listed twice.
    hourly.start = At(2020, 1, 3, 13, 30);
    hourly.end = At(2020, 1, 3, 13, 45);
    hourly.subject = u"37時間ごと";
    hourly.recurrence.rule = "FREQ=HOURLY;INTERVAL=37";
    Add(hourly);
    Load(At(2020, 1, 13));
    EXPECT_EQ(Starts(), EveryStep(hourly.start, 37 * 3600, At(2020, 1, 13), At(2020, 1, 25)));
    EXPECT_EQ(Starts()[0], At(2020, 1, 14, 8, 30));  // not 02:30: the rule's own steps
    EXPECT_EQ(Starts()[1], At(2020, 1, 15, 21, 30));
    Load(At(2031, 7, 1));
    EXPECT_EQ(Starts(), EveryStep(hourly.start, 37 * 3600, At(2031, 7, 1), At(2031, 7, 13)));

    // The census of a month years later, against the steps counted: a series of 45 minutes
    // marks the hour it starts in (one that starts at 23:30 runs past midnight and marks none).
    calendar::AppointmentRecord longer = hourly;
    longer.end = At(2020, 1, 3, 14, 15);
    Add(longer);
    Census(At(2031, 7, 1));
    std::array<uint8_t, 32> expected{};
    for (const Date start : EveryStep(hourly.start, 37 * 3600, At(2031, 7, 1), At(2031, 8, 1))) {
        const auto fields = *platform::DateToFields(start);
        if (fields.Hour < 23) {
            expected[fields.Day] |= fields.Hour < 12   ? kBandMorning
                                    : fields.Hour < 15 ? kBandMidday
                                    : fields.Hour < 18 ? kBandAfternoon
                                                       : kBandEvening;
        }
    }
    for (int day = 1; day <= 31; ++day) {
        // July 2031 begins on a Tuesday.
        EXPECT_EQ(census_.census.timeBands[static_cast<size_t>(day + 1)], expected[day])
            << "July " << day;
    }
}

TEST_F(ChangedOccurrencesTest, AMinutelyRuleIsListedFromItsOwnMinutes) {
    calendar::AppointmentRecord minutely;
    minutely.start = At(2020, 1, 3, 13, 31);
    minutely.end = At(2020, 1, 3, 13, 32);
    minutely.subject = u"7分ごと";
    minutely.recurrence.rule = "FREQ=MINUTELY;INTERVAL=7";
    const int32_t oid = Add(minutely);
    auto items = writer_.GetDefaultFolder(store::FolderKind::Calendar)->GetItems();
    auto day = items->Restrict(uR"([Start] >= "2027/3/4" and [Start] <= "2027/3/4")");
    day->SetIncludeRecurrences(true);
    (void)day->Sort(u"[Start]");
    std::vector<Date> starts;
    for (int32_t i = 1; i <= *day->Count(); ++i) {
        EXPECT_EQ(day->AppointmentAt(i)->Oid(), oid);
        starts.push_back(day->AppointmentAt(i)->Start());
    }
    EXPECT_EQ(starts, EveryStep(minutely.start, 7 * 60, At(2027, 3, 4), At(2027, 3, 5)));
    EXPECT_EQ(starts.size(), 206u);  // 1440 minutes, one start every 7 (a day holds 205 or 206)
}

}  // namespace
}  // namespace schedule

// The day list placed from what the month's census read must be the list a reading of the store
// gives, on every day of the month, also where its window runs on into the next month.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schedule/day_items.h"
#include "schedule/month_census.h"
#include "tests/schedule/schedule_fixture.h"

namespace schedule {
namespace {

// Around the turn of 2026 to 2027: a weekly series from November with one occurrence moved from
// December into January and one moved from January into December, a daily series running on into
// January, all-day and timed items over both month ends, fourteen items at one time (more than a
// day's slots, told apart by object id) and a cancelled one.
constexpr std::string_view kTurnOfTheYear = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//test//EN
BEGIN:VEVENT
UID:weekly@test
DTSTAMP:20261101T000000Z
DTSTART:20261102T090000
DTEND:20261102T100000
RRULE:FREQ=WEEKLY;UNTIL=20270201T000000
EXDATE:20261214T090000
SUMMARY:週例
END:VEVENT
BEGIN:VEVENT
UID:weekly@test
DTSTAMP:20261101T000000Z
RECURRENCE-ID:20261228T090000
DTSTART:20270102T100000
DTEND:20270102T110000
SUMMARY:週例 (年明け)
END:VEVENT
BEGIN:VEVENT
UID:weekly@test
DTSTAMP:20261101T000000Z
RECURRENCE-ID:20270104T090000
DTSTART:20261230T080000
DTEND:20261230T090000
SUMMARY:週例 (年内)
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261101T000000Z
DTSTART:20261220T070000
DTEND:20261220T073000
RRULE:FREQ=DAILY;COUNT=20
SUMMARY:体操
END:VEVENT
BEGIN:VEVENT
UID:trip@test
DTSTAMP:20261101T000000Z
DTSTART;VALUE=DATE:20261128
DTEND;VALUE=DATE:20261204
SUMMARY:出張
END:VEVENT
BEGIN:VEVENT
UID:holidays@test
DTSTAMP:20261101T000000Z
DTSTART;VALUE=DATE:20261230
DTEND;VALUE=DATE:20270103
SUMMARY:年末年始
END:VEVENT
BEGIN:VEVENT
UID:new-year@test
DTSTAMP:20261101T000000Z
DTSTART:20261231T230000
DTEND:20270101T010000
SUMMARY:年越し
END:VEVENT
BEGIN:VEVENT
UID:late@test
DTSTAMP:20261101T000000Z
DTSTART:20261130T220000
DTEND:20261201T020000
SUMMARY:夜勤
END:VEVENT
BEGIN:VEVENT
UID:work@test
DTSTAMP:20261101T000000Z
DTSTART:20270106T120000
DTEND:20270106T130000
SUMMARY:仕事始め
END:VEVENT
BEGIN:VEVENT
UID:edge@test
DTSTAMP:20261101T000000Z
DTSTART:20270113T120000
DTEND:20270113T130000
SUMMARY:窓の外
END:VEVENT
BEGIN:VEVENT
UID:called-off@test
DTSTAMP:20261101T000000Z
DTSTART:20261224T190000
DTEND:20261224T200000
SUMMARY:中止
STATUS:CANCELLED
END:VEVENT
)" R"(BEGIN:VEVENT
UID:crowd-1@test
DTSTAMP:20261101T000000Z
DTSTART:20261218T120000
DTEND:20261218T130000
SUMMARY:昼 1
END:VEVENT
END:VCALENDAR
)";

class DayListFromCensusTest : public ScheduleFixture {
protected:
    void SetUp() override {
        ScheduleFixture::SetUp();
        Import(writer_, kTurnOfTheYear);
        // Thirteen more at the same time as 昼 1, each with an object id of its own.
        for (int i = 2; i <= 14; ++i) {
            AddTimed(At(2026, 12, 18, 12), At(2026, 12, 18, 13), u"昼 " + Number(i));
        }
        // A day near the month's end that fills the rows: the days after it need not be read.
        for (int i = 1; i <= 12; ++i) {
            AddTimed(At(2026, 12, 28, 13), At(2026, 12, 28, 14), u"納会 " + Number(i));
        }
    }

    static std::u16string Number(int n) {
        const std::string text = std::to_string(n);
        return std::u16string(text.begin(), text.end());
    }

    // What the day list shows of its rows, one line each.
    static std::vector<std::string> Shown(const DayItems& items) {
        std::vector<std::string> rows;
        for (const DayItemRow& row : items.table) {
            rows.push_back(std::to_string(row.rowDate) + " " +
                           std::to_string(static_cast<int>(row.kind)) + " " +
                           std::to_string(row.objectId) + " " + std::to_string(row.start) + " " +
                           std::to_string(row.end) + " " + std::to_string(row.allDay) + " " +
                           std::to_string(row.changedOccurrence.value_or(-1)) + " " +
                           std::to_string(row.occurrence.value_or(-1)) + " " +
                           std::string(row.subject.begin(), row.subject.end()));
        }
        return rows;
    }

    std::vector<std::string> LoadWith(Date selected, const MonthCensusState* month) {
        auto loaded = LoadDayItems(selected, settings_, home_, session_, *items_, month);
        EXPECT_TRUE(loaded.ok()) << loaded.error().message;
        return Shown(*items_);
    }

    size_t AppointmentRows() const {
        size_t count = 0;
        for (const DayItemRow& row : items_->table) {
            count += row.kind == A ? 1 : 0;
        }
        return count;
    }

    bool Lists(std::u16string_view subject) const {
        for (const DayItemRow& row : items_->table) {
            if (row.subject == subject) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<DayItems> items_ = std::make_unique<DayItems>();
    MonthCensusState census_;
};

TEST_F(DayListFromCensusTest, EveryDayOfTheMonthListsWhatTheStoreGives) {
    for (const Date first : {At(2026, 11, 1), At(2026, 12, 1)}) {
        const std::optional<platform::CalendarFields> month = platform::DateToFields(first);
        for (Date selected = first;; selected += 1) {
            const std::optional<platform::CalendarFields> day = platform::DateToFields(selected);
            if (day->Month != month->Month) {
                break;
            }
            SCOPED_TRACE(std::to_string(day->Month) + "/" + std::to_string(day->Day));
            ASSERT_TRUE(RefreshMonthCensus(selected, settings_, session_, census_).ok());
            const std::vector<std::string> fromCensus = LoadWith(selected, &census_);
            EXPECT_EQ(fromCensus, LoadWith(selected, nullptr));
        }
    }
    // The days the comparison went through hold what it is meant to catch.
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 12, 18), settings_, session_, census_).ok());
    LoadWith(At(2026, 12, 18), &census_);
    // Twelve of the fourteen at one time fill the table: the first twelve stored.
    EXPECT_EQ(AppointmentRows(), 12u);
    EXPECT_TRUE(Lists(u"昼 1"));
    EXPECT_TRUE(Lists(u"昼 12"));
    EXPECT_FALSE(Lists(u"昼 13"));
    for (size_t row = 1; row < items_->table.size(); ++row) {
        EXPECT_LT(items_->table[row - 1].objectId, items_->table[row].objectId);
    }
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 12, 31), settings_, session_, census_).ok());
    LoadWith(At(2026, 12, 31), &census_);
    EXPECT_TRUE(Lists(u"週例 (年明け)"));
    EXPECT_TRUE(Lists(u"年越し"));
    EXPECT_TRUE(Lists(u"仕事始め"));
    EXPECT_FALSE(Lists(u"窓の外"));  // read, as the query reaches past the window, not listed
    LoadWith(At(2026, 12, 29), &census_);
    EXPECT_TRUE(Lists(u"週例 (年内)"));
    EXPECT_FALSE(Lists(u"中止"));
}

TEST_F(DayListFromCensusTest, TheMonthIsTakenFromTheCensusAndOnlyLaterDaysFromTheStore) {
    // A census that read nothing of December: the days inside the month are placed from it, and
    // only those after the month come from the store.
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 12, 26), settings_, session_, census_).ok());
    ASSERT_FALSE(census_.appointments.empty());
    census_.appointments.clear();
    LoadWith(At(2026, 12, 10), &census_);
    EXPECT_EQ(AppointmentRows(), 0u);
    LoadWith(At(2026, 12, 26), &census_);
    EXPECT_FALSE(Lists(u"年越し"));  // it starts in December
    EXPECT_TRUE(Lists(u"週例 (年明け)"));
    for (const DayItemRow& row : items_->table) {
        if (row.kind == A) {
            EXPECT_GE(row.start, At(2027, 1, 1));
        }
    }
    EXPECT_GE(AppointmentRows(), 3u);
}

TEST_F(DayListFromCensusTest, AStoreChangedSinceTheCensusIsReadAgain) {
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 12, 2), settings_, session_, census_).ok());
    census_.appointments.clear();
    // Written by another connection (a sync, the command line) ...
    AddTimed(At(2026, 12, 5, 15), At(2026, 12, 5, 16), u"後から");
    LoadWith(At(2026, 12, 2), &census_);
    EXPECT_TRUE(Lists(u"後から"));
    EXPECT_TRUE(Lists(u"出張"));
    // ... or by the planner's own.
    InvalidateMonthCensus(census_);
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 12, 2), settings_, session_, census_).ok());
    census_.appointments.clear();
    auto own = session_.LoggedOnApplication();
    ASSERT_TRUE(own.ok());
    store::Appointment added =
        (*own)->GetDefaultFolder(store::FolderKind::Calendar)->GetItems()->AddAppointment();
    added.SetSubject(u"自分で");
    added.SetStart(At(2026, 12, 3, 9));
    added.SetEnd(At(2026, 12, 3, 10));
    ASSERT_TRUE(added.Save().ok());
    LoadWith(At(2026, 12, 2), &census_);
    EXPECT_TRUE(Lists(u"自分で"));
    EXPECT_TRUE(Lists(u"出張"));
}

TEST_F(DayListFromCensusTest, ACensusOfAnotherMonthIsNotUsed) {
    ASSERT_TRUE(RefreshMonthCensus(At(2026, 11, 10), settings_, session_, census_).ok());
    AddTimed(At(2026, 12, 5, 15), At(2026, 12, 5, 16), u"後から");
    LoadWith(At(2026, 12, 2), &census_);
    EXPECT_TRUE(Lists(u"後から"));
}

}  // namespace
}  // namespace schedule

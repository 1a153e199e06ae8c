#include "schedule/day_items.h"

#include <gtest/gtest.h>

#include "schedule/ink_entry.h"
#include "tests/schedule/schedule_fixture.h"

namespace schedule {
namespace {

using testing_support::WriteBytes;

const Date kSelected = At(2026, 12, 7);

class DayItemsTest : public ScheduleFixture {
protected:
    void Load(Date selected = kSelected) {
        auto loaded = LoadDayItems(selected, settings_, home_, session_, *items_);
        ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    }

    const DayItemRow& Row(size_t index) const { return items_->table[index]; }

    // The window day (0..11) of each row, for checking the table's shape at a glance.
    std::vector<int> RowDays() const {
        std::vector<int> days;
        for (const DayItemRow& row : items_->table) {
            days.push_back(static_cast<int>(row.rowDate - items_->window[0]));
        }
        return days;
    }

    std::vector<DayItemKind> Kinds() const {
        std::vector<DayItemKind> kinds;
        for (const DayItemRow& row : items_->table) {
            kinds.push_back(row.kind);
        }
        return kinds;
    }

    size_t UndatedCount() const {
        size_t count = 0;
        while (count < items_->undatedTasks.size() && items_->undatedTasks[count].objectId != 0) {
            ++count;
        }
        return count;
    }

    std::unique_ptr<DayItems> items_ = std::make_unique<DayItems>();
};

TEST_F(DayItemsTest, AnEmptyStoreGivesTwelveEmptyDaysAndAReloadForgetsTheLastOne) {
    AddTimed(kSelected + 30 + 10 / 24.0, kSelected + 30 + 11 / 24.0, u"一か月後");
    Load(kSelected + 30);
    ASSERT_EQ(Row(0).kind, A);
    items_->cornerPage = 3;

    Load();
    EXPECT_EQ(items_->cornerPage, 0);
    EXPECT_EQ(Kinds(), std::vector<DayItemKind>(12, E));
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    for (size_t k = 0; k < kWindowDays; ++k) {
        EXPECT_EQ(items_->window[k], kSelected + static_cast<double>(k));
        EXPECT_EQ(Row(k).objectId, 0);
        EXPECT_TRUE(Row(k).subject.empty());
    }
    EXPECT_EQ(UndatedCount(), 0u);
}

TEST_F(DayItemsTest, TheCalendarsLastDaysListTheirItemsAndNoDaysBeyond) {
    AddTimed(At(9999, 12, 31, 10), At(9999, 12, 31, 11), u"最後の日");
    Load(At(9999, 12, 30));
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{E, A, E, E, E, E, E, E, E, E, E, E}));
    EXPECT_EQ(Row(1).subject, u"最後の日");
    EXPECT_EQ(Row(0).rowDate, At(9999, 12, 30));
    // The days past the calendar's end keep their dates, which no label can show.
    EXPECT_FALSE(platform::DateToFields(Row(2).rowDate).has_value());
    EXPECT_EQ(Row(2).rowDate, At(9999, 12, 31) + 1);
}

TEST_F(DayItemsTest, TimedAppointmentsOverMidnightAreListedOnEachDayTheyTouch) {
    const int32_t overnight = AddTimed(At(2026, 12, 9, 22), At(2026, 12, 10, 2), u"夜行バス");
    const int32_t toMidnight = AddTimed(At(2026, 12, 12, 23), At(2026, 12, 13, 0), u"年越し");
    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{E, E, A, A, E, A, A, E, E, E, E, E}));
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    for (size_t row : {2, 3}) {
        EXPECT_EQ(Row(row).objectId, overnight);
        EXPECT_EQ(Row(row).start, At(2026, 12, 9, 22));
        EXPECT_EQ(Row(row).end, At(2026, 12, 10, 2));
        EXPECT_EQ(Row(row).subject, u"夜行バス");
    }
    // Ending at 00:00 still reaches the next day.
    EXPECT_EQ(Row(5).objectId, toMidnight);
    EXPECT_EQ(Row(6).objectId, toMidnight);
}

TEST_F(DayItemsTest, AnAppointmentBegunEarlierStartsAtTheSelectedDate) {
    const int32_t oid = AddTimed(At(2026, 12, 5, 10), At(2026, 12, 8, 9), u"出張");
    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, A, E, E, E, E, E, E, E, E, E, E}));
    for (size_t row : {0, 1}) {
        EXPECT_EQ(Row(row).objectId, oid);
        EXPECT_EQ(Row(row).start, kSelected);
        EXPECT_EQ(Row(row).end, At(2026, 12, 8, 9));
    }
}

TEST_F(DayItemsTest, AllDayAppointmentsAreListedOnceOnTheirFirstDayInTheWindow) {
    const int32_t span = AddAllDay(At(2026, 12, 10), At(2026, 12, 12), u"旅行");
    const int32_t begunEarlier = AddAllDay(At(2026, 12, 6), At(2026, 12, 8), u"展示会");
    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, E, E, A, E, E, E, E, E, E, E, E}));
    EXPECT_EQ(Row(0).objectId, begunEarlier);
    EXPECT_EQ(Row(0).start, kSelected);
    EXPECT_EQ(Row(0).allDay, 1);
    EXPECT_EQ(Row(3).objectId, span);
    EXPECT_EQ(Row(3).rowDate, At(2026, 12, 10));
    EXPECT_EQ(Row(3).end, At(2026, 12, 12));
}

TEST_F(DayItemsTest, StartsOnTheTwoQueriedDaysPastTheWindowGiveNoRow) {
    const int32_t lastDay = AddTimed(At(2026, 12, 18, 10), At(2026, 12, 18, 11));
    AddTimed(At(2026, 12, 19, 10), At(2026, 12, 19, 11));
    AddTimed(At(2026, 12, 20, 10), At(2026, 12, 20, 11));
    AddAllDay(At(2026, 12, 19), At(2026, 12, 21));
    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{E, E, E, E, E, E, E, E, E, E, E, A}));
    EXPECT_EQ(Row(11).objectId, lastDay);
}

TEST_F(DayItemsTest, TwelveAppointmentsOnOneDayFillTheTableAndTheThirteenthIsDropped) {
    std::vector<int32_t> oids;
    // Added latest first, so that the rows' start order is the store's sort, not its id order.
    for (int hour = 20; hour >= 8; --hour) {
        oids.insert(oids.begin(), AddTimed(At(2026, 12, 7, hour), At(2026, 12, 7, hour, 30)));
    }
    AddTimed(At(2026, 12, 8, 9), At(2026, 12, 8, 10), u"翌日");
    Load();
    EXPECT_EQ(Kinds(), std::vector<DayItemKind>(12, A));
    EXPECT_EQ(RowDays(), std::vector<int>(12, 0));
    for (size_t row = 0; row < kDayItemRows; ++row) {
        EXPECT_EQ(Row(row).objectId, oids[row]) << "row " << row;
        EXPECT_EQ(Row(row).start, At(2026, 12, 7, 8 + static_cast<int>(row)));
    }
}

TEST_F(DayItemsTest, TheTwelfthRowEndsTheTableInTheMiddleOfADay) {
    for (int hour = 8; hour < 19; ++hour) {
        AddTimed(At(2026, 12, 7, hour), At(2026, 12, 7, hour, 30));
    }
    AddTimed(At(2026, 12, 8, 15), At(2026, 12, 8, 16));
    const int32_t earlier = AddTimed(At(2026, 12, 8, 9), At(2026, 12, 8, 10));
    Load();
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Row(11).objectId, earlier);
    EXPECT_EQ(UndatedCount(), 0u);
}

TEST_F(DayItemsTest, TheSameItemIsListedOncePerDayAndOccurrencesKeepTheirOwnTimes) {
    // Two occurrences on the selected date (the rule's and an added one), one a week later.
    calendar::AppointmentRecord series;
    series.start = At(2026, 12, 7, 9);
    series.end = At(2026, 12, 7, 10);
    series.subject = u"朝会";
    series.recurrence.rule = "FREQ=WEEKLY;COUNT=2";
    series.recurrence.extraDates = {At(2026, 12, 7, 15)};
    const int32_t oid = Add(series);
    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, E, E, E, E, E, E, A, E, E, E, E}));
    EXPECT_EQ(Row(0).objectId, oid);
    EXPECT_EQ(Row(0).start, At(2026, 12, 7, 9));
    EXPECT_EQ(Row(7).objectId, oid);
    EXPECT_EQ(Row(7).start, At(2026, 12, 14, 9));
    EXPECT_EQ(Row(7).end, At(2026, 12, 14, 10));
    EXPECT_EQ(Row(7).recurring, 1);
    EXPECT_EQ(Row(7).subject, u"朝会");
}

TEST_F(DayItemsTest, DatedTasksFollowTheDaysAppointmentsOnlyWhenShown) {
    const int32_t second =
        AddTask(u"請求書", At(2026, 12, 7), true, At(2026, 12, 6), u"一行目\r\n二行目");
    const int32_t meeting = AddTimed(At(2026, 12, 7, 17), At(2026, 12, 7, 18), u"会議");
    const int32_t tomorrow = AddTask(u"電話", At(2026, 12, 8));
    AddTask(u"遠い", At(2026, 12, 25));
    const int32_t undated = AddTask(u"いつか", calendar::kNoDateValue);

    Load();
    EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, T, T, E, E, E, E, E, E, E, E, E}));
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Row(0).objectId, meeting);
    EXPECT_EQ(Row(1).objectId, second);
    EXPECT_EQ(Row(1).start, At(2026, 12, 7));
    EXPECT_EQ(Row(1).end, At(2026, 12, 7));
    EXPECT_EQ(Row(1).complete, -1);
    EXPECT_EQ(Row(1).memoText, u"一行目\r\n二行目");  // a task's memo is its whole body
    EXPECT_EQ(Row(2).objectId, tomorrow);
    EXPECT_EQ(Row(2).complete, 0);

    for (int32_t off : {0, 2, -5}) {
        settings_.bTask = off;
        Load();
        EXPECT_EQ(Kinds(), (std::vector<DayItemKind>{A, E, E, E, E, E, E, E, E, E, E, E}))
            << "bTask " << off;
        ASSERT_EQ(UndatedCount(), 1u);
        EXPECT_EQ(items_->undatedTasks[0].objectId, undated);
    }
}

TEST_F(DayItemsTest, UndatedTasksAreTheOpenOnesAndThoseCompletedThatDay) {
    const int32_t open = AddTask(u"本を返す", calendar::kNoDateValue);
    const int32_t doneToday =
        AddTask(u"掃除", calendar::kNoDateValue, true, At(2026, 12, 7, 18, 30));
    AddTask(u"洗車", calendar::kNoDateValue, true, At(2026, 12, 6, 9));
    AddTask(u"期限付き", At(2026, 12, 30));
    Load();
    ASSERT_EQ(UndatedCount(), 2u);
    EXPECT_EQ(items_->undatedTasks[0].objectId, open);
    EXPECT_EQ(items_->undatedTasks[0].subject, u"本を返す");
    EXPECT_EQ(items_->undatedTasks[0].complete, 0);
    EXPECT_EQ(items_->undatedTasks[1].objectId, doneToday);
    EXPECT_EQ(items_->undatedTasks[1].complete, 1);
    EXPECT_EQ(items_->undatedTasks[1].dateCompleted, At(2026, 12, 7, 18, 30));

    // The day after, the task done on the 7th is gone.
    Load(kSelected + 1);
    ASSERT_EQ(UndatedCount(), 1u);
    EXPECT_EQ(items_->undatedTasks[0].objectId, open);
}

TEST_F(DayItemsTest, TheUndatedListHoldsAHundredTasks) {
    std::vector<calendar::TaskRecord> tasks(kUndatedTaskCapacity + 5);
    for (size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].subject = u"仕事" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    }
    auto oids = writer_.AddAll({}, tasks);
    ASSERT_TRUE(oids.ok());
    Load();
    EXPECT_EQ(UndatedCount(), kUndatedTaskCapacity);
    EXPECT_EQ(items_->undatedTasks.back().objectId, (*oids)[kUndatedTaskCapacity - 1]);
}

TEST_F(DayItemsTest, DetailsComeFromTheStoredItemWithTheMemoCutToItsField) {
    calendar::AppointmentRecord record;
    record.start = At(2026, 12, 7, 9);
    record.end = At(2026, 12, 7, 10);
    // 254 units and a character outside the BMP, whose pair straddles a 255-unit room.
    record.subject = std::u16string(254, u's') + u"𠮷";
    record.location = std::u16string(300, u'l');
    record.body = u"最初の行\r\n次の行";
    record.reminderSet = true;
    record.categories = u"祝日";
    Add(record);

    record.start = At(2026, 12, 8, 9);
    record.end = At(2026, 12, 8, 10);
    record.subject = u"長いメモ";
    record.location.clear();
    record.body = std::u16string(kMaxMemoUnits + 1001, u'm');
    record.reminderSet = false;
    record.categories = u"祝日, 仕事";
    Add(record);

    Load();
    ASSERT_EQ(Kinds(), (std::vector<DayItemKind>{A, A, E, E, E, E, E, E, E, E, E, E}));
    // Subject and location whole, for an editor that must not shorten them.
    EXPECT_EQ(Row(0).subject, std::u16string(254, u's') + u"𠮷");
    EXPECT_EQ(Row(0).location, std::u16string(300, u'l'));
    EXPECT_EQ(Row(0).memoText, u"最初の行\r\n次の行");  // a text memo is its whole text
    EXPECT_EQ(Row(0).body, u"最初の行\r\n次の行");
    EXPECT_EQ(Row(0).reminder, 1);
    EXPECT_EQ(Row(0).holiday, 1);
    EXPECT_EQ(Row(0).recurring, 0);
    EXPECT_EQ(Row(0).inkCount, 0);

    EXPECT_EQ(Row(1).memoText.size(), kMaxMemoUnits);
    EXPECT_EQ(Row(1).body.size(), kMaxMemoUnits + 1001);  // the whole body is kept
    EXPECT_EQ(Row(1).reminder, 0);
    EXPECT_EQ(Row(1).holiday, 0);  // the holiday category must be the whole text

    settings_.HoliDay = u"祝日, 仕事";
    Load();
    EXPECT_EQ(Row(0).holiday, 0);
    EXPECT_EQ(Row(1).holiday, 1);
}

TEST_F(DayItemsTest, AHandwrittenMemoLoadsItsInkFileFromTheDataFolder) {
    const std::array<schedule::InkEntry, 5> stroke{{{-3, 2}, {-2, 1}, {10, 4}, {12, 6}, {-1, -1}}};
    WriteBytes(DataFolder() / "12.dat", schedule::EncodeInkEntries(stroke));
    // A file the planner did not write, which an imported body might try to name.
    WriteBytes(DataFolder() / "notes.dat", schedule::EncodeInkEntries(stroke));

    calendar::AppointmentRecord record;
    record.start = At(2026, 12, 7, 9);
    record.end = At(2026, 12, 7, 10);
    record.body = u"12.dat\r\n手書きのメモ";
    record.handwritten = true;
    Add(record);
    record.start = At(2026, 12, 8, 9);
    record.end = At(2026, 12, 8, 10);
    record.body = u"notes.dat";
    Add(record);

    Load();
    EXPECT_EQ(Row(0).handwritten, 1);
    EXPECT_EQ(Row(0).memoText, u"12.dat");
    ASSERT_EQ(Row(0).inkCount, 5);
    EXPECT_TRUE(std::equal(stroke.begin(), stroke.end(), Row(0).ink.begin()));
    EXPECT_EQ(Row(1).memoText, u"notes.dat");
    EXPECT_EQ(Row(1).inkCount, 0);

    // The same rows after the ink file is gone.
    std::filesystem::remove(DataFolder() / "12.dat");
    Load();
    EXPECT_EQ(Row(0).inkCount, 0);
}

TEST_F(DayItemsTest, AMemoWithoutTheHandwrittenMarkIsTextWhateverItReads) {
    const std::array<schedule::InkEntry, 2> stroke{{{-3, 2}, {-1, -1}}};
    WriteBytes(DataFolder() / "1.dat", schedule::EncodeInkEntries(stroke));
    // Another calendar program's memo, and a changed occurrence of a series drawn here.
    calendar::AppointmentRecord record;
    record.start = At(2026, 12, 7, 9);
    record.end = At(2026, 12, 7, 10);
    record.body = u"1.dat\nplease look at that file";
    Add(record);
    calendar::AppointmentRecord series;
    series.start = At(2026, 12, 8, 9);
    series.end = At(2026, 12, 8, 10);
    series.body = u"1.dat";
    series.handwritten = true;
    series.recurrence.rule = "FREQ=DAILY;COUNT=2";
    series.zoneStart = series.start;
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2026, 12, 9, 9);
    moved.start = At(2026, 12, 9, 11);
    moved.end = At(2026, 12, 9, 12);
    moved.body = u"1.dat";
    series.recurrence.changes = {moved};
    Add(series);

    Load();
    ASSERT_EQ(Kinds(), (std::vector<DayItemKind>{A, A, A, E, E, E, E, E, E, E, E, E}));
    EXPECT_EQ(Row(0).handwritten, 0);
    EXPECT_EQ(Row(0).inkCount, 0);
    EXPECT_EQ(Row(0).memoText, u"1.dat\nplease look at that file");
    EXPECT_EQ(Row(1).handwritten, 1);
    EXPECT_EQ(Row(1).inkCount, 2);
    // The moved occurrence's own memo was typed: no drawing of its series.
    EXPECT_TRUE(Row(2).changedOccurrence.has_value());
    EXPECT_EQ(Row(2).handwritten, 0);
    EXPECT_EQ(Row(2).inkCount, 0);
    EXPECT_EQ(Row(2).memoText, u"1.dat");
}

TEST_F(DayItemsTest, AStoreThatCannotBeOpenedFailsAndTheNextLoadLogsOnAgain) {
    const auto damaged = folder_.Path() / "damaged.sqlite";
    WriteBytes(damaged, std::string(4096, 'x'));
    StoreSession session(damaged);
    auto failed = LoadDayItems(kSelected, settings_, home_, session, *items_);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(session.IsLoggedOn());
    EXPECT_EQ(Kinds(), std::vector<DayItemKind>(12, E));

    // Gone, the file is made anew as an empty store at the next request.
    std::filesystem::remove(damaged);
    auto loaded = LoadDayItems(kSelected, settings_, home_, session, *items_);
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_TRUE(session.IsLoggedOn());
    EXPECT_EQ(RowDays(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(Row(0).kind, E);
}

}  // namespace
}  // namespace schedule

#include "schedule/month_census.h"

#include <gtest/gtest.h>

#include "tests/schedule/schedule_fixture.h"

namespace schedule {
namespace {

// August 2026 begins on a Saturday and has 31 days: six grid rows.
size_t AugustCell(int day) {
    return static_cast<size_t>(day + 5);
}

class MonthCensusTest : public ScheduleFixture {
protected:
    void Refresh(Date selected) {
        auto refreshed = RefreshMonthCensus(selected, settings_, session_, state_);
        ASSERT_TRUE(refreshed.ok()) << refreshed.error().message;
    }

    uint8_t Bands(int day) const { return state_.census.timeBands[AugustCell(day)]; }
    uint8_t AllDay(int day) const { return state_.census.allDay[AugustCell(day)]; }
    uint8_t Holiday(int day) const { return state_.census.holiday[AugustCell(day)]; }

    // Days of August with any mark, for checking that nothing else was touched.
    std::vector<int> MarkedDays() const {
        std::vector<int> days;
        for (int day = 1; day <= 31; ++day) {
            if (Bands(day) != 0 || AllDay(day) != 0 || Holiday(day) != 0) {
                days.push_back(day);
            }
        }
        return days;
    }

    MonthCensusState state_;
};

TEST_F(MonthCensusTest, TheGridPlacesTheFirstInItsWeekdayColumn) {
    Refresh(At(2026, 2, 14));  // February 2026 begins on a Sunday
    EXPECT_EQ(state_.census.cachedYear, 2026);
    EXPECT_EQ(state_.census.cachedMonth, 2);
    for (size_t cell = 0; cell < kGridCells; ++cell) {
        const Date expected = cell < 28 ? At(2026, 2, 1) + static_cast<double>(cell) : 0;
        EXPECT_EQ(state_.dates[cell], expected) << "cell " << cell;
    }

    Refresh(At(2026, 8, 20));
    for (size_t cell = 0; cell < kGridCells; ++cell) {
        const bool inMonth = cell >= 6 && cell <= 36;
        const Date expected = inMonth ? At(2026, 8, 1) + static_cast<double>(cell - 6) : 0;
        EXPECT_EQ(state_.dates[cell], expected) << "cell " << cell;
    }
    EXPECT_EQ(state_.dates[5 * kGridColumns + 0], At(2026, 8, 30));  // row 5 holds the 30th
    EXPECT_EQ(state_.dates[5 * kGridColumns + 1], At(2026, 8, 31));  // and the 31st
}

TEST_F(MonthCensusTest, ItIsRebuiltOnlyForAnotherMonthOrAfterInvalidation) {
    Refresh(At(2026, 8, 3));
    AddTimed(At(2026, 8, 10, 9), At(2026, 8, 10, 10));
    Refresh(At(2026, 8, 20));
    EXPECT_EQ(Bands(10), 0);

    Refresh(At(2026, 9, 5));
    Refresh(At(2026, 8, 3));
    EXPECT_EQ(Bands(10), kBandMorning);

    AddTimed(At(2026, 8, 12, 19), At(2026, 8, 12, 20));
    Refresh(At(2026, 8, 20));
    EXPECT_EQ(Bands(12), 0);
    InvalidateMonthCensus(state_);
    EXPECT_EQ(state_.census.cachedYear, 0);
    EXPECT_EQ(state_.census.cachedMonth, 0);
    Refresh(At(2026, 8, 20));
    EXPECT_EQ(Bands(12), kBandEvening);
}

TEST_F(MonthCensusTest, TimedAppointmentsMarkTheBandsOfTheHoursTheyOccupy) {
    AddTimed(At(2026, 8, 3, 10), At(2026, 8, 3, 10, 45));
    AddTimed(At(2026, 8, 4, 10), At(2026, 8, 4, 11));
    AddTimed(At(2026, 8, 5, 11, 30), At(2026, 8, 5, 15, 10));
    AddTimed(At(2026, 8, 6, 14), At(2026, 8, 6, 16));
    AddTimed(At(2026, 8, 7, 20), At(2026, 8, 8, 2));
    // A day an appointment runs past counts its hours up to 23:00 only.
    AddTimed(At(2026, 8, 20, 23, 30), At(2026, 8, 21, 1));
    Refresh(At(2026, 8, 1));
    EXPECT_EQ(Bands(3), 0);  // no whole hour begins inside 10:00-10:45
    EXPECT_EQ(Bands(4), kBandMorning);
    EXPECT_EQ(Bands(5), kBandMorning | kBandMidday);
    EXPECT_EQ(Bands(6), kBandMidday | kBandAfternoon);
    EXPECT_EQ(Bands(7), kBandEvening);
    EXPECT_EQ(Bands(8), kBandMorning);
    EXPECT_EQ(Bands(20), 0);
    EXPECT_EQ(Bands(21), kBandMorning);
    EXPECT_EQ(MarkedDays(), (std::vector<int>{4, 5, 6, 7, 8, 21}));
    for (int day = 1; day <= 31; ++day) {
        EXPECT_EQ(AllDay(day), 0);
    }
}

TEST_F(MonthCensusTest, SpansMarkEveryDayTheyCoverInsideTheMonth) {
    AddAllDay(At(2026, 8, 11), At(2026, 8, 13));
    AddTimed(At(2026, 7, 30, 9), At(2026, 8, 2, 9));  // begun in July
    AddTimed(At(2026, 8, 30, 10), At(2026, 9, 2, 9));
    AddTimed(At(2026, 7, 20, 9), At(2026, 8, 1));  // ends as August begins: no hour in it
    AddAllDay(At(2026, 7, 28), At(2026, 7, 31));   // over before August
    Refresh(At(2026, 8, 15));
    EXPECT_EQ(MarkedDays(), (std::vector<int>{1, 2, 11, 12, 13, 30, 31}));
    EXPECT_EQ(AllDay(11), 1);
    EXPECT_EQ(AllDay(12), 1);
    EXPECT_EQ(AllDay(13), 1);
    EXPECT_EQ(Bands(12), 0);
    const uint8_t allBands = kBandMorning | kBandMidday | kBandAfternoon | kBandEvening;
    EXPECT_EQ(Bands(1), allBands);
    EXPECT_EQ(Bands(2), kBandMorning);
    EXPECT_EQ(Bands(30), allBands);
    EXPECT_EQ(Bands(31), allBands);
    EXPECT_EQ(AllDay(30), 0);

    // Seen from September the appointment that began in August marks its first two days.
    Refresh(At(2026, 9, 1));
    EXPECT_EQ(state_.census.timeBands[2], allBands);      // September 1st, a Tuesday
    EXPECT_EQ(state_.census.timeBands[3], kBandMorning);  // the 2nd, until 09:00
    EXPECT_EQ(state_.census.timeBands[4], 0);
}

TEST_F(MonthCensusTest, WhatBeganInTheYearBeforeMarksTheNewYear) {
    AddAllDay(At(2026, 12, 29), At(2027, 1, 3), u"年末年始");
    AddTimed(At(2027, 1, 31, 22), At(2027, 2, 1, 2));  // a night bus
    Refresh(At(2027, 1, 10));                          // January 2027 begins on a Friday
    for (int day = 1; day <= 3; ++day) {
        EXPECT_EQ(state_.census.allDay[static_cast<size_t>(day + 4)], 1) << "January " << day;
    }
    EXPECT_EQ(state_.census.allDay[8], 0);
    Refresh(At(2027, 2, 1));  // February 2027 begins on a Monday
    EXPECT_EQ(state_.census.timeBands[1], kBandMorning);
    EXPECT_EQ(state_.census.timeBands[2], 0);
}

TEST_F(MonthCensusTest, HolidayCategoryMarksEveryCoveredDay) {
    AddAllDay(At(2026, 8, 10), At(2026, 8, 11), u"山の日", u"祝日");
    calendar::AppointmentRecord timed;
    timed.start = At(2026, 8, 14, 22);
    timed.end = At(2026, 8, 15, 1);
    timed.categories = u"祝日";
    Add(timed);
    timed.start = At(2026, 8, 20, 9);
    timed.end = At(2026, 8, 20, 10);
    timed.categories = u"祝日, 仕事";
    Add(timed);
    Refresh(At(2026, 8, 1));
    EXPECT_EQ(Holiday(10), 1);
    EXPECT_EQ(Holiday(11), 1);
    EXPECT_EQ(Holiday(14), 1);
    EXPECT_EQ(Holiday(15), 1);
    EXPECT_EQ(Holiday(20), 0);
    EXPECT_EQ(Bands(20), kBandMorning);
}

TEST_F(MonthCensusTest, EachOccurrenceOfASeriesIsCounted) {
    calendar::AppointmentRecord series;
    series.start = At(2026, 7, 27, 15);
    series.end = At(2026, 7, 27, 16);
    series.recurrence.rule = "FREQ=WEEKLY;COUNT=4";
    Add(series);
    Refresh(At(2026, 8, 1));
    EXPECT_EQ(MarkedDays(), (std::vector<int>{3, 10, 17}));
    EXPECT_EQ(Bands(17), kBandAfternoon);
}

TEST_F(MonthCensusTest, AStoreThatCannotBeOpenedLeavesTheGridWithoutMarks) {
    AddTimed(At(2026, 8, 10, 9), At(2026, 8, 10, 10));
    Refresh(At(2026, 8, 1));
    ASSERT_EQ(Bands(10), kBandMorning);

    const auto damaged = folder_.Path() / "damaged.sqlite";
    testing_support::WriteBytes(damaged, std::string(4096, 'x'));
    StoreSession session(damaged);
    EXPECT_FALSE(RefreshMonthCensus(At(2026, 2, 1), settings_, session, state_).ok());
    EXPECT_FALSE(session.IsLoggedOn());
    EXPECT_EQ(state_.dates[0], At(2026, 2, 1));
    const MonthCensus& census = state_.census;
    for (size_t cell = 0; cell < kGridCells; ++cell) {
        EXPECT_EQ(census.allDay[cell] + census.timeBands[cell] + census.holiday[cell], 0);
    }
}

}  // namespace
}  // namespace schedule

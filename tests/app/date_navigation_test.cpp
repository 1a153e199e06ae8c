#include "app/date_navigation.h"

#include <gtest/gtest.h>

namespace app {
namespace {

using platform::MakeDate;

SelectedDay On(int y, int m, int d) {
    SelectedDay day;
    day.selectedDate = *MakeDate(y, m, d);
    day.todayDate = day.selectedDate;
    RefreshSelectedFields(day);
    return day;
}

platform::Date NextMonthFrom(int y, int m, int d) {
    SelectedDay day = On(y, m, d);
    MoveToNextMonth(day);
    return day.selectedDate;
}

platform::Date PreviousMonthFrom(int y, int m, int d) {
    SelectedDay day = On(y, m, d);
    MoveToPreviousMonth(day);
    return day.selectedDate;
}

TEST(DateNavigation, NextMonthKeepsTheDayWhereTheMonthHasIt) {
    EXPECT_EQ(NextMonthFrom(2026, 1, 31), *MakeDate(2026, 2, 28));
    EXPECT_EQ(NextMonthFrom(2028, 1, 31), *MakeDate(2028, 2, 29));
    EXPECT_EQ(NextMonthFrom(2026, 1, 15), *MakeDate(2026, 2, 15));
    EXPECT_EQ(NextMonthFrom(2026, 4, 30), *MakeDate(2026, 5, 30));
    EXPECT_EQ(NextMonthFrom(2026, 12, 31), *MakeDate(2027, 1, 31));
    EXPECT_EQ(NextMonthFrom(2026, 8, 31), *MakeDate(2026, 9, 30));
}

TEST(DateNavigation, PreviousMonthKeepsTheDayWhereTheMonthHasIt) {
    EXPECT_EQ(PreviousMonthFrom(2026, 3, 31), *MakeDate(2026, 2, 28));
    EXPECT_EQ(PreviousMonthFrom(2028, 3, 31), *MakeDate(2028, 2, 29));
    EXPECT_EQ(PreviousMonthFrom(2026, 5, 31), *MakeDate(2026, 4, 30));
    EXPECT_EQ(PreviousMonthFrom(2027, 1, 1), *MakeDate(2026, 12, 1));
    EXPECT_EQ(PreviousMonthFrom(2026, 3, 15), *MakeDate(2026, 2, 15));
}

TEST(DateNavigation, MonthRulesReadTheDayOfTheDateBeforeTheMove) {
    // Two moves from the 31st: February takes the 28th, and the fields, brought in step after
    // the first move, make March keep the 28th.
    SelectedDay day = On(2026, 1, 31);
    MoveToNextMonth(day);
    RefreshSelectedFields(day);
    MoveToNextMonth(day);
    EXPECT_EQ(day.selectedDate, *MakeDate(2026, 3, 28));
}

TEST(DateNavigation, DaysAndWeeksCrossMonthsAndYears) {
    SelectedDay day = On(2026, 12, 31);
    MoveByDays(day, 1);
    RefreshSelectedFields(day);
    EXPECT_EQ(day.selectedDateFields.Year, 2027);
    EXPECT_EQ(day.selectedDateFields.Month, 1);
    EXPECT_EQ(day.selectedDateFields.Day, 1);
    MoveByDays(day, -7);
    EXPECT_EQ(day.selectedDate, *MakeDate(2026, 12, 25));
}

TEST(DateNavigation, TodayMovesBothDatesAndNothingElseDoes) {
    SelectedDay day = On(2026, 12, 7);
    MoveByDays(day, 30);
    EXPECT_EQ(day.todayDate, *MakeDate(2026, 12, 7));
    platform::CalendarFields later{2026, 12, 2, 8, 0, 30, 15, 500};
    platform::FixedClock clock(later);
    MoveToToday(day, clock);
    EXPECT_EQ(day.selectedDate, *MakeDate(2026, 12, 8));
    EXPECT_EQ(day.todayDate, *MakeDate(2026, 12, 8));
    EXPECT_EQ(day.selectedDateFields.Hour, 0);
    EXPECT_EQ(day.selectedDateFields.Minute, 0);
}

TEST(DateNavigation, EveryMoveStopsAtTheEndsOfTheCalendar) {
    const platform::Date last = *MakeDate(9999, 12, 31);
    const platform::Date first = *MakeDate(100, 1, 1);
    EXPECT_EQ(NextMonthFrom(9999, 12, 15), last);
    EXPECT_EQ(NextMonthFrom(9999, 11, 30), *MakeDate(9999, 12, 30));
    EXPECT_EQ(PreviousMonthFrom(100, 1, 20), first);
    EXPECT_EQ(PreviousMonthFrom(100, 2, 28), *MakeDate(100, 1, 28));

    SelectedDay day = On(9999, 12, 28);
    MoveByDays(day, 7);
    EXPECT_EQ(day.selectedDate, last);
    MoveByDays(day, 1);
    EXPECT_EQ(day.selectedDate, last);
    RefreshSelectedFields(day);
    EXPECT_EQ(day.selectedDateFields.Day, 31);

    day = On(100, 1, 3);
    MoveByDays(day, -7);
    EXPECT_EQ(day.selectedDate, first);
    MoveByDays(day, -1);
    EXPECT_EQ(day.selectedDate, first);
    RefreshSelectedFields(day);
    EXPECT_EQ(day.selectedDateFields.Year, 100);
    EXPECT_EQ(day.selectedDateFields.Day, 1);
}

}  // namespace
}  // namespace app

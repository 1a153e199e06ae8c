#include "platform/time/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace platform {
namespace {

CalendarFields Fields(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    CalendarFields f;
    f.Year = static_cast<uint16_t>(y);
    f.Month = static_cast<uint16_t>(m);
    f.Day = static_cast<uint16_t>(d);
    f.Hour = static_cast<uint16_t>(h);
    f.Minute = static_cast<uint16_t>(mi);
    f.Second = static_cast<uint16_t>(s);
    return f;
}

TEST(DateConversion, KnownDaysHaveTheirClassicValues) {
    EXPECT_EQ(FieldsToDate(Fields(1899, 12, 30)), 0.0);
    EXPECT_EQ(FieldsToDate(Fields(1900, 1, 1)), 2.0);
    EXPECT_EQ(FieldsToDate(Fields(2010, 1, 1)), 40179.0);
    EXPECT_EQ(FieldsToDate(Fields(4501, 1, 1)), 949998.0);
    EXPECT_EQ(FieldsToDate(Fields(100, 1, 1)), -657434.0);
    EXPECT_EQ(FieldsToDate(Fields(9999, 12, 31)), 2958465.0);
    EXPECT_EQ(FieldsToDate(Fields(2004, 10, 5, 18, 0)), 38265.75);
}

TEST(DateConversion, DaysBeforeTheEpochCountTheirTimeForward) {
    EXPECT_EQ(FieldsToDate(Fields(1899, 12, 29, 6, 0)), -1.25);
    auto f = DateToFields(-1.25);
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, (CalendarFields{1899, 12, 5, 29, 6, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(DateToLinear(-1.25), -0.75);
    EXPECT_DOUBLE_EQ(LinearToDate(-0.75), -1.25);
    EXPECT_LT(DateToLinear(*FieldsToDate(Fields(1899, 12, 28, 23))),
              DateToLinear(*FieldsToDate(Fields(1899, 12, 29, 1))));
}

TEST(DateConversion, DayOfWeekStartsOnSunday) {
    EXPECT_EQ(DateToFields(0.0)->DayOfWeek, 6);      // Saturday
    EXPECT_EQ(DateToFields(40179.0)->DayOfWeek, 5);  // Friday 1 January 2010
    EXPECT_EQ(DateToFields(*FieldsToDate(Fields(2026, 12, 6)))->DayOfWeek, 0);
    EXPECT_EQ(DateToFields(-657434.0)->DayOfWeek, 5);  // 1 January 100 was a Friday
}

TEST(DateConversion, MinutesAndHoursPastTheirRangeCarry) {
    EXPECT_EQ(FieldsToDate(Fields(2004, 10, 31, 23, 60)), FieldsToDate(Fields(2004, 11, 1)));
    EXPECT_EQ(FieldsToDate(Fields(2004, 12, 31, 24, 0)), FieldsToDate(Fields(2005, 1, 1)));
    EXPECT_EQ(FieldsToDate(Fields(2004, 10, 5, 10, 90)), FieldsToDate(Fields(2004, 10, 5, 11, 30)));
    EXPECT_EQ(FieldsToDate(Fields(2004, 10, 5, 0, 0, 3600)), FieldsToDate(Fields(2004, 10, 5, 1)));
}

TEST(DateConversion, MonthOrDayOutOfRangeFails) {
    EXPECT_FALSE(FieldsToDate(Fields(2004, 13, 1)));
    EXPECT_FALSE(FieldsToDate(Fields(2004, 0, 1)));
    EXPECT_FALSE(FieldsToDate(Fields(2004, 2, 30)));
    EXPECT_FALSE(FieldsToDate(Fields(2003, 2, 29)));
    EXPECT_TRUE(FieldsToDate(Fields(2004, 2, 29)));
    EXPECT_FALSE(FieldsToDate(Fields(2004, 4, 31)));
    EXPECT_FALSE(FieldsToDate(Fields(2004, 4, 0)));
    EXPECT_FALSE(FieldsToDate(Fields(99, 12, 31)));
    EXPECT_FALSE(FieldsToDate(Fields(10000, 1, 1)));
    EXPECT_FALSE(FieldsToDate(Fields(9999, 12, 31, 24)));  // carries past the last day
}

TEST(DateConversion, FractionRoundsToTheNearestSecond) {
    const double second = 1.0 / 86400;
    auto f = DateToFields(40179.0 + 10.4 * second);
    EXPECT_EQ(f->Second, 10);
    f = DateToFields(40179.0 + 10.6 * second);
    EXPECT_EQ(f->Second, 11);
    EXPECT_EQ(f->Milliseconds, 0);
    // Just short of midnight rounds into the next day, with its own day of week.
    f = DateToFields(40179.0 + 1.0 - 0.2 * second);
    EXPECT_EQ(*f, (CalendarFields{2010, 1, 6, 2, 0, 0, 0, 0}));
    // A time one thousandth of a second under a minute, as sums of fractions produce.
    f = DateToFields(38265.0 + 10.0 / 24 + 30.0 / 1440 - 0.001 * second);
    EXPECT_EQ(f->Hour, 10);
    EXPECT_EQ(f->Minute, 30);
    EXPECT_EQ(f->Second, 0);
}

TEST(DateConversion, OutOfRangeDatesFail) {
    EXPECT_FALSE(DateToFields(-657435.0));
    EXPECT_FALSE(DateToFields(2958466.0));
    EXPECT_FALSE(DateToFields(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(DateToFields(std::numeric_limits<double>::infinity()));
}

TEST(DateConversion, EveryDayOfFourCenturiesRoundTrips) {
    // Days before 1899-12-30 are negative and keep their time as a forward fraction.
    const Date first = *FieldsToDate(Fields(1800, 1, 1));
    const Date last = *FieldsToDate(Fields(2200, 1, 1));
    int previousDay = 0;
    for (Date d = first; d < last; d += 1.0) {
        const Date noon = LinearToDate(DateToLinear(d) + 0.5);
        auto f = DateToFields(noon);
        ASSERT_TRUE(f) << d;
        EXPECT_EQ(f->Hour, 12);
        auto back = FieldsToDate(*f);
        ASSERT_TRUE(back);
        ASSERT_EQ(*back, noon);
        if (previousDay != 0) {
            ASSERT_EQ(f->DayOfWeek, (previousDay + 1) % 7) << d;
        }
        previousDay = f->DayOfWeek == 0 ? 7 : f->DayOfWeek;
    }
}

TEST(DateConversion, FirstAndLastDaysOfTheRangeConvertBothWays) {
    const double second = 1.0 / 86400;
    // 100-01-01 00:00 is the first DATE; its times count forward after the minus sign.
    EXPECT_EQ(FieldsToDate(Fields(100, 1, 1, 6, 0)), -657434.25);
    EXPECT_EQ(*DateToFields(-657434.25), (CalendarFields{100, 1, 5, 1, 6, 0, 0, 0}));
    EXPECT_EQ(*DateToFields(-657434.0 - 86399 * second),
              (CalendarFields{100, 1, 5, 1, 23, 59, 59, 0}));
    // The last second of 9999, and the last day's noon.
    EXPECT_EQ(FieldsToDate(Fields(9999, 12, 31, 23, 59, 59)), 2958465.0 + 86399.0 / 86400);
    EXPECT_EQ(*DateToFields(2958465.0 + 86399 * second),
              (CalendarFields{9999, 12, 5, 31, 23, 59, 59, 0}));
    EXPECT_EQ(*DateToFields(2958465.5), (CalendarFields{9999, 12, 5, 31, 12, 0, 0, 0}));
    EXPECT_FALSE(FieldsToDate(Fields(9999, 12, 31, 23, 59, 60)));
    EXPECT_FALSE(FieldsToDate(Fields(9999, 12, 31, 23, 60)));
}

TEST(DateConversion, RoundingPastTheLastSecondOf9999Fails) {
    const double second = 1.0 / 86400;
    EXPECT_EQ(DateToFields(2958465.0 + 86399.4 * second)->Second, 59);
    EXPECT_FALSE(DateToFields(2958465.0 + 86399.6 * second));
}

TEST(DateConversion, RoundingUpToMidnightOnTheFirstDayOf100MovesToTheSecond) {
    const double second = 1.0 / 86400;
    EXPECT_EQ(*DateToFields(-657434.0 - 86399.6 * second),
              (CalendarFields{100, 1, 6, 2, 0, 0, 0, 0}));
    EXPECT_EQ(*DateToFields(-657434.0 - 86399.4 * second),
              (CalendarFields{100, 1, 5, 1, 23, 59, 59, 0}));
}

TEST(DateConversion, NegativeDatesRoundTheirForwardTimeToTheNearestSecond) {
    const double second = 1.0 / 86400;
    // 1899-12-29 at 00:00:10.6 is written -1 minus the time.
    EXPECT_EQ(*DateToFields(-1.0 - 10.6 * second), (CalendarFields{1899, 12, 5, 29, 0, 0, 11, 0}));
    EXPECT_EQ(*DateToFields(-1.0 - 10.4 * second), (CalendarFields{1899, 12, 5, 29, 0, 0, 10, 0}));
    // Just short of midnight on the day before the epoch rounds up into the epoch's day.
    EXPECT_EQ(*DateToFields(-1.0 - (86400 - 0.2) * second),
              (CalendarFields{1899, 12, 6, 30, 0, 0, 0, 0}));
    // A whole negative DATE is the midnight it names.
    EXPECT_EQ(*DateToFields(-1.0), (CalendarFields{1899, 12, 5, 29, 0, 0, 0, 0}));
    EXPECT_EQ(*DateToFields(-2.0), (CalendarFields{1899, 12, 4, 28, 0, 0, 0, 0}));
}

TEST(DateConversion, MinusZeroPointFiveIsNoonOfTheEpochsDay) {
    // Between -1 and 0 the day is the epoch's own, the fraction still counting forward.
    EXPECT_EQ(*DateToFields(-0.5), *DateToFields(0.5));
    EXPECT_EQ(DateToFields(-0.5)->Hour, 12);
    EXPECT_EQ(DateToFields(-0.5)->Day, 30);
}

TEST(DateConversion, EverySecondOfTheOuterDaysRoundTrips) {
    // Far from the epoch a DATE keeps fewest bits for its time of day: each second of the first
    // and last day, and of the day before the epoch, still comes back as it went in.
    for (const auto& day : {Fields(100, 1, 1), Fields(1899, 12, 29), Fields(9999, 12, 31)}) {
        for (int s = 0; s < 86400; ++s) {
            CalendarFields f = day;
            f.Hour = static_cast<uint16_t>(s / 3600);
            f.Minute = static_cast<uint16_t>(s / 60 % 60);
            f.Second = static_cast<uint16_t>(s % 60);
            const auto date = FieldsToDate(f);
            ASSERT_TRUE(date) << f.Year << " " << s;
            auto back = DateToFields(*date);
            ASSERT_TRUE(back) << f.Year << " " << s;
            back->DayOfWeek = 0;
            ASSERT_EQ(*back, f) << f.Year << " " << s;
        }
    }
}

TEST(DateConversion, TheHourAloneIsTheHourOfTheFields) {
    // Where rounding to the second moves a time on into the next hour or day, on both sides of
    // the epoch and at the ends of the range, and for a sweep of times between.
    const double second = 1.0 / 86400;
    std::vector<double> dates = {0.0,
                                 -0.5,
                                 -1.0 - (86400 - 0.2) * second,
                                 -1.0 - 3599.6 * second,
                                 -657434.0 - 86399.6 * second,
                                 2958465.0 + 86399.4 * second,
                                 2958465.0 + 86399.6 * second,
                                 46365.0 + 3599.5 * second,
                                 46365.0 + 86399.5 * second,
                                 1e300,
                                 std::nan("")};
    for (double date = -700000.0; date < 3000000.0; date += 997.3141) {
        dates.push_back(date);
        dates.push_back(-date);
    }
    for (const double date : dates) {
        const std::optional<CalendarFields> fields = DateToFields(date);
        const std::optional<int> hour = HourOfDate(date);
        ASSERT_EQ(hour.has_value(), fields.has_value()) << date;
        if (fields) {
            EXPECT_EQ(*hour, fields->Hour) << date;
        }
    }
}

TEST(FixedClock, ReportsItsMoment) {
    FixedClock clock(Fields(2026, 12, 7, 9, 30));
    EXPECT_EQ(clock.LocalTimeNow().Day, 7);
    EXPECT_EQ(clock.LocalTimeNow().Minute, 30);
}

}  // namespace
}  // namespace platform

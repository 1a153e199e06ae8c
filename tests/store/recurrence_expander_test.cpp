#include "store/recurrence_expander.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace store {
namespace {

using platform::DateToLinear;
using platform::MakeDate;

Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *MakeDate(y, m, d, h, mi);
}

calendar::AppointmentRecord Series(Date start, Date end, std::string rule) {
    calendar::AppointmentRecord record;
    record.start = start;
    record.end = end;
    record.recurrence.rule = std::move(rule);
    record.zoneStart = start;
    return record;
}

class RecurrenceExpanderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

TEST_F(RecurrenceExpanderTest, CountRuleBecomesUntilSoExpansionCanStartAnywhere) {
    const auto series = Series(At(2026, 1, 1, 9), At(2026, 1, 1, 10), "FREQ=DAILY;COUNT=10");
    const SeriesBounds bounds = ComputeSeriesBounds(series);
    EXPECT_EQ(bounds.expansionRule.find("COUNT"), std::string::npos);
    EXPECT_NE(bounds.expansionRule.find("UNTIL=20260110T090000"), std::string::npos);
    ASSERT_TRUE(bounds.lastEndLinear);
    EXPECT_DOUBLE_EQ(*bounds.lastEndLinear, DateToLinear(At(2026, 1, 10, 10)));
    const auto late = ExpandStoredOccurrences(series, bounds.expansionRule,
                                              DateToLinear(At(2026, 1, 9)), std::nullopt);
    ASSERT_EQ(late.size(), 2u);
    EXPECT_EQ(late[1].start, At(2026, 1, 10, 9));
}

TEST_F(RecurrenceExpanderTest, EndlessSeriesHasNoLastEndAndStopsAtTheLimit) {
    const auto series = Series(At(2026, 1, 1, 9), At(2026, 1, 1, 10), "FREQ=DAILY");
    EXPECT_FALSE(ComputeSeriesBounds(series).lastEndLinear);
    EXPECT_EQ(ExpandOccurrences(series, DateToLinear(At(2026, 1, 1)), std::nullopt, 25).size(),
              25u);
}

TEST_F(RecurrenceExpanderTest, ExtraDatesJoinAndExceptionsLeave) {
    auto series = Series(At(2026, 5, 4, 9), At(2026, 5, 4, 9, 30), "FREQ=WEEKLY;COUNT=3");
    series.recurrence.extraDates = {At(2026, 5, 6, 9)};
    series.recurrence.exceptionDates = {At(2026, 5, 11, 9)};
    std::vector<Date> starts;
    for (const Occurrence& o :
         ExpandOccurrences(series, DateToLinear(At(2026, 5, 1)), std::nullopt)) {
        starts.push_back(o.start);
    }
    EXPECT_EQ(starts,
              (std::vector<Date>{At(2026, 5, 4, 9), At(2026, 5, 6, 9), At(2026, 5, 18, 9)}));
}

// The starts of "every `step` seconds from `first`" in [from, to), worked out by counting steps:
// the expansion of an hourly, minutely or secondly rule with an interval and nothing more.
std::vector<Date> EveryStep(Date first, int64_t step, Date from, Date to) {
    const auto seconds = [](Date date) {
        return static_cast<int64_t>(std::llround(DateToLinear(date) * 86400));
    };
    std::vector<Date> starts;
    const int64_t begin = seconds(first);
    int64_t at = begin + std::max<int64_t>(0, (seconds(from) - begin) / step) * step;
    for (; at < seconds(to); at += step) {
        if (at >= seconds(from)) {
            const auto fields = platform::DateToFields(platform::LinearToDate(at / 86400.0));
            starts.push_back(*platform::FieldsToDate(*fields));
        }
    }
    return starts;
}

std::vector<Date> StartsOf(const std::vector<Occurrence>& occurrences) {
    std::vector<Date> starts;
    for (const Occurrence& o : occurrences) {
        starts.push_back(o.start);
    }
    return starts;
}

TEST_F(RecurrenceExpanderTest, SubDailyRulesKeepTheirPhaseInWindowsLongAfterTheStart) {
    const Date first = At(2020, 1, 3, 13, 30);
    // Every 37 hours from 2020-01-03 13:30, asked for 13 to 15 January.
    const auto hourly = Series(first, first + 1.0 / 24, "FREQ=HOURLY;INTERVAL=37");
    EXPECT_EQ(StartsOf(ExpandOccurrences(hourly, DateToLinear(At(2020, 1, 13)),
                                         DateToLinear(At(2020, 1, 16)))),
              (std::vector<Date>{At(2020, 1, 14, 8, 30), At(2020, 1, 15, 21, 30)}));
    struct Case {
        const char* rule;
        int64_t step;
    };
    for (const Case& c :
         {Case{"FREQ=HOURLY;INTERVAL=37", 37 * 3600}, Case{"FREQ=HOURLY;INTERVAL=5", 5 * 3600},
          Case{"FREQ=MINUTELY;INTERVAL=7", 7 * 60}, Case{"FREQ=MINUTELY;INTERVAL=90", 90 * 60},
          Case{"FREQ=MINUTELY", 60}, Case{"FREQ=SECONDLY;INTERVAL=13", 13}}) {
        const auto series = Series(first, first + 1.0 / 1440, c.rule);
        for (const Date from : {At(2020, 1, 13), At(2023, 6, 1, 7, 11), At(2026, 3, 28, 23)}) {
            SCOPED_TRACE(std::string(c.rule) + " from " + std::to_string(from));
            const Date to = from + (c.step < 600 ? 0.25 : 12.0);
            EXPECT_EQ(StartsOf(ExpandOccurrences(series, DateToLinear(from), DateToLinear(to))),
                      EveryStep(first, c.step, from, to));
        }
    }
}

TEST_F(RecurrenceExpanderTest, EveryFrequencyGivesAWindowWhatAWalkFromTheStartGives) {
    const Date first = At(2020, 1, 3, 13, 30);
    for (const char* rule :
         {"FREQ=DAILY;INTERVAL=3", "FREQ=WEEKLY;INTERVAL=2", "FREQ=WEEKLY;INTERVAL=3;BYDAY=MO,FR",
          "FREQ=MONTHLY;INTERVAL=5", "FREQ=MONTHLY;INTERVAL=2;BYDAY=2TU", "FREQ=YEARLY;INTERVAL=3",
          "FREQ=DAILY;INTERVAL=10;BYHOUR=9,15", "FREQ=HOURLY;INTERVAL=5;BYDAY=MO",
          "FREQ=MINUTELY;INTERVAL=90", "FREQ=HOURLY;BYMINUTE=0,15"}) {
        const auto series = Series(first, first + 1.0 / 24, rule);
        for (const Date from : {At(2020, 1, 13), At(2023, 6, 1), At(2026, 3, 7, 12)}) {
            SCOPED_TRACE(std::string(rule) + " from " + std::to_string(from));
            const Date to = from + 75;
            std::vector<Date> walked;
            for (const Occurrence& o :
                 ExpandOccurrences(series, DateToLinear(first), DateToLinear(to), 1000000)) {
                if (o.start >= from) {
                    walked.push_back(o.start);
                }
            }
            EXPECT_EQ(StartsOf(ExpandOccurrences(series, DateToLinear(from), DateToLinear(to))),
                      walked);
        }
    }
}

TEST_F(RecurrenceExpanderTest, ChangesReplaceMoveAndCancelTheirOccurrences) {
    auto series = Series(At(2026, 12, 7, 9), At(2026, 12, 7, 10), "FREQ=DAILY;COUNT=10");
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2026, 12, 8, 9);
    moved.start = At(2026, 12, 20, 14);  // far past the series' last day
    moved.end = At(2026, 12, 20, 16);
    calendar::OccurrenceChange from12th;
    from12th.thisAndFuture = true;
    from12th.recurrenceId = At(2026, 12, 12, 9);
    from12th.start = At(2026, 12, 12, 11);
    from12th.end = At(2026, 12, 12, 11, 30);
    calendar::OccurrenceChange cancelled;
    cancelled.recurrenceId = At(2026, 12, 14, 9);
    cancelled.cancelled = true;
    series.recurrence.changes = {moved, from12th, cancelled};
    const auto all = ExpandOccurrences(series, DateToLinear(At(2026, 12, 1)), std::nullopt);
    EXPECT_EQ(
        StartsOf(all),
        (std::vector<Date>{At(2026, 12, 7, 9), At(2026, 12, 9, 9), At(2026, 12, 10, 9),
                           At(2026, 12, 11, 9), At(2026, 12, 12, 11), At(2026, 12, 13, 11),
                           At(2026, 12, 15, 11), At(2026, 12, 16, 11), At(2026, 12, 20, 14)}));
    EXPECT_EQ(all[5].end, At(2026, 12, 13, 11, 30));
    EXPECT_EQ(all[5].recurrenceId, At(2026, 12, 13, 9));
    EXPECT_EQ(all[5].change, &series.recurrence.changes[1]);
    EXPECT_EQ(all[8].change, &series.recurrence.changes[0]);
    EXPECT_EQ(all[0].change, nullptr);
    EXPECT_EQ(ChangeOf(series.recurrence, At(2026, 12, 15, 9)), &series.recurrence.changes[1]);
    EXPECT_EQ(ChangeOf(series.recurrence, At(2026, 12, 8, 9)), &series.recurrence.changes[0]);
    EXPECT_EQ(ChangeOf(series.recurrence, At(2026, 12, 9, 9)), nullptr);

    // The bounds the store keeps reach the moved occurrence.
    const SeriesBounds bounds = ComputeSeriesBounds(series);
    ASSERT_TRUE(bounds.lastEndLinear);
    EXPECT_GE(*bounds.lastEndLinear, DateToLinear(At(2026, 12, 20, 16)));
    EXPECT_EQ(bounds.earliestStartAdvance, 0.0);
}

TEST_F(RecurrenceExpanderTest, TypesFollowTheRule) {
    calendar::Recurrence r;
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::None);
    r.rule = "FREQ=DAILY";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::Daily);
    r.rule = "FREQ=WEEKLY;BYDAY=MO,WE";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::Weekly);
    r.rule = "FREQ=MONTHLY;BYMONTHDAY=15";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::MonthlyByDay);
    r.rule = "FREQ=MONTHLY;BYDAY=2TU";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::MonthlyByNthDay);
    r.rule = "FREQ=YEARLY";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::Yearly);
    r.rule = "FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO";
    EXPECT_EQ(TypeOfRecurrence(r), calendar::RecurrenceType::YearlyByNthDay);
    EXPECT_FALSE(IsValidRule("FREQ=SOMETIMES"));
    EXPECT_TRUE(IsValidRule("FREQ=WEEKLY;INTERVAL=2"));
}

}  // namespace
}  // namespace store

#include "platform/pim/recurrence_expander.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace pim {
namespace {

using platform::DateToLinear;
using platform::MakeDate;

Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *MakeDate(y, m, d, h, mi);
}

AppointmentRecord Series(Date start, Date end, std::string rule) {
    AppointmentRecord record;
    record.start = start;
    record.end = end;
    record.recurrence.rule = std::move(rule);
    record.recurrence.zoneStart = start;
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

TEST_F(RecurrenceExpanderTest, TypesFollowTheRule) {
    Recurrence r;
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::None);
    r.rule = "FREQ=DAILY";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::Daily);
    r.rule = "FREQ=WEEKLY;BYDAY=MO,WE";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::Weekly);
    r.rule = "FREQ=MONTHLY;BYMONTHDAY=15";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::MonthlyByDay);
    r.rule = "FREQ=MONTHLY;BYDAY=2TU";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::MonthlyByNthDay);
    r.rule = "FREQ=YEARLY";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::Yearly);
    r.rule = "FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO";
    EXPECT_EQ(TypeOfRecurrence(r), RecurrenceType::YearlyByNthDay);
    EXPECT_FALSE(IsValidRule("FREQ=SOMETIMES"));
    EXPECT_TRUE(IsValidRule("FREQ=WEEKLY;INTERVAL=2"));
}

}  // namespace
}  // namespace pim

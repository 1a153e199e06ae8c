#include "editors/repeat_rule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace editors {
namespace {

platform::Date Day(int year, int month, int day) {
    return *platform::MakeDate(year, month, day);
}

calendar::ItemZone Zoned(const char* tzid) {
    calendar::ItemZone zone;
    zone.form = calendar::ItemZone::Form::Zoned;
    zone.tzid = tzid;
    return zone;
}

// The process's zone for one test, as the planner runs in it.
class InZone {
public:
    explicit InZone(const char* tz) {
        const char* before = std::getenv("TZ");
        before_ = before ? std::optional<std::string>(before) : std::nullopt;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~InZone() {
        if (before_) {
            setenv("TZ", before_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    InZone(const InZone&) = delete;
    InZone& operator=(const InZone&) = delete;

private:
    std::optional<std::string> before_;
};

// The last day ends at 23:59:59 on the item's own clock: a moment in UTC for a zoned item (and
// for a new one, on the clock in force), clock time for a floating one, the date for a day.
TEST(RepeatRule, TheLastDayEndsAtMidnightOnTheItemsOwnClock) {
    const InZone tokyo("Asia/Tokyo");
    const Repeat weeklyUntil{RepeatKind::Weekly, Day(2026, 12, 29)};
    EXPECT_EQ(RuleOfRepeat(weeklyUntil, calendar::ItemZone{}, false),
              "FREQ=WEEKLY;UNTIL=20261229T145959Z");
    EXPECT_EQ(RuleOfRepeat(weeklyUntil, Zoned("America/New_York"), false),
              "FREQ=WEEKLY;UNTIL=20261230T045959Z");
    calendar::ItemZone floating;
    floating.form = calendar::ItemZone::Form::Floating;
    EXPECT_EQ(RuleOfRepeat(weeklyUntil, floating, false), "FREQ=WEEKLY;UNTIL=20261229T235959");
    EXPECT_EQ(RuleOfRepeat(weeklyUntil, Zoned("Asia/Tokyo"), true), "FREQ=WEEKLY;UNTIL=20261229");
    EXPECT_EQ(RuleOfRepeat({RepeatKind::Daily, std::nullopt}, calendar::ItemZone{}, false),
              "FREQ=DAILY");
    EXPECT_EQ(RuleOfRepeat({RepeatKind::Yearly, std::nullopt}, calendar::ItemZone{}, false),
              "FREQ=YEARLY");
    EXPECT_EQ(RuleOfRepeat({RepeatKind::None, Day(2026, 12, 29)}, calendar::ItemZone{}, false), "");
}

// A stored rule reads back as the kind and last day it was written with, on the item's clock;
// what the dialog does not offer reads as no repeat, and a count as no last day.
TEST(RepeatRule, AStoredRuleReadsAsItsKindAndLastDay) {
    const InZone tokyo("Asia/Tokyo");
    const Repeat monthly{RepeatKind::Monthly, Day(2027, 3, 31)};
    EXPECT_EQ(
        RepeatOfRule(RuleOfRepeat(monthly, calendar::ItemZone{}, false), calendar::ItemZone{}),
        monthly);
    const calendar::ItemZone newYork = Zoned("America/New_York");
    EXPECT_EQ(RepeatOfRule(RuleOfRepeat(monthly, newYork, false), newYork), monthly);
    EXPECT_EQ(RepeatOfRule("FREQ=DAILY;UNTIL=20270331", calendar::ItemZone{}),
              (Repeat{RepeatKind::Daily, Day(2027, 3, 31)}));
    EXPECT_EQ(RepeatOfRule("FREQ=WEEKLY;BYDAY=MO,WE;COUNT=10", calendar::ItemZone{}),
              (Repeat{RepeatKind::Weekly, std::nullopt}));
    EXPECT_EQ(RepeatOfRule("FREQ=HOURLY;INTERVAL=2", calendar::ItemZone{}), Repeat{});
    EXPECT_EQ(RepeatOfRule("", calendar::ItemZone{}), Repeat{});
}

}  // namespace
}  // namespace editors

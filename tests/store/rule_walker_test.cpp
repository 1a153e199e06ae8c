#include "store/rule_walker.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "calendar/libical_rule.h"

namespace store {
namespace {

using Starts = std::vector<int64_t>;

constexpr int64_t kSecondsPerDay = 86400;

int64_t WallSecondsOf(const icaltimetype& t) {
    using namespace std::chrono;
    const sys_days date{year{t.year} / month{static_cast<unsigned>(t.month)} /
                        day{static_cast<unsigned>(t.day)}};
    const int64_t time = t.is_date ? 0 : t.hour * 3600 + t.minute * 60 + t.second;
    return date.time_since_epoch().count() * kSecondsPerDay + time;
}

icaltimetype IcalOf(int64_t wallSeconds, bool isDate) {
    using namespace std::chrono;
    const int64_t dayNumber =
        wallSeconds / kSecondsPerDay - (wallSeconds % kSecondsPerDay < 0 ? 1 : 0);
    const int64_t second = wallSeconds - dayNumber * kSecondsPerDay;
    const year_month_day civil{sys_days{days{dayNumber}}};
    icaltimetype t = icaltime_null_time();
    t.year = static_cast<int>(civil.year());
    t.month = static_cast<int>(static_cast<unsigned>(civil.month()));
    t.day = static_cast<int>(static_cast<unsigned>(civil.day()));
    t.is_date = isDate ? 1 : 0;
    if (!isDate) {
        t.hour = static_cast<int>(second / 3600);
        t.minute = static_cast<int>(second / 60 % 60);
        t.second = static_cast<int>(second % 60);
    }
    return t;
}

WallClockStart At(int y, int m, int d, int hour = -1, int minute = 0, int second = 0) {
    return {y, m, d, std::max(hour, 0), minute, second, hour < 0};
}

icaltimetype IcalOf(const WallClockStart& s) {
    icaltimetype t = icaltime_null_time();
    t.year = s.year;
    t.month = s.month;
    t.day = s.day;
    t.is_date = s.isDate ? 1 : 0;
    t.hour = s.isDate ? 0 : s.hour;
    t.minute = s.isDate ? 0 : s.minute;
    t.second = s.isDate ? 0 : s.second;
    return t;
}

int64_t WallSecondsOf(const WallClockStart& s) {
    return WallSecondsOf(IcalOf(s));
}

std::string Text(int64_t wallSeconds) {
    const icaltimetype t = IcalOf(wallSeconds, false);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::string Text(const WallClockStart& s) {
    return s.isDate ? Text(WallSecondsOf(s)).substr(0, 8) : Text(WallSecondsOf(s));
}

struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};

enum class Restart { FromFirstStart, AtFrom };

// libical's starts at or after `from`, at most `limit`; walked from the first start, or, for a
// rule without COUNT, restarted at `from` as the planner restarts it.
Starts LibicalStarts(const icalrecurrencetype& rule, const WallClockStart& first, int64_t from,
                     std::size_t limit, Restart restart) {
    Starts starts;
    std::unique_ptr<icalrecur_iterator, IteratorDeleter> it(
        icalrecur_iterator_new(rule, IcalOf(first)));
    if (it && restart == Restart::AtFrom && rule.count == 0 && from > WallSecondsOf(first) &&
        icalrecur_iterator_set_start(it.get(), IcalOf(from, first.isDate)) == 0) {
        it.reset();
    }
    for (icaltimetype t = it ? icalrecur_iterator_next(it.get()) : icaltime_null_time();
         !icaltime_is_null_time(t) && starts.size() < limit;
         t = icalrecur_iterator_next(it.get())) {
        if (WallSecondsOf(t) >= from) {
            starts.push_back(WallSecondsOf(t));
        }
    }
    icalerror_clear_errno();
    return starts;
}

enum class Reach { Walk, Skip };

Starts WalkerStarts(const RuleWalker& walker, int64_t from, std::size_t limit, Reach reach) {
    RuleWalker copy = walker;
    if (reach == Reach::Skip) {
        copy.SkipTo(from);
    }
    Starts starts;
    for (auto start = copy.Next(); start && starts.size() < limit; start = copy.Next()) {
        if (*start >= from) {
            starts.push_back(*start);
        }
    }
    return starts;
}

// Empty when the lists agree; otherwise the case and the first start where they part.
std::string Difference(const std::string& rule, const WallClockStart& first, int64_t from,
                       const Starts& expected, const Starts& actual) {
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        if (i >= expected.size() || i >= actual.size() || expected[i] != actual[i]) {
            const auto at = [i](const Starts& s) { return i < s.size() ? Text(s[i]) : "(end)"; };
            return "RRULE:" + rule + " DTSTART:" + Text(first) + " from " + Text(from) +
                   ": start #" + std::to_string(i) + " libical " + at(expected) + ", walker " +
                   at(actual);
        }
    }
    return {};
}

struct Tally {
    std::size_t cases = 0;
    std::size_t starts = 0;
    std::size_t restartsDiffering = 0;  // libical restarted at a window unlike its full walk
};

// The walker against libical for one rule: the first `limit` starts, and `limit` starts from
// each window, reached by SkipTo. A window is checked against libical restarted there; where
// that disagrees, against libical walked from the first start, which is what the rule means.
void ExpectAgreement(const std::string& ruleText, const WallClockStart& first,
                     const std::vector<int64_t>& windows, std::size_t limit, Tally& tally) {
    const icalrecurrencetype rule = icalrecurrencetype_from_string(ruleText.c_str());
    const std::optional<RuleWalker> walker = RuleWalker::Create(rule, first);
    ASSERT_TRUE(walker) << ruleText << " from " << Text(first) << " is not walked";
    ++tally.cases;
    const int64_t start = WallSecondsOf(first);
    Starts expected = LibicalStarts(rule, first, start, limit, Restart::FromFirstStart);
    tally.starts += expected.size();
    EXPECT_EQ(Difference(ruleText, first, start, expected,
                         WalkerStarts(*walker, start, limit, Reach::Walk)),
              "");
    for (const int64_t from : windows) {
        const Starts skipped = WalkerStarts(*walker, from, limit, Reach::Skip);
        EXPECT_EQ(Difference(ruleText, first, from, WalkerStarts(*walker, from, limit, Reach::Walk),
                             skipped),
                  "")
            << "SkipTo disagrees with walking there";
        expected = LibicalStarts(rule, first, from, limit, Restart::AtFrom);
        if (expected != skipped) {
            ++tally.restartsDiffering;
            expected = LibicalStarts(rule, first, from, limit, Restart::FromFirstStart);
        }
        tally.starts += expected.size();
        EXPECT_EQ(Difference(ruleText, first, from, expected, skipped), "");
    }
}

int64_t YearsLater(const WallClockStart& first, int years, int64_t extraSeconds) {
    const int64_t at = WallSecondsOf(first) + years * 36524 / 100 * kSecondsPerDay + extraSeconds;
    return first.isDate ? at - at % kSecondsPerDay : at;
}

// The cases a calendar is most likely to get wrong, each against libical from the first start
// and from windows 10 and 50 years on.
TEST(RuleWalkerTest, AgreesWithLibicalOnHandPickedRules) {
    struct Case {
        const char* rule;
        WallClockStart first;
    };
    const Case cases[] = {
        // Days that some months or years lack.
        {"FREQ=MONTHLY", At(2024, 1, 31, 10)},
        {"FREQ=MONTHLY;INTERVAL=5", At(2023, 8, 31)},
        {"FREQ=MONTHLY;BYMONTHDAY=31", At(2024, 1, 10, 8)},
        {"FREQ=MONTHLY;BYMONTHDAY=-1", At(2024, 1, 31, 23, 59, 59)},
        {"FREQ=MONTHLY;BYMONTHDAY=30,-30;COUNT=40", At(2023, 1, 1, 12)},
        {"FREQ=MONTHLY;BYMONTHDAY=29;BYMONTH=2", At(2023, 2, 1)},
        {"FREQ=YEARLY", At(2024, 2, 29, 9)},
        {"FREQ=YEARLY;INTERVAL=3", At(2000, 2, 29)},
        {"FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29", At(2021, 1, 1, 9)},
        {"FREQ=YEARLY;BYMONTH=1,3,5,7;COUNT=25", At(2024, 1, 31, 9)},
        // Weekdays counted within a month or a year, including fifth ones.
        {"FREQ=MONTHLY;BYDAY=2TU", At(2026, 1, 5, 9)},
        {"FREQ=MONTHLY;BYDAY=-1FR", At(2026, 1, 1, 17, 30)},
        {"FREQ=MONTHLY;BYDAY=5MO", At(2024, 1, 1, 9)},
        {"FREQ=MONTHLY;BYDAY=-5SU,5SA", At(2024, 1, 1)},
        {"FREQ=MONTHLY;INTERVAL=2;BYDAY=1MO,-1MO;BYMONTH=1,2,3,4,5,6", At(2025, 2, 14, 8)},
        {"FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13", At(2024, 1, 1, 0, 0, 1)},
        {"FREQ=MONTHLY;BYDAY=SA;BYMONTHDAY=7,8,9,10,11,12,13", At(2024, 5, 20)},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1", At(2024, 1, 31, 18)},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1,3,-2;COUNT=30", At(2024, 3, 1)},
        {"FREQ=MONTHLY;BYDAY=SA,SU;BYSETPOS=2", At(2024, 6, 2, 10)},
        {"FREQ=YEARLY;BYDAY=1MO", At(2024, 1, 31, 10)},
        {"FREQ=YEARLY;BYDAY=-1FR;COUNT=12", At(2024, 12, 27, 10)},
        {"FREQ=YEARLY;BYDAY=20MO,-53SU", At(2024, 1, 1)},
        {"FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", At(1996, 3, 31, 2)},
        {"FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", At(2020, 11, 26, 15)},
        {"FREQ=YEARLY;BYMONTH=5,10;BYDAY=5FR,2MO", At(2020, 1, 15)},
        {"FREQ=YEARLY;BYMONTHDAY=1,2,3,4,5,6,7;BYDAY=1MO,FR", At(2024, 1, 1)},
        {"FREQ=YEARLY;BYMONTHDAY=15", At(2024, 5, 1)},
        {"FREQ=YEARLY;BYMONTHDAY=30,31;BYDAY=MO,TU,WE,TH,FR,SA,SU", At(2024, 4, 10, 12)},
        {"FREQ=YEARLY;BYMONTHDAY=1,2,3,4,5,6,7,8,9,10,11,12,13,14;BYDAY=10MO,-43FR",
         At(2024, 3, 1)},
        {"FREQ=YEARLY;BYMONTH=11;BYMONTHDAY=2,3,4,5,6,7,8;BYDAY=TU", At(2024, 11, 5, 7)},
        // Weeks: several weekdays, intervals, and weeks that start elsewhere than Monday.
        {"FREQ=WEEKLY", At(2024, 2, 29, 9)},
        {"FREQ=WEEKLY;BYDAY=TU,TH", At(2026, 1, 5, 9)},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SU", At(2023, 10, 20)},
        {"FREQ=WEEKLY;INTERVAL=2;WKST=SU;BYDAY=TU,SU", At(1997, 8, 5, 9)},
        {"FREQ=WEEKLY;INTERVAL=2;WKST=MO;BYDAY=TU,SU", At(1997, 8, 5, 9)},
        {"FREQ=WEEKLY;INTERVAL=3;WKST=SA;BYDAY=SU,MO,FR", At(2024, 3, 13, 12)},
        {"FREQ=WEEKLY;INTERVAL=2;WKST=TH;BYDAY=MO,WE;BYMONTH=1,12", At(2024, 12, 30)},
        {"FREQ=DAILY;INTERVAL=10", At(2024, 2, 25, 6)},
        {"FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR", At(2024, 12, 28, 8)},
        {"FREQ=DAILY;BYMONTH=2;BYMONTHDAY=28,29", At(2023, 3, 1)},
        {"FREQ=DAILY;INTERVAL=3;BYMONTH=1,7", At(2024, 5, 17, 12)},
        // Ends: UNTIL on a start, between starts, as a date, COUNT of one.
        {"FREQ=DAILY;UNTIL=20260108T090000", At(2026, 1, 5, 9)},
        {"FREQ=DAILY;UNTIL=20260108T085959", At(2026, 1, 5, 9)},
        {"FREQ=DAILY;UNTIL=20260108", At(2026, 1, 5, 0)},
        {"FREQ=DAILY;UNTIL=20260108", At(2026, 1, 5)},
        {"FREQ=DAILY;UNTIL=20260107T000000", At(2026, 1, 5)},
        {"FREQ=WEEKLY;UNTIL=20260119T090000Z", At(2026, 1, 5, 9)},
        {"FREQ=MONTHLY;BYDAY=2TU;UNTIL=20260310", At(2026, 1, 13, 9)},
        {"FREQ=YEARLY;UNTIL=20240229", At(2020, 2, 29)},
        {"FREQ=MONTHLY;COUNT=1", At(2024, 1, 31, 10)},
        {"FREQ=WEEKLY;BYDAY=MO;COUNT=1", At(2024, 1, 31, 10)},
        // A first start the rule does not pick, and starts up to the last year libical gives.
        {"FREQ=MONTHLY;BYMONTHDAY=15;COUNT=3", At(2026, 1, 20, 9)},
        {"FREQ=YEARLY;BYMONTH=3", At(2026, 1, 5, 9)},
        {"FREQ=WEEKLY;BYDAY=MO,SA", At(2582, 12, 20, 10)},
        {"FREQ=MONTHLY;BYDAY=-1MO,1TU", At(2582, 10, 20, 10)},
        {"FREQ=DAILY", At(1600, 1, 1, 10)},
    };
    Tally tally;
    for (const Case& c : cases) {
        ExpectAgreement(c.rule, c.first,
                        {YearsLater(c.first, 10, 3600), YearsLater(c.first, 50, -7)}, 40, tally);
    }
    EXPECT_GT(tally.starts, 4000u);
}

// Deterministic choices; std::mt19937_64's sequence is fixed by the standard.
class Choices {
public:
    explicit Choices(uint64_t seed) : engine_(seed) {}
    int Between(int low, int high) {
        return low + static_cast<int>(engine_() % static_cast<uint64_t>(high - low + 1));
    }
    bool Percent(int p) { return Between(0, 99) < p; }

private:
    std::mt19937_64 engine_;
};

const char* const kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// Distinct weekdays, with an ordinal within ±`maxOrdinal` on some when it is not 0.
std::string Weekdays(Choices& c, int count, int maxOrdinal) {
    std::string list;
    unsigned taken = 0;
    for (int i = 0; i < count; ++i) {
        int weekday = c.Between(0, 6);
        while ((taken & (1u << weekday)) != 0) {
            weekday = (weekday + 1) % 7;
        }
        taken |= 1u << weekday;
        list += i > 0 ? "," : "";
        if (maxOrdinal > 0 && c.Percent(60)) {
            const int ordinal = c.Between(1, c.Percent(70) ? std::min(maxOrdinal, 5) : maxOrdinal);
            list += std::to_string(c.Percent(40) ? -ordinal : ordinal);
        }
        list += kWeekdays[weekday];
    }
    return list;
}

std::string Numbers(Choices& c, int count, int low, int high, bool negative) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        const int value = c.Between(low, high);
        list += (i > 0 ? "," : "") + std::to_string(negative && c.Percent(35) ? -value : value);
    }
    return list;
}

int DaysIn(int y, int m) {
    using namespace std::chrono;
    return static_cast<int>(static_cast<unsigned>(
        year_month_day_last{year{y} / month{static_cast<unsigned>(m)} / last}.day()));
}

// Seven days in a row up to `lastDay` at most, so that a weekday is among them about once a
// month.
std::string Week(Choices& c, int lastDay) {
    const int from = c.Percent(40) ? lastDay - 6 : c.Between(1, lastDay - 6);
    std::string list = std::to_string(from);
    for (int day = from + 1; day < from + 7; ++day) {
        list += "," + std::to_string(day);
    }
    return list;
}

// A rule over the grammar the walker takes. It is kept to rules that pick a day every year or
// so: on one that never does (INTERVAL=3 from December with BYMONTH=5) libical searches on to the
// year 2582, a second or more each.
std::string RandomRule(Choices& c, const WallClockStart& first) {
    std::string rule;
    const int frequency = c.Between(0, 3);
    const bool byMonth = c.Percent(frequency == 3 ? 40 : 15);
    const int interval = c.Percent(55) ? 1 : c.Percent(85) ? c.Between(2, 4) : c.Between(5, 13);
    // Days the first start's month always has, which BYMONTH below and a yearly rule reach.
    const int longestMonthDay =
        byMonth || frequency == 3 ? (first.month == 2 ? 28 : DaysIn(first.year, first.month)) : 31;
    switch (frequency) {
        case 0:
            rule = "FREQ=DAILY";
            if (interval % 7 != 0 && c.Percent(35)) {
                rule += ";BYDAY=" + Weekdays(c, c.Between(1, 5), 0);
            } else if (c.Percent(25)) {
                rule += ";BYMONTHDAY=" + Numbers(c, c.Between(2, 4), 1, 31, false);
            }
            break;
        case 1:
            rule = "FREQ=WEEKLY";
            if (c.Percent(75)) {
                rule += ";BYDAY=" + Weekdays(c, c.Between(1, 4), 0);
            }
            break;
        case 2:
            rule = "FREQ=MONTHLY";
            if (c.Percent(20)) {
                rule += ";BYDAY=" + Weekdays(c, c.Between(2, 5), 0) +
                        ";BYSETPOS=" + Numbers(c, c.Between(1, 2), 1, 4, true);
            } else if (c.Percent(15)) {
                rule += ";BYDAY=" + Weekdays(c, 1, 0) + ";BYMONTHDAY=" + Week(c, longestMonthDay);
            } else if (c.Percent(50)) {
                rule += ";BYDAY=" + Weekdays(c, c.Between(1, 3), 5);
            } else if (c.Percent(70)) {
                rule += ";BYMONTHDAY=" +
                        Numbers(c, c.Between(1, 3), c.Percent(50) ? 25 : 1, longestMonthDay, true);
            }
            break;
        default:
            rule = "FREQ=YEARLY";
            if (c.Percent(25)) {
                rule += ";BYMONTHDAY=" + Numbers(c, c.Between(1, 2), 1, longestMonthDay, true);
            } else if (c.Percent(10)) {
                rule += ";BYMONTHDAY=" + Week(c, 31) + ";BYDAY=" + Weekdays(c, 1, 0);
            } else if (c.Percent(50)) {
                rule += ";BYDAY=" + Weekdays(c, c.Between(1, 3), byMonth ? 5 : 53);
            }
            break;
    }
    if (byMonth) {
        // The first start's month among them, so that every interval reaches one.
        rule += ";BYMONTH=" + std::to_string(first.month);
        if (c.Percent(70)) {
            rule += "," + Numbers(c, c.Between(1, 3), 1, 12, false);
        }
    }
    if (interval > 1) {
        rule += ";INTERVAL=" + std::to_string(interval);
    }
    if (c.Percent(frequency == 1 ? 50 : 10)) {
        rule += std::string(";WKST=") + kWeekdays[c.Between(0, 6)];
    }
    const int end = c.Between(0, 99);
    if (end < 35) {
        rule += ";COUNT=" + std::to_string(c.Between(1, 60));
    } else if (end < 70) {
        const icaltimetype until =
            IcalOf(WallSecondsOf(first) + int64_t{c.Between(0, 4000)} * kSecondsPerDay +
                       (c.Percent(50) ? 0 : c.Between(-43200, 43200)),
                   c.Percent(50));
        rule += ";UNTIL=" + std::string(icaltime_as_ical_string(until)) +
                (!until.is_date && c.Percent(30) ? "Z" : "");
    }
    return rule;
}

WallClockStart RandomStart(Choices& c) {
    const int y = c.Between(1995, 2035);
    const int m = c.Between(1, 12);
    const int last = DaysIn(y, m);
    const int d = c.Percent(35) ? c.Between(last - 3, last) : c.Between(1, last);
    if (c.Percent(30)) {
        return At(y, m, d);
    }
    return At(y, m, d, c.Between(0, 23), c.Percent(70) ? 0 : c.Between(0, 59),
              c.Percent(90) ? 0 : c.Between(0, 59));
}

TEST(RuleWalkerTest, AgreesWithLibicalOnGeneratedRules) {
    Choices c(20260417);
    Tally tally;
    for (int i = 0; i < 3000 && !HasFailure(); ++i) {
        const WallClockStart first = RandomStart(c);
        const std::string rule = RandomRule(c, first);
        ExpectAgreement(rule, first,
                        {YearsLater(first, 10, c.Between(-43200, 43200)),
                         YearsLater(first, 50, c.Between(-43200, 43200))},
                        30, tally);
    }
    std::printf(
        "[ compared ] %zu rules, %zu starts; libical restarted at a window differed "
        "from its own full walk %zu times\n",
        tally.cases, tally.starts, tally.restartsDiffering);
    EXPECT_EQ(tally.cases, 3000u);
}

// Libical's readings that a planner would least expect, pinned so that a change in either shows.
TEST(RuleWalkerTest, FollowsLibicalWhereItPartsFromTheObviousReading) {
    const auto starts = [](const char* rule, const WallClockStart& first, std::size_t limit) {
        const auto walker = RuleWalker::Create(icalrecurrencetype_from_string(rule), first);
        return walker ? WalkerStarts(*walker, WallSecondsOf(first), limit, Reach::Walk) : Starts{};
    };
    const auto at = [](int y, int m, int d, int hour) { return WallSecondsOf(At(y, m, d, hour)); };
    // A first start on a day the rule does not pick is not a start of the rule.
    EXPECT_EQ(starts("FREQ=WEEKLY;BYDAY=TU,TH;COUNT=2", At(2026, 1, 5, 9), 5),
              (Starts{at(2026, 1, 6, 9), at(2026, 1, 8, 9)}));
    // A date UNTIL ends a timed series the day before.
    EXPECT_EQ(starts("FREQ=DAILY;UNTIL=20260107", At(2026, 1, 5, 9), 5),
              (Starts{at(2026, 1, 5, 9), at(2026, 1, 6, 9)}));
    // Every other Sunday from a Friday: the Sunday two days on is passed over, weeks counting
    // from the Sunday before.
    EXPECT_EQ(starts("FREQ=WEEKLY;INTERVAL=2;BYDAY=SU", At(2023, 10, 20, 9), 2),
              (Starts{at(2023, 10, 29, 9), at(2023, 11, 12, 9)}));
    // A yearly BYMONTHDAY without BYMONTH is in the first start's month only.
    EXPECT_EQ(starts("FREQ=YEARLY;BYMONTHDAY=15", At(2024, 5, 1, 9), 2),
              (Starts{at(2024, 5, 15, 9), at(2025, 5, 15, 9)}));
}

TEST(RuleWalkerTest, LeavesOtherRulesToLibical) {
    for (const char* rule : {
             "FREQ=HOURLY",
             "FREQ=MINUTELY;INTERVAL=15",
             "FREQ=SECONDLY",
             "FREQ=DAILY;BYHOUR=9,17",
             "FREQ=WEEKLY;BYMINUTE=30",
             "FREQ=MONTHLY;BYSECOND=5",
             "FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO",
             "FREQ=YEARLY;BYYEARDAY=100",
             "RSCALE=GREGORIAN;FREQ=MONTHLY",
             "RSCALE=GREGORIAN;FREQ=MONTHLY;SKIP=FORWARD",
             // libical repeats the start, and reads ordinals of a week or a day its own way.
             "FREQ=WEEKLY;BYDAY=TU,TU,TH",
             "FREQ=WEEKLY;BYDAY=1MO",
             "FREQ=DAILY;BYDAY=1MO",
             // libical gives a daily rule no start at all for a day counted from the month's end.
             "FREQ=DAILY;BYMONTHDAY=-1",
             "FREQ=DAILY;BYMONTHDAY=1,-1",
             // BYSETPOS is ignored by libical below a month, and miscounted over BYMONTHDAY.
             "FREQ=WEEKLY;BYDAY=MO,TU;BYSETPOS=1",
             "FREQ=DAILY;BYSETPOS=1",
             "FREQ=YEARLY;BYDAY=MO;BYSETPOS=1",
             "FREQ=MONTHLY;BYMONTHDAY=1,-1;BYSETPOS=-1",
             // Ordinals no month has, and a thirteenth month.
             "FREQ=MONTHLY;BYDAY=6MO",
             "FREQ=YEARLY;BYMONTH=3;BYDAY=-6SU",
             "FREQ=MONTHLY;BYMONTH=13",
         }) {
        const calendar::LibicalRule parsed(rule);
        icalerror_clear_errno();
        EXPECT_NE(parsed.get().freq, ICAL_NO_RECURRENCE) << rule;
        EXPECT_FALSE(RuleWalker::Supports(parsed.get())) << rule;
    }
    const icalrecurrencetype monthly = icalrecurrencetype_from_string("FREQ=MONTHLY");
    EXPECT_TRUE(RuleWalker::Create(monthly, At(1600, 1, 1)));
    EXPECT_TRUE(RuleWalker::Create(monthly, At(2582, 12, 31, 23, 59, 59)));
    // Before 1600 libical's calendar may count Julian days; after 2582 it gives nothing.
    EXPECT_FALSE(RuleWalker::Create(monthly, At(1599, 12, 31)));
    EXPECT_FALSE(RuleWalker::Create(monthly, At(2583, 1, 1)));
    EXPECT_FALSE(RuleWalker::Create(monthly, At(2023, 2, 29)));
    EXPECT_FALSE(RuleWalker::Create(monthly, At(2024, 1, 1, 24)));
}

TEST(RuleWalkerTest, SkipToCountsACountedRuleFromItsFirstStart) {
    const auto at = [](int day, int second = 0) {
        return WallSecondsOf(At(2026, 1, day, 9, 0, second));
    };
    auto walker = RuleWalker::Create(
        icalrecurrencetype_from_string("FREQ=DAILY;INTERVAL=2;COUNT=5"), At(2026, 1, 1, 9));
    ASSERT_TRUE(walker);
    walker->SkipTo(at(5));
    EXPECT_EQ(walker->Next(), at(5));
    walker->SkipTo(at(7, 1));
    EXPECT_EQ(walker->Next(), at(9));
    // Never back, and nothing after the fifth start.
    walker->SkipTo(at(1));
    EXPECT_EQ(walker->Next(), std::nullopt);
}

TEST(RuleWalkerTest, WallSecondsMeetTheDateAxis) {
    const int64_t start = WallSecondsOf(At(2026, 1, 5, 9, 30, 15));
    EXPECT_EQ(WallSecondsToLinear(start),
              platform::DateToLinear(*platform::MakeDate(2026, 1, 5, 9, 30, 15)));
    EXPECT_EQ(WallSecondsToLinear(0), static_cast<double>(platform::kUnixEpochDate));
    const int64_t early = WallSecondsOf(At(1850, 6, 1, 6, 0, 1));
    EXPECT_DOUBLE_EQ(WallSecondsToLinear(early),
                     platform::DateToLinear(*platform::MakeDate(1850, 6, 1, 6, 0, 1)));
    for (const int64_t seconds : {start, early, int64_t{-1}, int64_t{86399}}) {
        EXPECT_EQ(LinearToWallSeconds(WallSecondsToLinear(seconds)), seconds);
    }
    // The planner asks for "everything" with a window far before any date.
    EXPECT_LT(LinearToWallSeconds(-1e300), WallSecondsOf(At(100, 1, 1)));
    EXPECT_GT(LinearToWallSeconds(1e300), WallSecondsOf(At(9999, 12, 31)));

    const auto fields = WallClockStartOf(*platform::MakeDate(2026, 1, 5, 9, 30, 15), false);
    ASSERT_TRUE(fields);
    EXPECT_EQ(WallSecondsOf(*fields), start);
    const auto day = WallClockStartOf(*platform::MakeDate(2026, 1, 5, 9, 30, 15), true);
    ASSERT_TRUE(day);
    EXPECT_EQ(WallSecondsOf(*day), WallSecondsOf(At(2026, 1, 5)));
    EXPECT_TRUE(day->isDate);
}

}  // namespace
}  // namespace store

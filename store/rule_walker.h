#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/time/date_time.h"

struct icalrecurrencetype;

namespace store {

// A series' first start as the wall clock of its own zone shows it.
struct WallClockStart {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool isDate = false;  // an all-day start; its time of day is ignored
};

// The first start of a series from its wall-clock DATE; nothing outside the calendar.
std::optional<WallClockStart> WallClockStartOf(platform::Date wallClock, bool isDate);

// Wall-clock seconds count days since 1970-01-01 times 86400 plus the second of the day, on a
// clock without zone changes. These convert them to and from the linear axis of DATEs (days
// since 1899-12-30); the second form rounds to the nearest second and clamps far values to
// well outside the years the calendar holds.
double WallSecondsToLinear(int64_t wallSeconds);
int64_t LinearToWallSeconds(double linear);

// The starts of a recurrence rule by plain calendar arithmetic, for the rules calendars
// commonly carry: FREQ=DAILY, WEEKLY, MONTHLY or YEARLY with INTERVAL, COUNT or UNTIL, WKST,
// BYMONTH, BYMONTHDAY, BYDAY (with ordinals where the frequency allows them) and, monthly,
// BYSETPOS. It gives exactly the starts libical's iterator gives for the same rule and floating
// first start: the first start itself only when the rule picks it, invalid days (30 February)
// passed over, an UNTIL compared as wall-clock time, and nothing after the year 2582. Rules it
// does not support are left to libical.
//
// Starts come ascending as wall-clock seconds. A walker is a value: copy it to walk twice.
class RuleWalker {
public:
    // Whether the walker expands `rule` itself.
    static bool Supports(const icalrecurrencetype& rule);

    // A walker at the rule's first start, or nothing when the rule is not supported or the first
    // start lies outside the years the walker counts the way libical does (1600 to 2582).
    static std::optional<RuleWalker> Create(const icalrecurrencetype& rule,
                                            const WallClockStart& first);

    // Moves on to the first start at or after `fromWallSeconds`; never moves back. A rule without
    // COUNT jumps straight to the period holding that moment. A counted rule is walked from its
    // first start, since COUNT counts from there.
    void SkipTo(int64_t fromWallSeconds);

    // The next start, or nothing once the rule has ended.
    std::optional<int64_t> Next();

private:
    enum class Frequency : uint8_t { Daily, Weekly, Monthly, Yearly };

    // A BYDAY entry with an ordinal: the 2nd Tuesday (2, 2), the last Friday (5, -1).
    struct NthWeekday {
        unsigned weekday = 0;  // 0 = Sunday
        int ordinal = 0;
    };

    RuleWalker() = default;

    std::optional<int64_t> Advance();
    bool FillNextPeriod();
    void FillPeriod(int64_t period);
    void FillDay(int64_t period);
    void FillWeek(int64_t period);
    void FillMonth(int64_t period);
    void FillYear(int64_t period);
    void AddMonth(int year, unsigned month);
    void AddYearWeekdays(int year);
    uint32_t MonthDaysPicked(int year, unsigned month) const;
    uint32_t MonthDayBits(unsigned length) const;
    int64_t FirstMonthIndex() const;
    int64_t WeekStartOf(int64_t day) const;
    int64_t WeeklyAnchor() const;
    int64_t FirstDayOfPeriod(int64_t period) const;
    int64_t PeriodHolding(int64_t day) const;

    Frequency frequency_ = Frequency::Daily;
    int64_t interval_ = 1;
    int count_ = 0;  // 0 when the rule has no COUNT
    std::optional<int64_t> lastAllowed_;

    // The first start, split into the parts the periods are counted from.
    int64_t firstStart_ = 0;
    int64_t firstDay_ = 0;
    int64_t timeOfDay_ = 0;
    int64_t firstWeekStart_ = 0;
    int firstYear_ = 0;
    unsigned firstMonth_ = 0;
    unsigned firstMonthDay_ = 0;

    // The rule's parts as sets: bit m of months, bit d of days of month, bit w of weekdays.
    uint16_t months_ = 0;
    uint32_t monthDaysFromStart_ = 0;
    uint32_t monthDaysFromEnd_ = 0;
    uint8_t everyWeekday_ = 0;
    std::vector<NthWeekday> nthWeekdays_;
    std::vector<int> setPositions_;
    unsigned weekStart_ = 1;

    // The walk: the next period to fill and the days the last one picked, ascending.
    int64_t nextPeriod_ = 0;
    std::vector<int64_t> days_;
    std::size_t nextDay_ = 0;
    int64_t floor_ = 0;
    int returned_ = 0;
    bool finished_ = false;
    std::optional<int64_t> pending_;
};

}  // namespace store

#include "store/rule_walker.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <span>

namespace store {
namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::last;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::weekday;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kMonthsPerYear = 12;
constexpr int kDaysPerWeek = 7;
constexpr int kMaxMonthDay = 31;
// An ordinal weekday of a month counts at most five from either end; of a whole year, 53.
constexpr int kMaxOrdinalInMonth = 5;
constexpr int kMaxOrdinalInYear = 53;
// Before the Gregorian reform libical's calendar counts Julian days; this walker counts
// Gregorian ones throughout, so earlier first starts stay with libical.
constexpr int kFirstYear = 1600;
// libical's iterator gives no start after this year.
constexpr int kLastYear = 2582;
// LinearToWallSeconds clamps to this many days either side of 1970, beyond any DATE.
constexpr int64_t kWallDayLimit = int64_t{10000} * 366;

constexpr int64_t DayOf(int y, unsigned m, unsigned d) {
    return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
}

constexpr int64_t kLastDay = DayOf(kLastYear, 12, 31);

year_month_day CivilOf(int64_t dayNumber) {
    return year_month_day{sys_days{days{dayNumber}}};
}

unsigned WeekdayOf(int64_t dayNumber) {
    return weekday{sys_days{days{dayNumber}}}.c_encoding();
}

unsigned DaysInMonth(int y, unsigned m) {
    return static_cast<unsigned>((year{y} / month{m} / last).day());
}

bool IsLeapYear(int y) {
    return year{y}.is_leap();
}

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t quotient = a / b;
    return (a % b != 0 && a < 0) ? quotient - 1 : quotient;
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

constexpr uint32_t Bit(unsigned index) {
    return uint32_t{1} << index;
}

// Days 1 to `length` of a month, as bits by day of month.
constexpr uint32_t WholeMonthBits(unsigned length) {
    return (Bit(length) - 1) << 1;
}

// The values of one of the rule's lists, up to its end marker (a full list has none).
template <std::size_t N>
std::span<const short> ValuesOf(const short (&list)[N]) {
    std::size_t size = 0;
    while (size < N && list[size] != ICAL_RECURRENCE_ARRAY_MAX) {
        ++size;
    }
    return {list, size};
}

bool IsValidTimeOfDay(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

bool IsValidDay(int y, int m, int d) {
    return m >= 1 && m <= kMonthsPerYear && d >= 1 &&
           d <= static_cast<int>(DaysInMonth(y, static_cast<unsigned>(m)));
}

bool IsWalkedFrequency(icalrecurrencetype_frequency frequency) {
    return frequency == ICAL_DAILY_RECURRENCE || frequency == ICAL_WEEKLY_RECURRENCE ||
           frequency == ICAL_MONTHLY_RECURRENCE || frequency == ICAL_YEARLY_RECURRENCE;
}

// Where the n-th `wanted` weekday (counted from the end when n is negative) falls in a month or
// a year of `length` days starting on `firstWeekday`, as days after its first; nothing when the
// period has no such weekday.
std::optional<int64_t> NthWeekdayOffset(unsigned firstWeekday, int64_t length, unsigned wanted,
                                        int ordinal) {
    int64_t offset = 0;
    if (ordinal > 0) {
        offset = (wanted + kDaysPerWeek - firstWeekday) % kDaysPerWeek +
                 int64_t{kDaysPerWeek} * (ordinal - 1);
    } else {
        const unsigned lastWeekday = (firstWeekday + (length - 1) % kDaysPerWeek) % kDaysPerWeek;
        offset = length - 1 - (lastWeekday + kDaysPerWeek - wanted) % kDaysPerWeek -
                 int64_t{kDaysPerWeek} * (-ordinal - 1);
    }
    if (offset < 0 || offset >= length) {
        return std::nullopt;
    }
    return offset;
}

}  // namespace

std::optional<WallClockStart> WallClockStartOf(platform::Date wallClock, bool isDate) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(wallClock);
    if (!fields) {
        return std::nullopt;
    }
    WallClockStart start;
    start.year = fields->Year;
    start.month = fields->Month;
    start.day = fields->Day;
    start.isDate = isDate;
    if (!isDate) {
        start.hour = fields->Hour;
        start.minute = fields->Minute;
        start.second = fields->Second;
    }
    return start;
}

double WallSecondsToLinear(int64_t wallSeconds) {
    const int64_t dayNumber = FloorDiv(wallSeconds, kSecondsPerDay);
    const int64_t secondOfDay = wallSeconds - dayNumber * kSecondsPerDay;
    // Summed as the DATE conversions sum a day and its time, so equal moments compare equal.
    return static_cast<double>(dayNumber + platform::kUnixEpochDate) +
           static_cast<double>(secondOfDay) / kSecondsPerDay;
}

int64_t LinearToWallSeconds(double linear) {
    constexpr double kLimit = static_cast<double>(kWallDayLimit);
    const double daysSince1970 = linear - static_cast<double>(platform::kUnixEpochDate);
    if (std::isnan(daysSince1970) || daysSince1970 < -kLimit) {
        return -kWallDayLimit * kSecondsPerDay;
    }
    if (daysSince1970 > kLimit) {
        return kWallDayLimit * kSecondsPerDay;
    }
    return std::llround(daysSince1970 * kSecondsPerDay);
}

bool RuleWalker::Supports(const icalrecurrencetype& rule) {
    if (!IsWalkedFrequency(rule.freq) || rule.interval < 1 || rule.count < 0 ||
        rule.rscale != nullptr || rule.skip != ICAL_SKIP_OMIT) {
        return false;
    }
    if (!ValuesOf(rule.by_second).empty() || !ValuesOf(rule.by_minute).empty() ||
        !ValuesOf(rule.by_hour).empty() || !ValuesOf(rule.by_year_day).empty() ||
        !ValuesOf(rule.by_week_no).empty()) {
        return false;
    }
    if (rule.week_start < ICAL_NO_WEEKDAY || rule.week_start > ICAL_SATURDAY_WEEKDAY) {
        return false;
    }
    if (!icaltime_is_null_time(rule.until)) {
        const icaltimetype& until = rule.until;
        if (rule.count > 0 || !IsValidDay(until.year, until.month, until.day) ||
            !IsValidTimeOfDay(until.hour, until.minute, until.second)) {
            return false;
        }
    }
    const auto months = ValuesOf(rule.by_month);
    for (const short value : months) {
        const int m = icalrecurrencetype_month_month(value);
        if (icalrecurrencetype_month_is_leap(value) || m < 1 || m > kMonthsPerYear) {
            return false;
        }
    }
    const auto monthDays = ValuesOf(rule.by_month_day);
    if (rule.freq == ICAL_WEEKLY_RECURRENCE && !monthDays.empty()) {
        return false;
    }
    for (const short value : monthDays) {
        // libical gives a daily rule with a day counted from the month's end no starts at all.
        if (value == 0 || value > kMaxMonthDay || value < -kMaxMonthDay ||
            (value < 0 && rule.freq == ICAL_DAILY_RECURRENCE)) {
            return false;
        }
    }
    // A yearly rule counts ordinals within each month once it names months.
    const bool yearlyByMonth = !months.empty();
    const auto byDay = ValuesOf(rule.by_day);
    uint32_t weeklyDays = 0;
    for (const short value : byDay) {
        const int weekdayNumber = icalrecurrencetype_day_day_of_week(value);
        const int ordinal = icalrecurrencetype_day_position(value);
        if (weekdayNumber < ICAL_SUNDAY_WEEKDAY || weekdayNumber > ICAL_SATURDAY_WEEKDAY) {
            return false;
        }
        int maxOrdinal = 0;
        if (rule.freq == ICAL_MONTHLY_RECURRENCE) {
            maxOrdinal = kMaxOrdinalInMonth;
        } else if (rule.freq == ICAL_YEARLY_RECURRENCE) {
            maxOrdinal = yearlyByMonth ? kMaxOrdinalInMonth : kMaxOrdinalInYear;
        }
        if (ordinal > maxOrdinal || ordinal < -maxOrdinal) {
            return false;
        }
        // libical steps a weekly rule through its BYDAY list and gives a weekday named twice
        // twice.
        if (rule.freq == ICAL_WEEKLY_RECURRENCE) {
            if ((weeklyDays & Bit(static_cast<unsigned>(weekdayNumber))) != 0) {
                return false;
            }
            weeklyDays |= Bit(static_cast<unsigned>(weekdayNumber));
        }
    }
    // libical counts BYSETPOS from the end over the BYMONTHDAY entries rather than the days
    // they pick; with BYDAY it counts the days.
    for (const short value : ValuesOf(rule.by_set_pos)) {
        if (rule.freq != ICAL_MONTHLY_RECURRENCE || byDay.empty() || value == 0 ||
            value > kMaxMonthDay || value < -kMaxMonthDay) {
            return false;
        }
    }
    return true;
}

std::optional<RuleWalker> RuleWalker::Create(const icalrecurrencetype& rule,
                                             const WallClockStart& first) {
    if (!Supports(rule) || first.year < kFirstYear || first.year > kLastYear ||
        !IsValidDay(first.year, first.month, first.day) ||
        (!first.isDate && !IsValidTimeOfDay(first.hour, first.minute, first.second))) {
        return std::nullopt;
    }
    RuleWalker walker;
    switch (rule.freq) {
        case ICAL_DAILY_RECURRENCE:
            walker.frequency_ = Frequency::Daily;
            break;
        case ICAL_WEEKLY_RECURRENCE:
            walker.frequency_ = Frequency::Weekly;
            break;
        case ICAL_MONTHLY_RECURRENCE:
            walker.frequency_ = Frequency::Monthly;
            break;
        default:
            walker.frequency_ = Frequency::Yearly;
            break;
    }
    walker.interval_ = rule.interval;
    walker.count_ = rule.count;
    walker.firstYear_ = first.year;
    walker.firstMonth_ = static_cast<unsigned>(first.month);
    walker.firstMonthDay_ = static_cast<unsigned>(first.day);
    walker.firstDay_ = DayOf(first.year, walker.firstMonth_, walker.firstMonthDay_);
    walker.timeOfDay_ =
        first.isDate ? 0 : int64_t{first.hour} * 3600 + int64_t{first.minute} * 60 + first.second;
    walker.firstStart_ = walker.firstDay_ * kSecondsPerDay + walker.timeOfDay_;
    walker.floor_ = walker.firstStart_;
    // libical numbers weekdays from Sunday = 1; a rule without WKST starts its weeks on Monday.
    walker.weekStart_ =
        rule.week_start == ICAL_NO_WEEKDAY ? 1u : static_cast<unsigned>(rule.week_start) - 1;

    if (!icaltime_is_null_time(rule.until)) {
        const icaltimetype& until = rule.until;
        const int64_t untilDay =
            DayOf(until.year, static_cast<unsigned>(until.month), static_cast<unsigned>(until.day));
        if (until.is_date) {
            // libical reads a date UNTIL as that day's midnight, and holds a timed start to be
            // after it even at midnight: with a timed first start the UNTIL day itself is out.
            walker.lastAllowed_ = untilDay * kSecondsPerDay - (first.isDate ? 0 : 1);
        } else {
            walker.lastAllowed_ = untilDay * kSecondsPerDay + int64_t{until.hour} * 3600 +
                                  int64_t{until.minute} * 60 + until.second;
        }
    }
    for (const short value : ValuesOf(rule.by_month)) {
        walker.months_ |= static_cast<uint16_t>(Bit(static_cast<unsigned>(value)));
    }
    for (const short value : ValuesOf(rule.by_month_day)) {
        if (value > 0) {
            walker.monthDaysFromStart_ |= Bit(static_cast<unsigned>(value));
        } else {
            walker.monthDaysFromEnd_ |= Bit(static_cast<unsigned>(-value));
        }
    }
    for (const short value : ValuesOf(rule.by_day)) {
        const auto weekdayNumber =
            static_cast<unsigned>(icalrecurrencetype_day_day_of_week(value)) - 1;
        const int ordinal = icalrecurrencetype_day_position(value);
        if (ordinal == 0) {
            walker.everyWeekday_ |= static_cast<uint8_t>(Bit(weekdayNumber));
        } else {
            walker.nthWeekdays_.push_back({weekdayNumber, ordinal});
        }
    }
    for (const short value : ValuesOf(rule.by_set_pos)) {
        walker.setPositions_.push_back(value);
    }
    walker.firstWeekStart_ = walker.WeekStartOf(walker.WeeklyAnchor());
    return walker;
}

void RuleWalker::SkipTo(int64_t fromWallSeconds) {
    if (pending_) {
        if (*pending_ >= fromWallSeconds) {
            return;
        }
        pending_.reset();
    }
    if (fromWallSeconds <= floor_ || finished_) {
        return;
    }
    if (count_ > 0) {
        while (const std::optional<int64_t> start = Advance()) {
            if (*start >= fromWallSeconds) {
                pending_ = start;
                return;
            }
        }
        return;
    }
    floor_ = fromWallSeconds;
    const int64_t fromDay = FloorDiv(fromWallSeconds, kSecondsPerDay);
    if (fromDay > kLastDay) {
        finished_ = true;
        return;
    }
    // The periods before the one holding `from` have only earlier starts: a rule without COUNT
    // remembers nothing of them.
    const int64_t period = PeriodHolding(fromDay);
    if (period >= nextPeriod_) {
        nextPeriod_ = period;
        days_.clear();
        nextDay_ = 0;
    }
}

std::optional<int64_t> RuleWalker::Next() {
    if (pending_) {
        const std::optional<int64_t> start = pending_;
        pending_.reset();
        return start;
    }
    return Advance();
}

std::optional<int64_t> RuleWalker::Advance() {
    while (!finished_) {
        if (nextDay_ == days_.size()) {
            if (!FillNextPeriod()) {
                finished_ = true;
            }
            continue;
        }
        const int64_t dayNumber = days_[nextDay_++];
        if (dayNumber > kLastDay) {
            finished_ = true;
            break;
        }
        const int64_t start = dayNumber * kSecondsPerDay + timeOfDay_;
        if (start < floor_) {
            continue;  // before the first start, or before where the walk was sent
        }
        if (lastAllowed_ && start > *lastAllowed_) {
            finished_ = true;
            break;
        }
        ++returned_;
        if (count_ > 0 && returned_ >= count_) {
            finished_ = true;
        }
        return start;
    }
    return std::nullopt;
}

bool RuleWalker::FillNextPeriod() {
    days_.clear();
    nextDay_ = 0;
    while (days_.empty()) {
        const int64_t firstDay = FirstDayOfPeriod(nextPeriod_);
        // A rule that picks nothing any more (31 February) ends at the last year either way.
        if (firstDay > kLastDay ||
            (lastAllowed_ && firstDay * kSecondsPerDay + timeOfDay_ > *lastAllowed_)) {
            return false;
        }
        FillPeriod(nextPeriod_);
    }
    return true;
}

void RuleWalker::FillPeriod(int64_t period) {
    switch (frequency_) {
        case Frequency::Daily:
            FillDay(period);
            break;
        case Frequency::Weekly:
            FillWeek(period);
            break;
        case Frequency::Monthly:
            FillMonth(period);
            break;
        case Frequency::Yearly:
            FillYear(period);
            break;
    }
}

void RuleWalker::FillDay(int64_t period) {
    const int64_t dayNumber = firstDay_ + period * interval_;
    const year_month_day civil = CivilOf(dayNumber);
    const auto m = static_cast<unsigned>(civil.month());
    if (months_ != 0 && (months_ & Bit(m)) == 0) {
        // No day of this month is picked: go on to the first step into the next month.
        const int64_t nextMonth =
            sys_days{civil.year() / civil.month() / last}.time_since_epoch().count() + 1;
        nextPeriod_ = CeilDiv(nextMonth - firstDay_, interval_);
        return;
    }
    nextPeriod_ = period + 1;
    const auto d = static_cast<unsigned>(civil.day());
    if ((monthDaysFromStart_ != 0 && (monthDaysFromStart_ & Bit(d)) == 0) ||
        (everyWeekday_ != 0 && (everyWeekday_ & Bit(WeekdayOf(dayNumber))) == 0)) {
        return;
    }
    days_.push_back(dayNumber);
}

void RuleWalker::FillWeek(int64_t period) {
    nextPeriod_ = period + 1;
    const int64_t weekStart = firstWeekStart_ + int64_t{kDaysPerWeek} * interval_ * period;
    const unsigned weekdays = everyWeekday_ != 0 ? everyWeekday_ : Bit(WeekdayOf(firstDay_));
    for (unsigned offset = 0; offset < kDaysPerWeek; ++offset) {
        if ((weekdays & Bit((weekStart_ + offset) % kDaysPerWeek)) == 0) {
            continue;
        }
        const int64_t dayNumber = weekStart + offset;
        if (months_ != 0 &&
            (months_ & Bit(static_cast<unsigned>(CivilOf(dayNumber).month()))) == 0) {
            continue;
        }
        days_.push_back(dayNumber);
    }
}

void RuleWalker::FillMonth(int64_t period) {
    nextPeriod_ = period + 1;
    const int64_t monthIndex = FirstMonthIndex() + period * interval_;
    const auto y = static_cast<int>(FloorDiv(monthIndex, kMonthsPerYear));
    const auto m = static_cast<unsigned>(monthIndex - int64_t{y} * kMonthsPerYear + 1);
    if (months_ != 0 && (months_ & Bit(m)) == 0) {
        return;
    }
    AddMonth(y, m);
    if (setPositions_.empty() || days_.empty()) {
        return;
    }
    // BYSETPOS picks from the month's days by place, counted from either end.
    const auto size = static_cast<int>(days_.size());
    uint64_t chosen = 0;
    for (const int position : setPositions_) {
        const int index = position > 0 ? position - 1 : size + position;
        if (index >= 0 && index < size) {
            chosen |= uint64_t{1} << index;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < days_.size(); ++i) {
        if ((chosen >> i) & 1u) {
            days_[kept++] = days_[i];
        }
    }
    days_.resize(kept);
}

void RuleWalker::FillYear(int64_t period) {
    nextPeriod_ = period + 1;
    const auto y = static_cast<int>(firstYear_ + period * interval_);
    const bool byMonthDay = monthDaysFromStart_ != 0 || monthDaysFromEnd_ != 0;
    const bool byWeekday = everyWeekday_ != 0 || !nthWeekdays_.empty();
    if (months_ == 0 && byWeekday) {
        // Weekdays of the whole year, ordinals counted within it (the 20th Monday). With
        // BYMONTHDAY libical keeps those that fall on the named days of the first start's month.
        AddYearWeekdays(y);
        if (byMonthDay) {
            const int64_t monthStart = DayOf(y, firstMonth_, 1);
            const uint32_t monthDays = MonthDayBits(DaysInMonth(y, firstMonth_));
            std::erase_if(days_, [&](int64_t dayNumber) {
                const int64_t dayOfMonth = dayNumber - monthStart + 1;
                return dayOfMonth < 1 || dayOfMonth > kMaxMonthDay ||
                       (monthDays & Bit(static_cast<unsigned>(dayOfMonth))) == 0;
            });
        }
        return;
    }
    // Otherwise month by month: the months named, or libical's reading of a yearly rule without
    // BYMONTH, the first start's month only (so BYMONTHDAY=15 is the 15th of that month).
    const unsigned months = months_ != 0 ? months_ : Bit(firstMonth_);
    for (unsigned m = 1; m <= kMonthsPerYear; ++m) {
        if ((months & Bit(m)) != 0) {
            AddMonth(y, m);
        }
    }
}

void RuleWalker::AddYearWeekdays(int y) {
    const int64_t firstDay = DayOf(y, 1, 1);
    const int64_t length = IsLeapYear(y) ? 366 : 365;
    const unsigned firstWeekday = WeekdayOf(firstDay);
    if (everyWeekday_ != 0) {
        for (int64_t offset = 0; offset < length; ++offset) {
            if ((everyWeekday_ &
                 Bit(static_cast<unsigned>((firstWeekday + offset) % kDaysPerWeek))) != 0) {
                days_.push_back(firstDay + offset);
            }
        }
    }
    for (const NthWeekday& nth : nthWeekdays_) {
        if (const auto offset = NthWeekdayOffset(firstWeekday, length, nth.weekday, nth.ordinal)) {
            days_.push_back(firstDay + *offset);
        }
    }
    std::sort(days_.begin(), days_.end());
    days_.erase(std::unique(days_.begin(), days_.end()), days_.end());
}

void RuleWalker::AddMonth(int y, unsigned m) {
    const uint32_t picked = MonthDaysPicked(y, m);
    if (picked == 0) {
        return;
    }
    const int64_t firstDay = DayOf(y, m, 1);
    for (unsigned d = 1; d <= kMaxMonthDay; ++d) {
        if ((picked & Bit(d)) != 0) {
            days_.push_back(firstDay + d - 1);
        }
    }
}

uint32_t RuleWalker::MonthDaysPicked(int y, unsigned m) const {
    const unsigned length = DaysInMonth(y, m);
    const bool byMonthDay = monthDaysFromStart_ != 0 || monthDaysFromEnd_ != 0;
    const bool byWeekday = everyWeekday_ != 0 || !nthWeekdays_.empty();
    if (!byMonthDay && !byWeekday) {
        // The first start's day of the month, passed over where the month is too short.
        return firstMonthDay_ <= length ? Bit(firstMonthDay_) : 0;
    }
    uint32_t picked = WholeMonthBits(length);
    if (byMonthDay) {
        picked &= MonthDayBits(length);
    }
    if (byWeekday) {
        const unsigned firstWeekday = WeekdayOf(DayOf(y, m, 1));
        uint32_t weekdays = 0;
        for (unsigned d = 1; d <= length; ++d) {
            if ((everyWeekday_ & Bit((firstWeekday + d - 1) % kDaysPerWeek)) != 0) {
                weekdays |= Bit(d);
            }
        }
        for (const NthWeekday& nth : nthWeekdays_) {
            if (const auto offset =
                    NthWeekdayOffset(firstWeekday, length, nth.weekday, nth.ordinal)) {
                weekdays |= Bit(static_cast<unsigned>(*offset) + 1);
            }
        }
        picked &= weekdays;
    }
    return picked;
}

uint32_t RuleWalker::MonthDayBits(unsigned length) const {
    uint32_t monthDays = monthDaysFromStart_;
    for (unsigned fromEnd = 1; fromEnd <= length; ++fromEnd) {
        if ((monthDaysFromEnd_ & Bit(fromEnd)) != 0) {
            monthDays |= Bit(length + 1 - fromEnd);
        }
    }
    // BYMONTHDAY=31 names no day of a 30-day month.
    return monthDays & WholeMonthBits(length);
}

// Months since the year 0 of the first start's month: monthly periods count from it.
int64_t RuleWalker::FirstMonthIndex() const {
    return int64_t{firstYear_} * kMonthsPerYear + firstMonth_ - 1;
}

int64_t RuleWalker::WeekStartOf(int64_t dayNumber) const {
    return dayNumber - (WeekdayOf(dayNumber) + kDaysPerWeek - weekStart_) % kDaysPerWeek;
}

// The day a weekly rule counts its weeks from. libical moves the first start to the rule's
// first weekday in week order, reckoning the distance in Sunday-based weekday numbers: from a
// Friday with BYDAY=SU and weeks from Monday that is the Sunday before, in the week before, so
// the first week with starts is INTERVAL weeks on. Without BYDAY it is the first start itself.
int64_t RuleWalker::WeeklyAnchor() const {
    if (everyWeekday_ == 0) {
        return firstDay_;
    }
    // Weekday numbers from Sunday = 1, as libical's.
    const auto startNumber = static_cast<int>(WeekdayOf(firstDay_)) + 1;
    const int weekStartNumber = static_cast<int>(weekStart_) + 1;
    int firstNumber = 0;
    for (unsigned offset = 0; offset < kDaysPerWeek; ++offset) {
        const unsigned candidate = (weekStart_ + offset) % kDaysPerWeek;
        if ((everyWeekday_ & Bit(candidate)) != 0) {
            firstNumber = static_cast<int>(candidate) + 1;
            break;
        }
    }
    int shift = firstNumber - startNumber;
    if (shift != 0 && startNumber < weekStartNumber) {
        shift -= kDaysPerWeek;
    }
    return firstDay_ + shift;
}

int64_t RuleWalker::FirstDayOfPeriod(int64_t period) const {
    switch (frequency_) {
        case Frequency::Daily:
            return firstDay_ + period * interval_;
        case Frequency::Weekly:
            return firstWeekStart_ + int64_t{kDaysPerWeek} * interval_ * period;
        case Frequency::Monthly: {
            const int64_t monthIndex = FirstMonthIndex() + period * interval_;
            const int64_t y = FloorDiv(monthIndex, kMonthsPerYear);
            if (y > kLastYear) {
                return kLastDay + 1;
            }
            return DayOf(static_cast<int>(y),
                         static_cast<unsigned>(monthIndex - y * kMonthsPerYear + 1), 1);
        }
        case Frequency::Yearly: {
            const int64_t y = firstYear_ + period * interval_;
            return y > kLastYear ? kLastDay + 1 : DayOf(static_cast<int>(y), 1, 1);
        }
    }
    return kLastDay + 1;
}

int64_t RuleWalker::PeriodHolding(int64_t dayNumber) const {
    switch (frequency_) {
        case Frequency::Daily:
            return FloorDiv(dayNumber - firstDay_, interval_);
        case Frequency::Weekly:
            return FloorDiv(WeekStartOf(dayNumber) - firstWeekStart_,
                            int64_t{kDaysPerWeek} * interval_);
        case Frequency::Monthly: {
            const year_month_day civil = CivilOf(dayNumber);
            const int64_t monthIndex = int64_t{static_cast<int>(civil.year())} * kMonthsPerYear +
                                       static_cast<unsigned>(civil.month()) - 1;
            return FloorDiv(monthIndex - FirstMonthIndex(), interval_);
        }
        case Frequency::Yearly:
            return FloorDiv(static_cast<int>(CivilOf(dayNumber).year()) - firstYear_, interval_);
    }
    return 0;
}

}  // namespace store

#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// A DATE counts days from 1899-12-30; its fraction is the time of day. Days before that
// epoch are negative while the fraction still counts forward from midnight, so -1.25 is
// 1899-12-29 06:00. Values are local wall-clock time.
using Date = double;

// The calendar-field record the program splits a DATE into.
struct CalendarFields {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t DayOfWeek = 0;  // 0 = Sunday
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;

    friend bool operator==(const CalendarFields&, const CalendarFields&) = default;
};

// Years the conversions accept, as the classic conversion pair does.
inline constexpr int kMinYear = 100;
inline constexpr int kMaxYear = 9999;

// Fields to DATE. Milliseconds and the day of week are ignored. A minute of 60 or more or an
// hour of 24 or more carries into the next hour or day (23:60 is 00:00 of the next day); a
// month or day outside the calendar, or a year outside 100..9999, is a failure.
std::optional<Date> FieldsToDate(const CalendarFields& fields);

// DATE to fields, the time rounded to the nearest second (milliseconds are always 0) and the
// day of week filled in. Fails for DATEs outside years 100..9999.
std::optional<CalendarFields> DateToFields(Date date);
// The hour DateToFields gives, without working out the day: for what looks at many times.
std::optional<int> HourOfDate(Date date);

// Convenience for the program's own constants and tests: a day at a time of day.
std::optional<Date> MakeDate(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0);

// The day number of a DATE: the DATE truncated to an integer. Same-day tests compare these.
inline int64_t DayNumber(Date date) {
    return static_cast<int64_t>(date);
}

// DATE onto a monotonic axis (days since the epoch, fraction added even before it) and back.
// Stores and comparisons that must order DATEs use this axis.
double DateToLinear(Date date);
Date LinearToDate(double linear);

// Days from 1970-01-01 to 1899-12-30 and back, for conversion to calendar libraries.
inline constexpr int64_t kUnixEpochDate = 25569;

// The source of "now", so that tests can fix today.
class Clock {
public:
    virtual ~Clock() = default;
    // The local wall-clock time now.
    virtual CalendarFields LocalTimeNow() const = 0;
};

// The real local time of the process (its TZ).
class SystemClock final : public Clock {
public:
    CalendarFields LocalTimeNow() const override;
};

// Today at 00:00 by `clock`; nothing when its date lies outside the calendar.
std::optional<Date> TodayOf(const Clock& clock);

// A clock stopped at one moment.
class FixedClock final : public Clock {
public:
    explicit FixedClock(CalendarFields now) : now_(now) {}
    CalendarFields LocalTimeNow() const override { return now_; }

private:
    CalendarFields now_;
};

}  // namespace platform

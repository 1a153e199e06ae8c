#include "platform/time/date_time.h"

#include <cmath>
#include <ctime>

namespace platform {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDay {
    int64_t year;
    int month;
    int day;
};

constexpr CivilDay CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
const double kMinLinear = static_cast<double>(DaysFromCivil(kMinYear, 1, 1) - kEpochDays);
const double kMaxLinear = static_cast<double>(DaysFromCivil(kMaxYear + 1, 1, 1) - kEpochDays);

// A DATE as whole days on the linear axis and the time of day rounded to the nearest second; a
// time that rounds up to midnight moves on a day.
struct DayAndSecond {
    int64_t days = 0;
    int64_t seconds = 0;
};

std::optional<DayAndSecond> SplitDate(Date date) {
    if (!std::isfinite(date)) {
        return std::nullopt;
    }
    const double linear = DateToLinear(date);
    if (linear < kMinLinear || linear >= kMaxLinear) {
        return std::nullopt;
    }
    const double wholeDays = std::floor(linear);
    DayAndSecond split;
    split.seconds = static_cast<int64_t>(std::llround((linear - wholeDays) * kSecondsPerDay));
    split.days = static_cast<int64_t>(wholeDays);
    if (split.seconds >= kSecondsPerDay) {
        split.seconds -= kSecondsPerDay;
        split.days += 1;
    }
    if (static_cast<double>(split.days) >= kMaxLinear) {
        return std::nullopt;
    }
    return split;
}

}  // namespace

double DateToLinear(Date date) {
    if (date >= 0) {
        return date;
    }
    const double whole = std::trunc(date);
    return whole + (whole - date);
}

Date LinearToDate(double linear) {
    if (linear >= 0) {
        return linear;
    }
    const double whole = std::floor(linear);
    const double fraction = linear - whole;
    // A negative day keeps its time of day as a forward fraction written after the minus sign.
    return whole - fraction;
}

std::optional<Date> FieldsToDate(const CalendarFields& f) {
    if (f.Year < kMinYear || f.Year > kMaxYear || f.Month < 1 || f.Month > 12 || f.Day < 1 ||
        f.Day > DaysInMonth(f.Year, f.Month)) {
        return std::nullopt;
    }
    // Hours, minutes and seconds past their range carry forward, so 23:60 is the next midnight.
    const int64_t seconds = int64_t{f.Hour} * 3600 + int64_t{f.Minute} * 60 + int64_t{f.Second};
    const int64_t days =
        DaysFromCivil(f.Year, f.Month, f.Day) - kEpochDays + seconds / kSecondsPerDay;
    const double fraction = static_cast<double>(seconds % kSecondsPerDay) / kSecondsPerDay;
    const double linear = static_cast<double>(days) + fraction;
    if (linear < kMinLinear || linear >= kMaxLinear) {
        return std::nullopt;
    }
    return LinearToDate(linear);
}

std::optional<int> HourOfDate(Date date) {
    const std::optional<DayAndSecond> split = SplitDate(date);
    if (!split) {
        return std::nullopt;
    }
    return static_cast<int>(split->seconds / 3600);
}

std::optional<CalendarFields> DateToFields(Date date) {
    const std::optional<DayAndSecond> split = SplitDate(date);
    if (!split) {
        return std::nullopt;
    }
    const int64_t days = split->days;
    const int64_t seconds = split->seconds;
    const CivilDay civil = CivilFromDays(days + kEpochDays);
    CalendarFields f;
    f.Year = static_cast<uint16_t>(civil.year);
    f.Month = static_cast<uint16_t>(civil.month);
    f.Day = static_cast<uint16_t>(civil.day);
    // 1899-12-30 was a Saturday.
    f.DayOfWeek = static_cast<uint16_t>(((days + 6) % 7 + 7) % 7);
    f.Hour = static_cast<uint16_t>(seconds / 3600);
    f.Minute = static_cast<uint16_t>(seconds / 60 % 60);
    f.Second = static_cast<uint16_t>(seconds % 60);
    f.Milliseconds = 0;
    return f;
}

std::optional<Date> MakeDate(int year, int month, int day, int hour, int minute, int second) {
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 || year > 0xFFFF ||
        month > 0xFFFF || day > 0xFFFF || hour > 0xFFFF || minute > 0xFFFF || second > 0xFFFF) {
        return std::nullopt;
    }
    CalendarFields f;
    f.Year = static_cast<uint16_t>(year);
    f.Month = static_cast<uint16_t>(month);
    f.Day = static_cast<uint16_t>(day);
    f.Hour = static_cast<uint16_t>(hour);
    f.Minute = static_cast<uint16_t>(minute);
    f.Second = static_cast<uint16_t>(second);
    return FieldsToDate(f);
}

CalendarFields SystemClock::LocalTimeNow() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    CalendarFields f;
    f.Year = static_cast<uint16_t>(local.tm_year + 1900);
    f.Month = static_cast<uint16_t>(local.tm_mon + 1);
    f.DayOfWeek = static_cast<uint16_t>(local.tm_wday);
    f.Day = static_cast<uint16_t>(local.tm_mday);
    f.Hour = static_cast<uint16_t>(local.tm_hour);
    f.Minute = static_cast<uint16_t>(local.tm_min);
    f.Second = static_cast<uint16_t>(local.tm_sec < 60 ? local.tm_sec : 59);
    f.Milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return f;
}

std::optional<Date> TodayOf(const Clock& clock) {
    const CalendarFields now = clock.LocalTimeNow();
    return MakeDate(now.Year, now.Month, now.Day);
}

}  // namespace platform

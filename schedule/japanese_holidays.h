#pragma once

#include <chrono>
#include <string_view>
#include <vector>

namespace schedule {

// The years whose holidays are computed. The law's days were all in force by the first; the
// equinox days are reckoned with a leap day every fourth year, which 2100 does not have.
inline constexpr int kFirstHolidayYear = 1955;
inline constexpr int kLastHolidayYear = 2099;

// The names of the two kinds of rest day that are no national holiday of their own: the day a
// holiday on a Sunday moves to, and a day lying between two national holidays.
inline constexpr std::u16string_view kSubstituteHolidayName = u"振替休日";
inline constexpr std::u16string_view kCitizensHolidayName = u"休日";

struct Holiday {
    std::chrono::year_month_day date;
    std::u16string_view name;  // a literal of the calendar's own; valid for the whole run

    friend bool operator==(const Holiday&, const Holiday&) = default;
};

// Japan's national holidays of `year` and the rest days the law adds to them (substitute and
// citizens' holidays), in date order, as the national holiday law with its amendments and the
// laws for single days have set them. Empty for a year outside kFirstHolidayYear to
// kLastHolidayYear.
std::vector<Holiday> JapaneseHolidays(int year);

}  // namespace schedule

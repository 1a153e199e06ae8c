#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/time/date_time.h"

namespace cli {

// "YYYY-MM-DD" as a DATE at 00:00; nullopt unless the text is exactly that form of a real day.
std::optional<platform::Date> ParseDayArgument(std::string_view text);

// "YYYY-MM" (the 1st of that month) or "YYYY-MM-DD".
std::optional<platform::Date> ParseMonthArgument(std::string_view text);

// "YYYY-MM-DDTHH:MM" of a real day and time.
std::optional<platform::Date> ParseMinuteArgument(std::string_view text);

// Today at 00:00 by the clock.
std::optional<platform::Date> Today(const platform::Clock& clock);

// "Sun" .. "Sat" for a weekday of the calendar fields (0 = Sunday).
std::string_view WeekdayAbbreviation(unsigned dayOfWeek);
// The same for a DATE; "?" when it lies outside the calendar.
std::string WeekdayOf(platform::Date date);

// "YYYY-MM-DD" and "YYYY-MM-DDTHH:MM" of a DATE; "?" when it lies outside the calendar.
std::string FormatDay(platform::Date date);
std::string FormatMinute(platform::Date date);

}  // namespace cli

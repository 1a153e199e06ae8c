#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/time/date_time.h"

namespace schedule {

// A day as the restriction strings give it: year/month/day without leading zeros, "2004/10/5".
// Nullopt for a DATE the calendar conversions do not cover.
std::optional<std::u16string> RestrictionDate(platform::Date date);

// Copies a store text into a field that keeps at most `maxUnits` UTF-16 units, cutting a longer
// one; a cut never keeps the first half of a surrogate pair. The field's buffer is reused.
void AssignCut(std::u16string& field, std::u16string_view text, size_t maxUnits);

// Whether two DATEs fall on the same day, and whether the first lies on an earlier day.
inline bool SameDay(platform::Date a, platform::Date b) {
    return platform::DayNumber(a) == platform::DayNumber(b);
}
inline bool EarlierDay(platform::Date a, platform::Date b) {
    return platform::DayNumber(a) < platform::DayNumber(b);
}

}  // namespace schedule

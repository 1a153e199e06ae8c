#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "calendar/records.h"
#include "platform/time/date_time.h"

// How an appointment repeats, as the repeat dialog offers it, and the recurrence rule (RRULE)
// that says it: every day, every week on its weekday, every month on its day of the month or
// every year on its day, until the end of a last day or without end.
namespace editors {

enum class RepeatKind { None, Daily, Weekly, Monthly, Yearly };

struct Repeat {
    RepeatKind kind = RepeatKind::None;
    // The day the series ends on (at 00:00); none: it does not end.
    std::optional<platform::Date> lastDay;

    friend bool operator==(const Repeat&, const Repeat&) = default;
};

// A stored rule as the dialog shows it: the kind its FREQ names (None for one it does not offer,
// such as HOURLY) and the day of its UNTIL, on the clock of `zone` (local when unset).
Repeat RepeatOfRule(std::string_view rule, const calendar::ItemZone& zone);

// The rule's value for a series (empty for None): FREQ, and with a last day an UNTIL at the end
// of that day in the item's zone: that date for an all-day item, 23:59:59 as clock time for a
// floating one, else that moment in UTC.
std::string RuleOfRepeat(const Repeat& repeat, const calendar::ItemZone& zone, bool allDay);

}  // namespace editors

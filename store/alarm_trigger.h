#pragma once

#include <optional>
#include <string_view>

#include "platform/time/date_time.h"

namespace store {

using platform::Date;

// When an alarm kept with an item (a VALARM among its kept lines) goes off, as iCalendar's
// TRIGGER says: a duration before or after the item's start or end, or one moment in time.
struct AlarmTrigger {
    enum class Anchor { Start, End, Moment };
    Anchor anchor = Anchor::Start;
    // For Start and End: seconds after the anchor (negative: before it).
    int64_t offsetSeconds = 0;
    // For Moment: local wall-clock time.
    Date moment = 0;

    // When the alarm goes off for an item (or one occurrence) that starts and ends then.
    Date RingTime(Date start, Date end) const;
};

// The alarm of the kept lines that goes off first for an item starting and ending then, or
// nullopt when they hold no VALARM with a TRIGGER that can be read.
std::optional<AlarmTrigger> EarliestAlarmTrigger(std::string_view keptLines, Date start, Date end);

}  // namespace store

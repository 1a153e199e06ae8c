#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/time/date_time.h"

namespace pim {

using platform::Date;

// What the store reports for a task date that is not set: 1 January 4501.
inline constexpr Date kNoDateValue = 949998.0;

// Recurrence types as the program reads them from a pattern.
enum class RecurrenceType : int32_t {
    None = -1,
    Daily = 0,
    Weekly = 1,
    MonthlyByDay = 2,     // the same day of every month
    MonthlyByNthDay = 3,  // e.g. the second Tuesday
    Yearly = 5,           // the same date every year
    YearlyByNthDay = 6,   // e.g. the last Monday of May
};

// A recurring series as iCalendar describes it. The first occurrence is always the series'
// own start (DTSTART), whether or not the rule would produce it.
struct Recurrence {
    // The RRULE value without its name, e.g. "FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20270101T000000".
    // Empty: the appointment does not recur (RDATEs alone still add occurrences).
    std::string rule;
    // The zone the rule is expanded in ("Europe/Berlin", "UTC"); empty means local wall-clock
    // time, the zone of the process. Occurrences are always reported in local time.
    std::string tzid;
    // DTSTART as wall-clock time in `tzid` (equal to the appointment's start when tzid is empty).
    Date zoneStart = 0;
    // Occurrence starts removed from (EXDATE) and added to (RDATE) the series, wall-clock in
    // `tzid`.
    std::vector<Date> exceptionDates;
    std::vector<Date> extraDates;

    bool recurs() const { return !rule.empty() || !extraDates.empty(); }
    friend bool operator==(const Recurrence&, const Recurrence&) = default;
};

// One appointment as the store keeps it. Dates are local wall-clock time; an all-day
// appointment holds its first and its last day at 00:00.
struct AppointmentRecord {
    int32_t oid = 0;  // 0: not stored yet
    Date start = 0;
    Date end = 0;
    bool allDay = false;
    bool reminderSet = false;
    std::u16string subject;
    std::u16string location;
    std::u16string body;
    std::u16string categories;  // several joined with ", "
    Recurrence recurrence;
    // The iCalendar UID the item was imported with or exported under.
    std::string uid;
    // Properties the store does not model, as iCalendar content lines (CRLF separated, unfolded),
    // written back on export so that a round trip loses nothing. Sub-components such as VALARM
    // are kept here too, as their BEGIN..END lines.
    std::string extraProperties;

    friend bool operator==(const AppointmentRecord&, const AppointmentRecord&) = default;
};

// One task as the store keeps it.
struct TaskRecord {
    int32_t oid = 0;
    Date dueDate = kNoDateValue;
    Date dateCompleted = kNoDateValue;
    bool complete = false;
    std::u16string subject;
    std::u16string body;
    std::u16string categories;
    std::string uid;
    std::string extraProperties;

    friend bool operator==(const TaskRecord&, const TaskRecord&) = default;
};

}  // namespace pim

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/pim/records.h"
#include "platform/result.h"
#include "platform/time/date_time.h"

namespace pim {

// What an iCalendar file held, as the store's records (all with oid 0).
//
// Times with a TZID or in UTC are converted to the process's local wall-clock time; floating
// times are taken as local. A recurring series keeps its own zone (Recurrence::tzid) and its
// wall-clock start there. Properties the store does not model are kept in extraProperties
// word for word as they stood in the file (unfolded), sub-components such as VALARM after
// them as their BEGIN..END lines. A SUMMARY, LOCATION or DESCRIPTION that carries parameters
// (LANGUAGE=ja) is kept there too, so that the export can write the same parameters in front
// of the record's current text.
struct ImportedCalendar {
    std::vector<AppointmentRecord> appointments;
    std::vector<TaskRecord> tasks;
    // Components not imported, one line each: "line 40: VJOURNAL not kept by the planner".
    std::vector<std::string> skipped;
    // Things imported in a way the user may want to know about, one line each, e.g.
    // "line 12: unknown time zone Mars/Base taken as local time".
    std::vector<std::string> notes;
};

// Reads a whole iCalendar file (CRLF or LF line ends). All or nothing: when anything in the
// file cannot be read, the result is an error whose message begins with the line it concerns,
// "line 17: DTSTART has no valid date".
platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText);

// One VCALENDAR holding the appointments as VEVENTs and the tasks as VTODOs, with a VTIMEZONE
// for each zone the text refers to. Items without a uid get "tessarinth-<oid>@localhost"
// (tasks "tessarinth-task-<oid>@localhost"); DTSTAMP is kept from extraProperties or set to
// the clock's time now.
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks);
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock);

}  // namespace pim

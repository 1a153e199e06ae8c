#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/pim/records.h"
#include "platform/result.h"
#include "platform/time/date_time.h"

// iCalendar import and export. The reading lives in ical_reader.cpp (with ical_event_times for
// the times of an item), the writing in ical_writer.cpp; both stand on ical_lines (content lines
// and components), ical_values (libical's reading of a value), ical_zones (VTIMEZONEs) and
// ical_extras (the lines the store keeps without modelling them, alarms among them).
namespace pim {

// What an iCalendar file held, as the store's records (all with oid 0).
//
// Times with a TZID or in UTC are converted to the process's local wall-clock time; floating
// times are taken as local. A recurring series keeps its own zone (Recurrence::tzid) and its
// wall-clock start there, and the VEVENTs that change one of its occurrences (RECURRENCE-ID,
// with RANGE=THISANDFUTURE too) as Recurrence::changes. STATUS:CANCELLED marks an event or a
// changed occurrence cancelled. Properties the store does not model are kept in
// extraProperties word for word as they stood in the file (unfolded), sub-components such as
// VALARM after them as their BEGIN..END lines. A SUMMARY, LOCATION or DESCRIPTION that carries
// parameters (LANGUAGE=ja) is kept there too, so that the export can write the same parameters
// in front of the record's current text.
struct ImportedCalendar {
    std::vector<AppointmentRecord> appointments;
    std::vector<TaskRecord> tasks;
    // For each appointment and each task, in the same order, the properties the file gave, so
    // that an import updating a stored item keeps what the file does not say.
    std::vector<ItemFields> appointmentsGive;
    std::vector<ItemFields> tasksGive;
    // Components not imported, one line each: "line 40: VJOURNAL not kept by the planner".
    std::vector<std::string> skipped;
    // Things imported in a way the user may want to know about, one line each, e.g.
    // "line 12: unknown time zone Mars/Base taken as local time".
    std::vector<std::string> notes;
    // The changed and cancelled occurrences kept with their series, one line each:
    // "line 30: 定例 (weekly@example.com): the occurrence of 2026-12-09 09:00 moved to
    // 2026-12-09 14:00".
    std::vector<std::string> changedOccurrences;
};

// Reads a whole iCalendar file (CRLF or LF line ends). All or nothing: when anything in the
// file cannot be read, the result is an error whose message begins with the line it concerns,
// "line 17: DTSTART has no valid date".
platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText);

// One VCALENDAR holding the appointments as VEVENTs (a series followed by a VEVENT for each of
// its changed occurrences, with the series' UID and RECURRENCE-ID) and the tasks as VTODOs,
// with a VTIMEZONE for each zone the text refers to. Items without a uid get
// "tessarinth-<oid>@localhost" (tasks "tessarinth-task-<oid>@localhost"); DTSTAMP is kept from
// extraProperties or set to the clock's time now.
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks);
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock);

}  // namespace pim

#pragma once

#include <optional>

#include "calendar/records.h"
#include "platform/time/date_time.h"

// An occurrence of a series that came without its series (an invitation to one meeting, as
// calendar services send it): kept as an appointment of its own whose kept lines still hold its
// RECURRENCE-ID, until the series arrives and takes it in as one of its changed occurrences.
namespace calendar {

// Whether the appointment is such an occurrence: it does not repeat and keeps a RECURRENCE-ID.
bool IsLoneOccurrence(const AppointmentRecord& record);

// Which occurrence of `series` it is: its RECURRENCE-ID as wall-clock time of the series' zone
// (a day for an all-day series). nullopt when that cannot be read.
std::optional<Date> LoneOccurrenceId(const AppointmentRecord& lone,
                                     const AppointmentRecord& series);

// The appointment read as the change of the occurrence `recurrenceId` of `series`: its own
// times (kept in the series' zone), texts, memo and kept lines, without its RECURRENCE-ID.
OccurrenceChange AsChangeOf(const AppointmentRecord& series, const AppointmentRecord& occurrence,
                            Date recurrenceId, bool thisAndFuture);

// `change` put among the series' changed occurrences in its order, replacing the change of the
// same occurrence; false (and nothing changed) when that one is kept instead (`replace` false).
bool PutChange(AppointmentRecord& series, OccurrenceChange change, bool replace);

}  // namespace calendar

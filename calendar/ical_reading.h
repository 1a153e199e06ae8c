#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calendar/ical_event_times.h"
#include "calendar/ical_io.h"
#include "calendar/ical_lines.h"
#include "platform/result.h"

// What the reading of a whole calendar file (ical_reader.cpp) and its reading as a stream
// (ical_stream_reader.cpp) share: one calendar's lines, zones and items read into what the
// import builds up. Only for those two.
namespace calendar {

// A VEVENT as read: an event of its own, or the change of one occurrence of a series.
struct EventRead {
    AppointmentRecord record;
    ItemFields given;
    int line = 0;  // BEGIN:VEVENT
    // RECURRENCE-ID for a change; its series is found by the UID once the whole calendar is read.
    std::optional<ical::TimedLine> recurrenceId;
    // The line recurrenceId points to, owned once the change is kept past its component (which a
    // streamed reading lets go as soon as it is read).
    std::unique_ptr<ical::ContentLine> recurrenceIdLine;
    bool thisAndFuture = false;
    std::optional<CarriedInk> ink;
};

// What reading one file builds up.
struct ImportState {
    ical::ReadContext context;
    ImportedCalendar result;
    // Where each UID's event lies in result.appointments, and each UID's task in result.tasks.
    std::map<std::string, size_t> eventByUid;
    std::map<std::string, size_t> taskByUid;
    // UIDs made for items without one, with the number of items each was made for.
    std::map<std::string, int> madeUids;
    // The VEVENTs with RECURRENCE-ID of the VCALENDAR being read, until their series are found.
    std::vector<EventRead> changes;
    // What could not be read, which ImportMode::AllOrNothing refuses the file for, by line.
    std::vector<std::pair<int, platform::Error>> refusals;
};

// The changes read from the VCALENDAR put with their series, in the series' own zone; a change
// whose series is not in the file is kept on its own, the first one of each series.
void AttachChanges(ImportState& state);

// Whether a component (with what it holds) is written as vCalendar 1.0 writes it, which
// iCalendar 2.0 does not: its alarm, zone and rule properties, or quoted-printable texts.
bool IsWrittenAsVersion1(const ical::Component& component, bool atCalendarLevel);

// The calendar's own lines, before its items; false when the calendar is not read at all (a
// version other than 2.0). `writtenAsVersion1`: IsWrittenAsVersion1 of the whole calendar.
bool BeginCalendar(const ical::Component& calendar, bool writtenAsVersion1, ImportState& state);

// A VTIMEZONE of the calendar, for the items that name it.
void ReadZone(const ical::Component& child, ImportState& state);

// One component of a calendar other than a VTIMEZONE.
void ReadItem(const ical::Component& child, ImportState& state);

// A run of lines outside every component, left out.
void SkipOutside(ImportState& state, const ical::Problem& stray);

// The lines of what was skipped in the order of the file, whichever part of the reading found
// them.
void SortSkipped(std::vector<std::string>& skipped);

// What ImportMode::AllOrNothing refuses the file for: the first thing read otherwise than as
// written, since the last time this was asked.
std::optional<platform::Error> FirstRefusal(ImportState& state);

}  // namespace calendar

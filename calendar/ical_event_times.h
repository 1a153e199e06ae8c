#pragma once

#include <libical/ical.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calendar/ical_lines.h"
#include "calendar/ical_values.h"
#include "calendar/ical_zones.h"
#include "calendar/item_zones.h"
#include "calendar/records.h"
#include "calendar/time_zones.h"
#include "platform/result.h"

// The times of a file's items as the planner keeps them: dates and date-times in their zones
// turned into local wall-clock time, all-day spans, durations, and a series' rule, exceptions
// and extra dates in the series' own zone.
namespace calendar::ical {

// Day arithmetic on DATE values, which count days from their epoch.
Date WholeDay(Date date);     // the day at 00:00
double TimeOfDay(Date date);  // the fraction of its day
Date AddDays(Date date, double days);
bool IsBefore(Date a, Date b);

// What reading one file shares between its items: the current VCALENDAR's zones and the notes
// for the user (each unknown zone is noted once).
struct ReadContext {
    FileZones zones;
    std::set<std::string> notedZones;
    std::vector<std::string> notes;
    // What was left out of the items that were imported, one line each.
    std::vector<std::string> dropped;
    // Every place where what is imported differs from what the file says (left out or mended),
    // by line: a strict reading refuses the file for the first.
    std::vector<std::pair<int, std::string>> departures;

    void Note(int line, std::string_view what) { notes.push_back(LineNote(line, what)); }
    // A property or sub-component left out of an item that is imported.
    void Drop(int line, std::string_view what) {
        dropped.push_back(LineNote(line, what));
        departures.emplace_back(line, dropped.back());
    }
    // A line read otherwise than as written (bytes that are not UTF-8, a fold without its space).
    void Mend(int line, std::string_view what) {
        Note(line, what);
        departures.emplace_back(line, notes.back());
    }
};

// A time as the file gives it.
struct WallTime {
    Date wall = 0;  // wall-clock time in `zone`; a day at 00:00 for dates
    bool isDate = false;
    TimeZone zone = TimeZone::Local();  // floating times and unknown zones: local time
    ItemZone itemZone;                  // how an item keeps it: floating, UTC or its TZID
    std::string writtenTzid;            // the TZID parameter as written
};

// The date, date-time or period (from its start) of one value of a line.
platform::Result<WallTime> ReadTime(const ContentLine& line, icalproperty* p, ReadContext& context);

// The time as local wall-clock time (a date as its day at 00:00).
platform::Result<Date> ToLocal(const ContentLine& line, const WallTime& time);

// An EXDATE, RDATE or RECURRENCE-ID as wall-clock time of the series' zone: for an all-day
// series its day, for a date given to a timed series that day at the series' time of day.
platform::Result<Date> InSeriesZone(const ContentLine& line, const WallTime& time,
                                    const TimeZone& seriesZone, bool allDay, Date zoneStart);

// The zone a stored series repeats in (its own), local time when it has none.
TimeZone SeriesZone(const AppointmentRecord& series);

struct TimedLine {
    const ContentLine* line;
    WallTime time;
};

// The time properties of one VEVENT as read.
struct EventTimes {
    std::optional<TimedLine> start;
    std::optional<TimedLine> end;
    std::optional<icaldurationtype> duration;
    const ContentLine* durationLine = nullptr;
    std::optional<std::string> rule;
    std::vector<TimedLine> exceptions;
    std::vector<TimedLine> extras;
    std::optional<TimedLine> recurrenceId;
    bool thisAndFuture = false;
};

// Reads DTSTART, DTEND, DURATION, RRULE, EXDATE, RDATE or RECURRENCE-ID into `times`. A second
// DTSTART, DTEND or DURATION is noted and passed over (`seen` holds the names read so far).
platform::Result<void> ReadEventTime(const ContentLine& line, const LineValues& values,
                                     EventTimes& times, std::set<std::string>& seen,
                                     ReadContext& context);

// Notes a repeated single property (a second DTSTART) and says whether to pass it over.
bool IsRepeat(const ContentLine& line, std::set<std::string>& seen, ReadContext& context);

// When an event or a changed occurrence takes place, as an appointment holds it.
struct EventSpan {
    Date start = 0;
    Date end = 0;
    bool allDay = false;
    // The zone of the start, with start and end as wall-clock time there.
    ItemZone zone;
    Date zoneStart = 0;
    Date zoneEnd = 0;
};

// The span of an event whose times were read (DTSTART is there); DURATION next to DTEND is
// noted and ignored.
platform::Result<void> SetEventTimes(EventTimes& times, EventSpan& span, ReadContext& context);

// The series' rule, exceptions and extra dates, in the zone of its start.
platform::Result<void> SetRecurrence(const EventTimes& times, AppointmentRecord& record);

// Whether the event's DTEND stands for the moment of its DTSTART, though it is there: an event
// without length, whose end the writer would leave out, when the end is written otherwise than
// the start (a time in the hour a zone skips, a zone of its own).
bool EndsAtItsStart(const EventTimes& times);

// The moment a date-time line kept with an item (a DTEND, a COMPLETED) stands for, in seconds
// since 1970 UTC, read as the item was: its TZID as `itemZone` when it names that zone, else as
// a zone of the system's; a floating time or a zone not known as local time. nullopt for a date,
// and for a line that cannot be read.
std::optional<int64_t> KeptLineInstant(std::string_view line, const ItemZone& itemZone);

// A moment as a UTC DATE-TIME value, "20240102T083000Z"; empty outside the years 100 to 9999.
std::string UtcValue(int64_t unixSeconds);

}  // namespace calendar::ical

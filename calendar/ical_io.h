#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/records.h"
#include "platform/result.h"
#include "platform/time/date_time.h"

// iCalendar import and export. The reading lives in ical_reader.cpp (with ical_event_times for
// the times of an item), the writing in ical_writer.cpp; both stand on ical_lines (content lines
// and components), ical_values (libical's reading of a value), ical_zones (VTIMEZONEs) and
// ical_extras (the lines the store keeps without modelling them, alarms among them).
namespace calendar {

// The media type of the handwriting an appointment carries in a calendar file: an ATTACH with
// ENCODING=BASE64, VALUE=BINARY and this FMTTYPE holds the bytes of the ink file its memo names.
// Only this attachment says that an item read from a file is a handwritten memo; its
// DESCRIPTION is the memo's typed text, or "手書きメモ" (kHandwrittenMemoText) when it has none.
inline constexpr std::string_view kInkMediaType = "application/x-tessarinth-ink";

// Handwriting that came with an item of a file: the bytes of its ink file (not checked here:
// the planner's side knows what an ink file holds), and the ATTACH line they were on.
struct CarriedInk {
    int line = 0;
    std::string bytes;

    friend bool operator==(const CarriedInk&, const CarriedInk&) = default;
};

// The handwriting of one imported appointment: its own memo's, and its changed occurrences' by
// their recurrenceId (platform::DateToLinear of OccurrenceChange::recurrenceId).
struct AppointmentInk {
    std::optional<CarriedInk> item;
    std::map<double, CarriedInk> changes;

    bool empty() const { return !item && changes.empty(); }
};

// How an import treats what it cannot read. TakeWhatCanBeTaken: each property that cannot be
// read costs itself (ImportedCalendar::dropped), each component that cannot be read is skipped
// with a line in ImportedCalendar::skipped, stray text too, and the rest is imported.
// AllOrNothing: the first such problem, or line mended to be read, refuses the whole file.
enum class ImportMode { TakeWhatCanBeTaken, AllOrNothing };

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
    // For each appointment, in the same order, the handwriting it carried (mostly none).
    std::vector<AppointmentInk> appointmentsInk;
    // What was not imported, one line each: "line 40: VJOURNAL not kept by the planner", "line 17:
    // DTSTART has no valid date; the VEVENT of line 12 is not imported", "line 90: SUMMARY after
    // END:VCALENDAR; lines 90 to 93 not read".
    std::vector<std::string> skipped;
    // What was left out of items that were imported, one line each: "line 8: RRULE has no
    // value; the VEVENT of line 4 is imported without it". Properties the planner only carries
    // are kept as they stand even when they cannot be read, and are not among these.
    std::vector<std::string> dropped;
    // Things imported in a way the user may want to know about, one line each, e.g.
    // "line 12: unknown time zone Mars/Base taken as local time".
    std::vector<std::string> notes;
    // The changed and cancelled occurrences kept with their series, one line each:
    // "line 30: 定例 (weekly@example.com): the occurrence of 2026-12-09 09:00 moved to
    // 2026-12-09 14:00".
    std::vector<std::string> changedOccurrences;
};

// Reads a whole iCalendar file: one or more VCALENDARs, or bare VEVENTs and VTODOs without one;
// CRLF or LF line ends, a byte-order mark or none. An error only when the text is no calendar at
// all, or, AllOrNothing, when anything in it cannot be read; the message begins with the line it
// concerns, "line 17: DTSTART has no valid date". A VEVENT without DTSTART is never imported.
platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText, ImportMode mode);
// TakeWhatCanBeTaken.
platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText);

class CalendarSource;

// Takes one batch of a streamed reading (StreamICalendar): its items, and the lines of the
// reading's report that came with them. An error stops the reading with that error.
using CalendarBatchTaker = std::function<platform::Result<void>(ImportedCalendar& batch)>;

// How many items a streamed reading hands on at a time.
inline constexpr size_t kStreamBatchItems = 1000;

// ParseICalendar for a file of any size, in bounded memory: the items are handed to `take` in
// batches of about `batchItems`, each batch as ParseICalendar would give it, the report lines
// (skipped, dropped, notes, changed occurrences) with the batch they came with. The source is
// read twice: first for what the second reading needs of the whole file (its zones, wherever
// they stand; which series have changed occurrences, which are held until the end of their
// calendar so that their changes join them), then for the items. An item whose UID an earlier
// batch had already is handed on again, for the store to keep the later version. AllOrNothing:
// the first problem ends the reading with an error, after batches may have been taken, which
// the taker then lets go. An error too when the source's text changed between the readings.
platform::Result<void> StreamICalendar(CalendarSource& source, ImportMode mode,
                                       const CalendarBatchTaker& take,
                                       size_t batchItems = kStreamBatchItems);

// The bytes of the ink file a handwritten memo names, for an export that carries handwriting;
// nullopt when its file holds no handwriting. Asked only for memos with the handwritten mark.
using InkSource = std::function<std::optional<std::string>(std::u16string_view body)>;

// One VCALENDAR holding the appointments as VEVENTs (a series followed by a VEVENT for each of
// its changed occurrences, with the series' UID and RECURRENCE-ID) and the tasks as VTODOs,
// with a VTIMEZONE for each zone the text refers to. Items without a uid get
// "tessarinth-<oid>@localhost" (tasks "tessarinth-task-<oid>@localhost"); DTSTAMP is kept from
// extraProperties or set to the clock's time now.
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks);
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock);
// A handwritten memo's DESCRIPTION is its readable memo (its typed text, else "手書きメモ"):
// other programs never see the name of an ink file.
// The same, each handwritten memo of an appointment (or changed occurrence) that `inkOf` finds
// handwriting for carrying it as an ATTACH of kInkMediaType after its DESCRIPTION.
std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock,
                           const InkSource& inkOf);

namespace ical {
class ZoneUse;
}

// WriteICalendar an item at a time, for a calendar too large to be held: Head, then the text of
// each item as it is written (Event, Todo), with the VTIMEZONEs of every zone the items written so
// far refer to (Zones) before them, and Tail. WriteICalendar's text is exactly that.
class CalendarWriter {
public:
    explicit CalendarWriter(const platform::Clock& clock, InkSource inkOf = InkSource());
    ~CalendarWriter();
    CalendarWriter(const CalendarWriter&) = delete;
    CalendarWriter& operator=(const CalendarWriter&) = delete;

    static std::string Head();
    std::string Event(const AppointmentRecord& record);
    std::string Todo(const TaskRecord& record);
    std::string Zones() const;
    static std::string Tail();

private:
    std::string dtstamp_;
    InkSource inkOf_;
    std::unique_ptr<ical::ZoneUse> zones_;
    size_t events_ = 0;
    size_t todos_ = 0;
};

}  // namespace calendar

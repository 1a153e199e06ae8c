#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/time/date_time.h"

namespace calendar {

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

// The zone a calendar gave an item's times in. The moment those times stand for is what the
// store keeps; the local times the program works with are worked out from it for the zone the
// planner runs in, so that an item keeps its moment when the planner is used elsewhere.
struct ItemZone {
    enum class Form : int32_t {
        // Not said: an item made here, which takes the zone in force when it is first stored.
        Unset,
        // The same clock time in every zone (a floating time, a date).
        Floating,
        // Wall-clock time of the zone `tzid`.
        Zoned,
    };
    Form form = Form::Unset;
    // Zoned: "UTC", a zone of the system's data, or the TZID a calendar wrote for a zone of
    // its own (a Windows zone name, say), kept as it was written.
    std::string tzid;
    // The calendar's own VTIMEZONE for `tzid`, as its BEGIN..END lines: the rules the times
    // follow when the system does not know the name, and what is written back with the item.
    std::string definition;

    bool zoned() const { return form == Form::Zoned; }
    friend bool operator==(const ItemZone&, const ItemZone&) = default;
};

// One occurrence of a series changed on its own (an iCalendar VEVENT with RECURRENCE-ID): it
// replaces the occurrence the rule gives at `recurrenceId` with its own times and texts, or
// removes it when cancelled. A this-and-future change (RANGE=THISANDFUTURE) also applies to every
// later occurrence: they move by as much as its start moved from `recurrenceId`, take its length
// and its texts, until a later change of either kind takes over.
struct OccurrenceChange {
    // The occurrence's original start as the rule gives it, wall-clock in the series' zone (as
    // exception dates are); a day at 00:00 for an all-day series.
    Date recurrenceId = 0;
    bool thisAndFuture = false;
    bool cancelled = false;  // STATUS:CANCELLED: the occurrence (and, this-and-future, the later
                             // ones) is not in the calendar
    // What the occurrence becomes, as an appointment holds it: local wall-clock time, an all-day
    // occurrence its first and last day at 00:00.
    Date start = 0;
    Date end = 0;
    // The same two as wall-clock time of the series' zone, which they are kept in.
    Date zoneStart = 0;
    Date zoneEnd = 0;
    bool allDay = false;
    bool reminderSet = false;
    std::u16string subject;
    std::u16string location;
    std::u16string body;
    // As AppointmentRecord::handwritten, for the occurrence's own memo.
    bool handwritten = false;
    std::u16string categories;
    // As AppointmentRecord::extraProperties.
    std::string extraProperties;

    friend bool operator==(const OccurrenceChange&, const OccurrenceChange&) = default;
};

// A recurring series as iCalendar describes it. The first occurrence is always the series'
// own start (DTSTART), whether or not the rule would produce it.
struct Recurrence {
    // The RRULE value without its name, e.g. "FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20270101T000000".
    // Empty: the appointment does not recur (RDATEs alone still add occurrences).
    // The rule is walked in the appointment's zone, from its zoneStart; occurrences are always
    // reported in local time.
    std::string rule;
    // Occurrence starts removed from (EXDATE) and added to (RDATE) the series, wall-clock in
    // the appointment's zone.
    std::vector<Date> exceptionDates;
    std::vector<Date> extraDates;
    // Occurrences changed or cancelled on their own, in ascending order of recurrenceId, at most
    // one for each. Deleting the series deletes them; saving it replaces them.
    std::vector<OccurrenceChange> changes;

    bool recurs() const { return !rule.empty() || !extraDates.empty(); }
    friend bool operator==(const Recurrence&, const Recurrence&) = default;
};

// One appointment as the store keeps it. Dates are local wall-clock time; an all-day
// appointment holds its first and its last day at 00:00.
struct AppointmentRecord {
    int32_t oid = 0;  // 0: not stored yet
    Date start = 0;
    Date end = 0;
    // The zone of its times, and start and end as wall-clock time there: what start and end are
    // worked out from. A change of start or end is carried into them when the item is stored.
    ItemZone zone;
    Date zoneStart = 0;
    Date zoneEnd = 0;
    bool allDay = false;
    bool reminderSet = false;
    std::u16string subject;
    std::u16string location;
    std::u16string body;
    // The memo is handwriting: the body's first line names its ink file in the data folder, any
    // lines after it are typed text kept beside it (see handwritten_memo.h). Set where ink is
    // drawn, pasted or comes with our own attachment; never worked out from the body's text.
    bool handwritten = false;
    std::u16string categories;  // several joined with ", "
    Recurrence recurrence;
    // STATUS:CANCELLED. A cancelled appointment (or series) is kept, found by its object id and
    // exported, but it is not an item of the calendar folder's collections: the day list and the
    // month grid do not show it.
    bool cancelled = false;
    // The item's identity across calendars (iCalendar UID): the one it was imported with, or one
    // the store made when it was first saved. Kept through every edit.
    std::string uid;
    // Properties the store does not model, as iCalendar content lines (CRLF separated, unfolded),
    // written back on export so that a round trip loses nothing. Sub-components such as VALARM
    // are kept here too, as their BEGIN..END lines.
    std::string extraProperties;
    // The calendar of the store the item belongs to; 0 when not said: a new item goes to the
    // default calendar, a stored one stays in its own.
    int64_t calendarId = 0;

    friend bool operator==(const AppointmentRecord&, const AppointmentRecord&) = default;
};

// One task as the store keeps it.
struct TaskRecord {
    int32_t oid = 0;
    Date dueDate = kNoDateValue;  // local wall-clock time
    // The zone a due time was given in, and the due time as wall-clock time there, as for an
    // appointment's start. A due date without a time is floating.
    ItemZone dueZone;
    Date zoneDue = kNoDateValue;
    Date dateCompleted = kNoDateValue;
    bool complete = false;
    std::u16string subject;
    std::u16string body;
    std::u16string categories;
    // As AppointmentRecord::uid.
    std::string uid;
    std::string extraProperties;
    // As AppointmentRecord::calendarId.
    int64_t calendarId = 0;

    friend bool operator==(const TaskRecord&, const TaskRecord&) = default;
};

// Where a page of tasks in due-date order ended: the next page begins after this task.
struct TaskPageKey {
    double due = 0;  // linear, as the store keeps it
    int64_t oid = 0;
};

// The two kinds of item a calendar server holds for the store.
enum class ItemKind : int32_t { Appointment = 1, Task = 2 };

// What the calendar server last held of one item (by its UID), and whether the item changed or
// was deleted here since: what a sync must upload, and what it must not overwrite unseen.
struct SyncEntry {
    ItemKind kind = ItemKind::Appointment;
    std::string uid;
    std::string href;  // the item's path on the server; empty: not on the server yet
    std::string etag;  // the server's version of it when last synced
    // How many times the item was saved or deleted here since it was last in step with the
    // server; 0: in step.
    int64_t revision = 0;
    int64_t changedAt = 0;  // when it last changed here, seconds since 1970 UTC
    bool deleted = false;   // deleted here, the server not told yet
    int32_t oid = 0;        // the stored item (the lowest with the UID); 0 once deleted
    // When the server's copy said it last changed (its LAST-MODIFIED, else DTSTAMP, in seconds
    // since 1970 UTC) when the two were last in step; 0 when not known. A copy that still says
    // so after another program changed it does not tell when that was.
    int64_t serverStamp = 0;
    // The store's calendar the item belongs to, or belonged to when it was deleted here.
    int64_t calendarId = 1;

    friend bool operator==(const SyncEntry&, const SyncEntry&) = default;
};

// The properties an incoming item gives when it is stored by its UID (Application::SaveByUid):
// an item that updates a stored one takes these from the incoming record and keeps the stored
// values of the others, so that a calendar file without DESCRIPTION does not wipe out a memo (or
// the handwriting it names: the handwritten mark goes with the body). Times, all-day, recurrence
// and changed occurrences, cancellation and a task's due date and completion always come from the
// incoming record.
enum class ItemField : uint32_t {
    Subject = 1u << 0,
    Location = 1u << 1,  // appointments only
    Body = 1u << 2,
    Categories = 1u << 3,
    Reminder = 1u << 4,  // appointments: the reminder flag and the alarms kept with the item
};

class ItemFields {
public:
    constexpr ItemFields() = default;
    static constexpr ItemFields All() { return ItemFields(kAllBits); }
    static constexpr ItemFields None() { return ItemFields(0); }

    constexpr bool Has(ItemField field) const {
        return (bits_ & static_cast<uint32_t>(field)) != 0;
    }
    constexpr ItemFields& Add(ItemField field) {
        bits_ |= static_cast<uint32_t>(field);
        return *this;
    }
    friend constexpr bool operator==(ItemFields, ItemFields) = default;

private:
    static constexpr uint32_t kAllBits = 0x1F;
    constexpr explicit ItemFields(uint32_t bits) : bits_(bits) {}
    uint32_t bits_ = kAllBits;
};

// Where an item stored by its UID comes from. A calendar file's item updates the stored one only
// when it is not an earlier version of it, and an occurrence of a series that came alone and the
// series join up. The item's owner (a server, the holidays the planner works out) says what the
// item is: its version replaces the stored one.
enum class UidSource { CalendarFile, Owner };

}  // namespace calendar

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calendar/records.h"
#include "store/appointment_hit.h"
#include "store/store_statement.h"

// How the store's rows hold records: the columns its statements read, in order, and the readers
// of a row. Shared by the store's writes and its queries.
namespace store {

// Keys of store_info: the longest span of a single item and of a series, and how far a series
// may move an occurrence after its rule's start, which bound the rows a time window must read.
inline constexpr const char* kLongestSpan = "longest_span";
inline constexpr const char* kLongestSeriesSpan = "longest_series_span";
inline constexpr const char* kLongestSeriesAdvance = "longest_series_advance";
// Key of store_info: the calendar a new item goes to when none is said.
inline constexpr const char* kDefaultCalendar = "default_calendar";

// A zone definition an item's times refer to is kept once, in zone_definitions: a read takes
// its text, a write its id. Id 0 is none (the table's ids start at 1): most items refer to no
// definition, and their rows are read without looking it up.
inline constexpr const char* kAppointmentColumns =
    "oid, start, end, all_day, reminder, subject, location, body, categories, uid, extra, rule, "
    "tzid, zone_start, exdates, rdates, cancelled, changes, expansion_rule, zone_end, "
    "CASE zone_definition WHEN 0 THEN NULL ELSE (SELECT text FROM zone_definitions WHERE id = "
    "zone_definition) END, handwritten, calendar";
// The same columns, in the same places, for AppointmentParts::TimesAndMarks: the subject,
// location, memo, UID and kept properties read as empty texts.
inline constexpr const char* kAppointmentMarkColumns =
    "oid, start, end, all_day, reminder, '', '', '', categories, '', '', rule, "
    "tzid, zone_start, exdates, rdates, cancelled, changes, expansion_rule, zone_end, "
    "CASE zone_definition WHEN 0 THEN NULL ELSE (SELECT text FROM zone_definitions WHERE id = "
    "zone_definition) END, handwritten, calendar";
// A single appointment read for its marks alone: a single item has no rule, dates or changes, and
// neither the marks of a day nor the places of the rows look at its zone or its texts but the
// categories. Fewer columns make each row of a month's census cheaper to step and to read.
inline constexpr const char* kSingleMarkColumns =
    "oid, start, end, all_day, reminder, categories, cancelled, handwritten, calendar";
inline constexpr const char* kAppointmentWriteColumns =
    "oid, start, end, all_day, reminder, subject, location, body, categories, uid, extra, rule, "
    "tzid, zone_start, exdates, rdates, cancelled, changes, expansion_rule, zone_end, "
    "zone_definition, handwritten, calendar";
// How many columns kAppointmentColumns reads: what a query adds after them starts here.
inline constexpr int kAppointmentColumnCount = 23;
// Where expansion_rule lies in a row read with kAppointmentColumns.
inline constexpr int kExpansionRuleColumn = 18;
inline constexpr int kChangesColumn = 17;

inline constexpr const char* kChangeColumns =
    "recurrence_id, this_and_future, cancelled, start, end, all_day, reminder, subject, location, "
    "body, categories, extra, zone_start, zone_end, handwritten";

inline constexpr const char* kTaskColumns =
    "oid, due, completed, complete, subject, body, categories, uid, extra, due_tzid, zone_due, "
    "CASE due_definition WHEN 0 THEN NULL ELSE (SELECT text FROM zone_definitions WHERE id = "
    "due_definition) END, calendar";
inline constexpr const char* kTaskWriteColumns =
    "oid, due, completed, complete, subject, body, categories, uid, extra, due_tzid, zone_due, "
    "due_definition, calendar";

// The condition that leaves out the items of hidden calendars, to follow a WHERE clause's others
// (StoreDatabase::ShownCalendars gives it when a calendar is hidden).
inline constexpr const char* kShownCalendars =
    " AND calendar NOT IN (SELECT id FROM calendars WHERE hidden = 1)";

// Exception and extra dates as the store keeps them: linear dates separated by spaces.
std::string JoinDates(const std::vector<Date>& dates);
std::vector<Date> SplitDates(const std::string& text);

// The zone a row's tzid column and definition give: empty is floating for a timed item, and
// not said for an all-day one or a task without due date.
calendar::ItemZone ZoneOfRow(std::string tzid, std::string definition, bool timed);

// A row read with kAppointmentColumns (its changes are read apart), kChangeColumns and
// kTaskColumns.
// A row read with kAppointmentMarkColumns is read as TimesAndMarks: the texts it holds empty
// are not read at all.
calendar::AppointmentRecord ReadAppointment(const Statement& row,
                                            AppointmentParts parts = AppointmentParts::Whole);
// The same into a record made where it is kept, which spares moving a record of many texts.
void ReadAppointmentInto(const Statement& row, AppointmentParts parts,
                         calendar::AppointmentRecord& record);
// A row read with kSingleMarkColumns, into a new record.
void ReadSingleMarks(const Statement& row, calendar::AppointmentRecord& record);
calendar::OccurrenceChange ReadChange(const Statement& row);
calendar::TaskRecord ReadTask(const Statement& row);

// A record as it reads back from the store (its times as the store rounds them, its zone's times
// carried over, its changes in order), so that a write can tell whether it changes anything.
void Normalize(calendar::AppointmentRecord& record);
void Normalize(calendar::TaskRecord& record);

// Whether an edit leaves what other programs count as a new version alone: the times, the
// recurrence and the status.
bool SameTimesAndState(const calendar::AppointmentRecord& a, const calendar::AppointmentRecord& b);

// Stamps the changed occurrences of `written` (normalized) that were made or changed here at
// `unixSeconds`, those `stored` (the series as the store holds it, nullptr for a new one) does
// not hold as they are, as StampedAsChangedOccurrence says: a new version for other calendar
// programs when its times or its state are not what they were (for one changed for the first
// time: not what the series gives the occurrence).
void StampChangedOccurrences(const calendar::AppointmentRecord* stored,
                             calendar::AppointmentRecord& written, int64_t unixSeconds);

}  // namespace store

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "editors/repeat_rule.h"
#include "platform/time/date_time.h"
#include "schedule/day_items.h"
#include "schedule/ink_entry.h"

namespace editors {

// Characters a text given to the record keeps (its buffer less the terminating zero): what a
// paste or the command line brings is cut to these. A stored text is taken whole, so that opening
// and saving an item never shortens it.
inline constexpr size_t kMaxSubjectChars = 255;
inline constexpr size_t kMaxLocationChars = 255;
inline constexpr size_t kMaxBodyChars = 12999;
// What typing may bring the editors' boxes to: subject and location, and the task editor's notes
// field.
inline constexpr size_t kMaxEditedSubjectChars = 254;
inline constexpr size_t kMaxTaskNotesChars = 1999;

// The item being created, opened, pasted or deleted. One instance for the whole run: the main
// window fills it before it opens an editor or calls a store write, the editors change it, and
// the writes read it (and rewrite Body). Plain data.
struct EditRecord {
    int32_t ItemOid = 0;       // the store's object id; 0: a new item, so writes create
    platform::Date Start = 0;  // appointment start; task due date, 0.0 for none
    platform::Date End = 0;    // appointment end
    std::u16string Subject;    // as stored, or as typed (at most kMaxEditedSubjectChars)
    std::u16string Location;   // the same; appointments only
    // The body as stored, at most kMaxBodyChars: a text memo, or for handwriting the ink file's
    // name on the first line (any typed text kept beside it follows); a task's notes.
    std::u16string Body;
    // 1: the store marked the memo handwritten when it was opened, so Body's first line names
    // its ink file; otherwise Body is text, whatever it reads.
    int32_t Handwritten = 0;
    int32_t AllDay = 0;          // 0 or 1
    int32_t Reminder = 0;        // 0 or 1
    int32_t Holiday = 0;         // 1: the appointment carries the holiday category
    int32_t HolidayAtOpen = 0;   // Holiday when the editor opened
    int32_t Complete = 0;        // a task's completion, 0 or 1
    int32_t InkCountAtOpen = 0;  // ink records the item had when opened, 0..kMaxInkEntries
    std::array<schedule::InkEntry, schedule::kMaxInkEntries> InkEntries{};
    // 1: the appointment repeats (the editor shows the recurrence icon).
    int32_t Recurring = 0;
    // An occurrence of a series opened from the day list: its identity in the series
    // (store::Appointment::RecurrenceId), whether a change of the series made it what it is (its
    // texts and memo are then the change's), and its start when opened, by which a save for the
    // whole series moves the series. ItemOid is the series'.
    std::optional<platform::Date> Occurrence;
    int32_t OccurrenceChanged = 0;
    platform::Date StartAtOpen = 0;
    // The series' own start (its first occurrence's), which a rule repeats from.
    platform::Date SeriesStart = 0;
    // The series' rule when opened, and how the user set it to repeat in the repeat dialog (none
    // while it is left as it was).
    std::string RuleAtOpen;
    std::optional<editors::Repeat> RepeatChosen;
    // The calendar of the store a new item goes to (0: the default one), or the one an opened
    // item is in; changed in the editor, the save moves the item there.
    int64_t CalendarId = 0;
    // The calendar the item was in when opened: a save moves it only when CalendarId differs,
    // so that a move made meanwhile by a sync is not taken back unseen.
    int64_t CalendarIdAtOpen = 0;
};

// The text cut to at most `maxChars` UTF-16 units, never keeping half a surrogate pair.
std::u16string_view LimitedText(std::u16string_view text, size_t maxChars);

// The fills below set every field, so that no write ever reads a value left over from an
// earlier item.

// A new appointment on `day` (its time of day is kept as given).
void FillForNewAppointment(EditRecord& record, platform::Date day);

// An existing appointment from its day-list row: the whole stored body, not just its first line,
// and the stored start of an appointment begun before the listed days, so that opening and
// saving never shortens the memo or the appointment.
void FillFromAppointmentRow(EditRecord& record, const schedule::DayItemRow& row);

// A new task due on `due`, or without due date when `due` is 0.0.
void FillForNewTask(EditRecord& record, platform::Date due);

// An existing dated task from its day-list row, notes whole.
void FillFromTaskRow(EditRecord& record, const schedule::DayItemRow& row);

// A task of the corner panel's list: no due date; its notes are not listed, so Body is empty
// and only the subject-and-completion writes may be used with it.
void FillFromUndatedTask(EditRecord& record, const schedule::UndatedTask& task);

}  // namespace editors

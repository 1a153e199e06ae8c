#include "editors/edit_record.h"

#include <algorithm>

#include "platform/text/unicode_text.h"

namespace editors {
namespace {

// Every field back to its start value, including any added later: no fill can leave one behind.
void Clear(EditRecord& record) {
    record = EditRecord{};
}

int32_t AsFlag(int32_t value) {
    return value != 0 ? 1 : 0;
}

}  // namespace

std::u16string_view LimitedText(std::u16string_view text, size_t maxChars) {
    size_t length = std::min(text.size(), maxChars);
    if (length < text.size() && length > 0 && platform::IsHighSurrogate(text[length - 1])) {
        --length;
    }
    return text.substr(0, length);
}

void FillForNewAppointment(EditRecord& record, platform::Date day) {
    Clear(record);
    record.Start = day;
    record.End = day;
}

void FillFromAppointmentRow(EditRecord& record, const schedule::DayItemRow& row) {
    Clear(record);
    record.ItemOid = row.objectId;
    // A single appointment that began before the first listed day is listed from that day's
    // midnight; saving that start would cut off its beginning. An occurrence of a series keeps
    // its own start: the series holds the first occurrence's.
    record.Start = row.recurring == 0 && row.storedStart != 0 ? row.storedStart : row.start;
    record.Recurring = AsFlag(row.recurring);
    if (row.recurring != 0 && row.occurrence) {
        record.Occurrence = row.occurrence;
        record.OccurrenceChanged = row.changedOccurrence ? 1 : 0;
        record.SeriesStart = row.storedStart;
    }
    record.StartAtOpen = record.Start;
    record.RuleAtOpen = row.rule;
    record.End = row.end;
    record.Subject = row.subject;
    record.Location = row.location;
    record.Body = LimitedText(row.body, kMaxBodyChars);
    record.Handwritten = AsFlag(row.handwritten);
    record.AllDay = AsFlag(row.allDay);
    record.Reminder = AsFlag(row.reminder);
    record.Holiday = AsFlag(row.holiday);
    record.HolidayAtOpen = record.Holiday;
    record.CalendarId = row.calendarId;
    record.CalendarIdAtOpen = row.calendarId;
    const int32_t inkCount =
        std::clamp<int32_t>(row.inkCount, 0, static_cast<int32_t>(schedule::kMaxInkEntries));
    record.InkCountAtOpen = inkCount;
    std::copy_n(row.ink.begin(), inkCount, record.InkEntries.begin());
}

void FillForNewTask(EditRecord& record, platform::Date due) {
    Clear(record);
    record.Start = due;
}

void FillFromTaskRow(EditRecord& record, const schedule::DayItemRow& row) {
    Clear(record);
    record.ItemOid = row.objectId;
    record.Start = row.start;
    record.End = row.end;
    record.Subject = row.subject;
    record.Body = LimitedText(row.body, kMaxBodyChars);
    record.Complete = AsFlag(row.complete);
    record.CalendarId = row.calendarId;
    record.CalendarIdAtOpen = row.calendarId;
}

void FillFromUndatedTask(EditRecord& record, const schedule::UndatedTask& task) {
    Clear(record);
    record.ItemOid = task.objectId;
    record.Subject = task.subject;
    record.Complete = AsFlag(task.complete);
    record.CalendarId = task.calendarId;
    record.CalendarIdAtOpen = task.calendarId;
}

}  // namespace editors

// The planner's item clipboard and the commands of the context menu: copy, cut, paste as a task
// or an appointment, the completion toggle and a new task, each on what the menu was opened
// over.
#include "app/item_clipboard.h"

#include <cmath>

#include "app/main_window.h"
#include "calendar/handwritten_memo.h"
#include "editors/appointment_writes.h"
#include "editors/task_writes.h"
#include "editors/undo_steps.h"
#include "editors/write_result.h"
#include "schedule/month_census.h"

namespace app {
namespace {

using schedule::DayItemKind;

// A DATE's time of day as calendar fields, on the day of `day`; `day` when either lies outside
// the calendar.
platform::Date OnDayAtTimeOf(platform::Date day, platform::Date time) {
    std::optional<platform::CalendarFields> fields = platform::DateToFields(day);
    const std::optional<platform::CalendarFields> clock = platform::DateToFields(time);
    if (!fields || !clock) {
        return day;
    }
    fields->Hour = clock->Hour;
    fields->Minute = clock->Minute;
    fields->Second = clock->Second;
    return platform::FieldsToDate(*fields).value_or(day);
}

// The calendar's last minute, 9999-12-31 23:59: its last day has no midnight after it.
platform::Date LastMinute() {
    return *platform::MakeDate(platform::kMaxYear, 12, 31, 23, 59);
}

// An end that would lie past the calendar's last day, ended at its last minute instead.
platform::Date WithinCalendar(platform::Date end) {
    return platform::DateToFields(end) ? end : LastMinute();
}

// `day` at `hour`:00, where hour 24 is midnight of the next day (the last minute, on the
// calendar's last day).
platform::Date OnDayAtHour(platform::Date day, int hour) {
    std::optional<platform::CalendarFields> fields = platform::DateToFields(day);
    if (!fields) {
        return day;
    }
    fields->Hour = static_cast<uint16_t>(hour);
    fields->Minute = 0;
    fields->Second = 0;
    return platform::FieldsToDate(*fields).value_or(hour >= 24 ? LastMinute() : day);
}

}  // namespace

bool CopyToClipboard(const schedule::DayItemRow& row, ItemClipboard& clipboard) {
    if (row.objectId == 0) {
        return false;
    }
    if (row.kind == DayItemKind::Appointment) {
        clipboard.kind = ClipboardKind::Appointment;
        // Listed from the selected day's midnight when it began earlier: the stored start keeps
        // its time of day and whole length for the paste. An occurrence of a series is copied
        // as the single appointment it is on its day.
        clipboard.start = row.recurring == 0 && row.storedStart != 0 ? row.storedStart : row.start;
        clipboard.end = row.end;
        clipboard.subject = row.subject;
        clipboard.location = row.location;
        clipboard.objectId = row.objectId;
        clipboard.allDay = row.allDay;
        clipboard.reminder = row.reminder;
        clipboard.inkCount = row.inkCount;
        clipboard.holiday = row.holiday;
        // A handwritten memo's ink goes with `ink`; its body keeps only the typed text, never
        // the name of an ink file that a paste would take for text.
        clipboard.body = calendar::TypedTextOf(row.body, row.handwritten != 0);
        clipboard.ink = row.ink;
        return true;
    }
    if (row.kind == DayItemKind::DatedTask) {
        clipboard.kind = ClipboardKind::DatedTask;
        clipboard.start = row.start;
        clipboard.subject = row.subject;
        clipboard.body = row.body;
        clipboard.objectId = row.objectId;
        clipboard.complete = row.complete;
        return true;
    }
    return false;
}

bool CopyToClipboard(const schedule::UndatedTask& entry, ItemClipboard& clipboard) {
    if (entry.objectId == 0) {
        return false;
    }
    clipboard.kind = ClipboardKind::UndatedTask;
    clipboard.start = 0;
    clipboard.end = 0;
    clipboard.subject = entry.subject;
    clipboard.objectId = entry.objectId;
    clipboard.complete = entry.complete;
    // The notes go along: a task cut from the corner and pasted elsewhere keeps them.
    clipboard.body = entry.notes;
    return true;
}

void FillPastedAppointment(const ItemClipboard& clipboard, platform::Date day, int hour,
                           editors::EditRecord& record) {
    editors::FillForNewAppointment(record, day);
    record.Subject = editors::LimitedText(clipboard.subject, editors::kMaxSubjectChars);
    record.Body = editors::LimitedText(clipboard.body, editors::kMaxBodyChars);
    if (clipboard.kind != ClipboardKind::Appointment) {
        // A task becomes an hour from the hour it is pasted in, its notes a text memo.
        record.Start = OnDayAtHour(day, hour);
        record.End = OnDayAtHour(day, hour + 1);
        return;
    }
    // The copied time of day on the new day, and the copied length, on the calendar's own
    // axis so that days before 1900 keep them too.
    record.Start = OnDayAtTimeOf(day, clipboard.start);
    const double length =
        platform::DateToLinear(clipboard.end) - platform::DateToLinear(clipboard.start);
    record.End =
        WithinCalendar(platform::LinearToDate(platform::DateToLinear(record.Start) + length));
    record.Location = editors::LimitedText(clipboard.location, editors::kMaxLocationChars);
    record.AllDay = clipboard.allDay != 0 ? 1 : 0;
    record.Reminder = clipboard.reminder != 0 ? 1 : 0;
    record.Holiday = clipboard.holiday != 0 ? 1 : 0;
    record.InkCountAtOpen = clipboard.inkCount;
    record.InkEntries = clipboard.ink;
}

const schedule::UndatedTask* MainWindow::ContextEntry() const {
    if (contextInCornerPanel_ == 0 || heldObjectId_ == 0) {
        return nullptr;
    }
    for (const schedule::UndatedTask& entry : planner_.dayItems->undatedTasks) {
        if (entry.objectId == 0) {
            break;
        }
        if (entry.objectId == heldObjectId_) {
            return &entry;
        }
    }
    return nullptr;
}

const schedule::DayItemRow* MainWindow::ContextItemRow() const {
    if (contextInCornerPanel_ != 0 || heldObjectId_ == 0) {
        return nullptr;
    }
    const auto holds = [this](const schedule::DayItemRow& row) {
        return row.kind == heldKind_ && row.objectId == heldObjectId_;
    };
    const schedule::DayItemTable& table = planner_.dayItems->table;
    // The row held, while it still holds the item; else any row that does (an appointment over
    // several days has one a day, each carrying the whole item).
    if (contextRow_ >= 0 && contextRow_ < static_cast<int>(table.size()) &&
        holds(table[static_cast<size_t>(contextRow_)])) {
        return &table[static_cast<size_t>(contextRow_)];
    }
    for (const schedule::DayItemRow& row : table) {
        if (holds(row)) {
            return &row;
        }
    }
    return nullptr;
}

bool MainWindow::RefusedAsReadOnly(int64_t calendarId) {
    const schedule::ItemCalendars& calendars = planner_.dayItems->calendars;
    if (!calendars.IsReadOnly(calendarId)) {
        return false;
    }
    const schedule::ItemCalendar* calendar = calendars.Find(calendarId);
    Screen().ShowMessageBox(editors::ReadOnlyCalendarMessage(calendar ? calendar->name : u""), u"",
                            gui::MessageBoxButtons::Ok);
    return true;
}

void MainWindow::ReloadAfterClipboardWrite(bool written) {
    ReloadAfterWrite(written);
    Repaint();
}

void MainWindow::CopyItem() {
    if (const schedule::UndatedTask* entry = ContextEntry()) {
        CopyToClipboard(*entry, clipboard_);
    } else if (const schedule::DayItemRow* row = ContextItemRow()) {
        CopyToClipboard(*row, clipboard_);
    }
}

void MainWindow::CutItem() {
    editors::EditRecord& record = *planner_.editRecord;
    editors::WriteResult cut;
    if (const schedule::UndatedTask* entry = ContextEntry()) {
        if (RefusedAsReadOnly(entry->calendarId) || !CopyToClipboard(*entry, clipboard_)) {
            return;
        }
        editors::FillFromUndatedTask(record, *entry);
        cut = editors::RecordedWrite(WriteContext(), editors::ChangeKind::Cut,
                                     calendar::ItemKind::Task, record.ItemOid,
                                     [&] { return editors::DeleteTask(WriteContext(), record); });
    } else if (const schedule::DayItemRow* row = ContextItemRow()) {
        if (RefusedAsReadOnly(row->calendarId)) {
            return;
        }
        // An occurrence of a series goes alone (cancelled in its series) or with the series;
        // asked first, so that a cut taken back leaves the clipboard as it was.
        bool onlyThis = false;
        if (row->kind == DayItemKind::Appointment && row->occurrence) {
            const gui::MessageBoxAnswer answer =
                Screen().ShowMessageBox(editors::kCutOnlyThisQuestion, editors::kSeriesCaption,
                                        gui::MessageBoxButtons::YesNoCancel);
            if (answer != gui::MessageBoxAnswer::Yes && answer != gui::MessageBoxAnswer::No) {
                return;
            }
            onlyThis = answer == gui::MessageBoxAnswer::Yes;
        }
        if (!CopyToClipboard(*row, clipboard_)) {
            return;
        }
        if (row->kind == DayItemKind::Appointment) {
            // The delete takes the ink file the stored body names along with the item.
            editors::FillFromAppointmentRow(record, *row);
            cut = editors::RecordedWrite(
                WriteContext(), editors::ChangeKind::Cut, calendar::ItemKind::Appointment,
                record.ItemOid, [&] {
                    return onlyThis ? editors::CancelOccurrence(WriteContext(), record)
                                    : editors::DeleteAppointment(WriteContext(), record);
                });
        } else {
            editors::FillFromTaskRow(record, *row);
            cut = editors::RecordedWrite(
                WriteContext(), editors::ChangeKind::Cut, calendar::ItemKind::Task, record.ItemOid,
                [&] { return editors::DeleteTask(WriteContext(), record); });
        }
    } else {
        return;
    }
    ReloadAfterClipboardWrite(cut.ok());
}

void MainWindow::PasteAsTask() {
    if (clipboard_.objectId == 0 || !HoldKnown()) {
        return;
    }
    editors::EditRecord& record = *planner_.editRecord;
    // Due on the held row's day, or without due date in the corner.
    editors::FillForNewTask(record, HeldOverDayList() ? heldRowDate_ : 0.0);
    record.Subject = editors::LimitedText(clipboard_.subject, editors::kMaxSubjectChars);
    // The copied notes, or a handwritten memo's typed text.
    record.Body = editors::LimitedText(clipboard_.body, editors::kMaxBodyChars);
    // The task editor's save, so that the notes are kept in the corner too.
    const editors::WriteResult pasted = editors::RecordedWrite(
        WriteContext(), editors::ChangeKind::Pasted, calendar::ItemKind::Task, 0,
        [&] { return editors::SaveEditedTask(WriteContext(), record); });
    ReloadAfterClipboardWrite(pasted.ok());
}

void MainWindow::PasteAsAppointment() {
    if (clipboard_.objectId == 0 || !HeldOverDayList() || !HoldKnown()) {
        return;
    }
    editors::EditRecord& record = *planner_.editRecord;
    controls::PadData& pad = *planner_.pad;
    FillPastedAppointment(clipboard_, heldRowDate_, planner_.clock.LocalTimeNow().Hour, record);
    const bool withInk = clipboard_.kind == ClipboardKind::Appointment && clipboard_.inkCount > 0;
    pad.InkBuffer = record.InkEntries;
    pad.InkCount = withInk ? clipboard_.inkCount : 0;
    // Ink gets a new file of its own: the body is left for the write to name it.
    std::u16string text = withInk ? std::u16string() : record.Body;
    if (withInk) {
        record.Body.clear();
    }
    const editors::WriteResult pasted = editors::RecordedWrite(
        WriteContext(), editors::ChangeKind::Pasted, calendar::ItemKind::Appointment, 0,
        [&] { return editors::CreateAppointment(WriteContext(), record, pad, text); });
    if (pasted.status == editors::WriteStatus::NoRoomForInk) {
        Screen().ShowMessageBox(editors::kNoMoreRoomMessage, u"", gui::MessageBoxButtons::Ok);
    } else if (pasted.status == editors::WriteStatus::InkFileFailed) {
        Screen().ShowMessageBox(editors::kNotSavedMessage, u"", gui::MessageBoxButtons::Ok);
    }
    ReloadAfterClipboardWrite(pasted.ok());
}

void MainWindow::ToggleComplete() {
    editors::EditRecord& record = *planner_.editRecord;
    if (const schedule::UndatedTask* entry = ContextEntry()) {
        editors::FillFromUndatedTask(record, *entry);
    } else if (const schedule::DayItemRow* row = ContextItemRow();
               row != nullptr && row->kind == DayItemKind::DatedTask && row->objectId != 0) {
        editors::FillFromTaskRow(record, *row);
    } else {
        return;
    }
    if (RefusedAsReadOnly(record.CalendarId)) {
        return;
    }
    record.Complete = record.Complete != 0 ? 0 : 1;
    const editors::WriteResult checked = editors::RecordedWrite(
        WriteContext(), editors::ChangeKind::Checked, calendar::ItemKind::Task, record.ItemOid,
        [&] { return editors::SetTaskCompletion(WriteContext(), record); });
    ReloadAfterClipboardWrite(checked.ok());
}

void MainWindow::NewTaskFromContextMenu() {
    if (!HoldKnown()) {
        return;
    }
    editors::FillForNewTask(*planner_.editRecord, HeldOverDayList() ? heldRowDate_ : 0.0);
    OpenEditor(EditorKind::Task);
}

}  // namespace app

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files/data_home.h"
#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/ink_entry.h"
#include "schedule/item_calendars.h"
#include "schedule/month_census.h"
#include "schedule/store_session.h"
#include "settings/settings.h"

namespace schedule {

using platform::Date;

// The twelve days from the selected date, and the rows that list their items.
inline constexpr size_t kWindowDays = 12;
inline constexpr size_t kDayItemRows = 12;
// Items one window day can take while rows are being placed; more are dropped.
inline constexpr size_t kSlotsPerDay = 12;
// How far past the selected date the appointment and dated-task queries reach.
inline constexpr int kQueryReachDays = 13;
inline constexpr size_t kUndatedTaskCapacity = 100;

// Room for a row's texts: subjects and locations take 256 units and memo lines 13000, each with
// its terminating zero. A memo line is cut to its room; subjects and locations are kept whole
// (the list clips what it draws), so that opening and saving an item never shortens them.
inline constexpr size_t kMaxSubjectUnits = 255;
inline constexpr size_t kMaxLocationUnits = 255;
inline constexpr size_t kMaxMemoUnits = 12999;
// Room reserved for a row's whole body, so that an ordinary memo reuses it load after load.
inline constexpr size_t kBodyReserveUnits = 13000;

enum class DayItemKind : int32_t {
    EmptyDay = 0,  // a window day without items; only the row date means anything
    Appointment = 1,
    DatedTask = 2,
};

// DayWindow[k] is the selected date plus k days.
using DayWindow = std::array<Date, kWindowDays>;

using InkRecords = std::array<schedule::InkEntry, schedule::kMaxInkEntries>;

// One row of the day list. Fields that do not belong to the row's kind are 0 or empty.
struct DayItemRow {
    DayItemRow();

    Date rowDate = 0;  // the window day the row belongs to
    DayItemKind kind = DayItemKind::EmptyDay;
    int32_t objectId = 0;
    // An appointment's start (the selected date at 00:00 when it began on an earlier day) and
    // end as stored, or an occurrence's; a dated task's due date in both.
    Date start = 0;
    Date end = 0;
    // An appointment's start as the store holds it (for a series, its first occurrence's):
    // opening the item must not take the moved start above for its own.
    Date storedStart = 0;
    int32_t allDay = 0;
    std::u16string subject;   // whole, as stored
    std::u16string location;  // whole, as stored
    // A text memo's text or a task's notes, cut to kMaxMemoUnits; for a handwritten memo, the
    // name of its ink file.
    std::u16string memoText;
    // The whole stored body, never cut, for the editors and the clipboard: opening and saving an
    // item must not shorten its memo.
    std::u16string body;
    InkRecords ink;
    int32_t inkCount = 0;  // records of `ink` in use, 0 when there is no ink file
    // 1: the store marks the memo handwritten (calendar::AppointmentRecord::handwritten); only then
    // is an ink file read for it, and `body` holds its name before any typed text.
    int32_t handwritten = 0;
    int32_t holiday = 0;  // the categories text is the holiday category, whole
    int32_t reminder = 0;
    int32_t recurring = 0;
    int32_t complete = 0;  // a task's flag as the store reports it: -1 complete, 0 not
    // For an occurrence a change of its series made what it is (moved, or other texts): its
    // identity in the series (store::Appointment::RecurrenceId). Its texts and flags above are the
    // change's; its object id is the series'.
    std::optional<Date> changedOccurrence;
    // For any occurrence of a series: its identity in the series
    // (store::Appointment::RecurrenceId), changed or not; `start` and `end` above are its own.
    std::optional<Date> occurrence;
    // A series' rule (calendar::Recurrence::rule), for the editor's repeat dialog.
    std::string rule;
    // The store's calendar the item belongs to (a series' own for its occurrences).
    int64_t calendarId = 0;
};

using DayItemTable = std::array<DayItemRow, kDayItemRows>;

// A task without a due date that is open or was completed on the selected date.
struct UndatedTask {
    UndatedTask();

    int32_t objectId = 0;  // 0 ends the list
    std::u16string subject;
    // Its notes: not drawn in the corner, but a copy or cut carries them to what is pasted.
    std::u16string notes;
    Date dateCompleted = 0;
    int32_t complete = 0;    // 0 or 1
    int64_t calendarId = 0;  // the store's calendar the task belongs to
};

using UndatedTaskList = std::array<UndatedTask, kUndatedTaskCapacity>;

// The corner panel's page of undated tasks, four to a page.
using CornerPage = int32_t;

// Everything LoadDayItems builds. Large (the ink of twelve rows): allocate it once, on the heap,
// and keep it for the whole run; a load reuses every buffer.
struct DayItems {
    DayWindow window{};
    DayItemTable table;
    UndatedTaskList undatedTasks;
    CornerPage cornerPage = 0;
    // The store's calendars when the rows were read: their colours and which may be written.
    ItemCalendars calendars;
};

// Rebuilds `items` from the store for the twelve days from `selectedDate` (a day without time):
// the appointments and, when bTask is on, the dated tasks of each day as rows with their details
// and ink, then the undated tasks, and the store's calendars. Reads bTask, HoliDay and DataPath
// from `settings`; ink files are found through `home`. When a collection cannot be had from the
// store the session is released and the error returned; the rows keep what they had received by
// then. Given the census of the selected date's month, read from the store as it still is, the
// appointments that start in that month are placed from what the census read.
platform::Result<void> LoadDayItems(Date selectedDate, const settings::Settings& settings,
                                    const platform::DataHome& home, StoreSession& store,
                                    DayItems& items, const MonthCensusState* month = nullptr);

}  // namespace schedule

#include "schedule/day_items.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "calendar/handwritten_memo.h"
#include "schedule/ink_file.h"
#include "schedule/month_census.h"
#include "schedule/store_values.h"
#include "store/recurrence_expander.h"
#include "store/restriction.h"
#include "store/schedule_store.h"

namespace schedule {
namespace {

using platform::Error;
using platform::Result;

// Where an item goes while the rows are being placed; nothing outside a load sees these.
struct Slot {
    DayItemKind kind = DayItemKind::EmptyDay;
    int32_t objectId = 0;
    Date start = 0;
    Date end = 0;
    // An occurrence changed on its own is an item of its own beside its series.
    std::optional<Date> changedOccurrence;
    // Any occurrence's identity in its series, for opening it.
    std::optional<Date> occurrence;
};

using DaySlots = std::array<Slot, kSlotsPerDay>;
using WindowSlots = std::array<DaySlots, kWindowDays>;

void ResetRow(DayItemRow& row) {
    row.rowDate = 0;
    row.kind = DayItemKind::EmptyDay;
    row.objectId = 0;
    row.start = 0;
    row.storedStart = 0;
    row.end = 0;
    row.allDay = 0;
    row.subject.clear();
    row.location.clear();
    row.memoText.clear();
    row.body.clear();
    row.inkCount = 0;
    row.handwritten = 0;
    row.holiday = 0;
    // Not needed by readers, who look at the kind first, but a row whose item vanished between
    // the passes then shows no flags of the previous load.
    row.reminder = 0;
    row.recurring = 0;
    row.complete = 0;
    row.changedOccurrence.reset();
    row.occurrence.reset();
    row.rule.clear();
    row.calendarId = 0;
}

void Reset(Date selectedDate, DayItems& items, WindowSlots& slots) {
    items.cornerPage = 0;
    for (DaySlots& day : slots) {
        for (Slot& slot : day) {
            slot.kind = DayItemKind::EmptyDay;
            slot.objectId = 0;
        }
    }
    for (DayItemRow& row : items.table) {
        ResetRow(row);
    }
    for (size_t k = 0; k < kWindowDays; ++k) {
        items.window[k] = selectedDate + static_cast<double>(k);
    }
}

// Puts an item into the first free slot of a day; an appointment already there (a second
// occurrence on the same day) is not listed twice. An occurrence changed on its own (moved, say)
// is listed as an item of its own, once a day, beside the series' other occurrences. A full day
// drops the item.
void Place(DaySlots& day, DayItemKind kind, int32_t objectId, Date start, Date end,
           std::optional<Date> changedOccurrence = std::nullopt,
           std::optional<Date> occurrence = std::nullopt) {
    for (Slot& slot : day) {
        if (slot.objectId == 0) {
            slot = Slot{kind, objectId, start, end, changedOccurrence, occurrence};
            return;
        }
        if (kind == DayItemKind::Appointment && slot.objectId == objectId &&
            slot.changedOccurrence == changedOccurrence) {
            return;
        }
    }
}

// The collection could not be had: the store connection is given up, and the next request
// logs on again.
Error ReleaseAfter(StoreSession& store, const Error& error) {
    store.Release();
    return error;
}

void PlaceAppointment(const AppointmentSpan& appointment, const DayWindow& window,
                      WindowSlots& slots) {
    const Date end = appointment.end;
    const int32_t objectId = appointment.objectId;
    Date start = appointment.start;
    const bool allDay = appointment.allDay;
    const std::optional<Date>& changed = appointment.changedOccurrence;
    const std::optional<Date>& occurrence = appointment.occurrence;
    if (EarlierDay(start, window[0])) {
        start = window[0];
    }
    for (size_t k = 0; k < kWindowDays; ++k) {
        if (EarlierDay(end, window[k])) {
            break;
        }
        if (!allDay) {
            if (!EarlierDay(window[k], start)) {
                Place(slots[k], DayItemKind::Appointment, objectId, start, end, changed,
                      occurrence);
            }
        } else if (SameDay(start, window[k])) {
            // An all-day appointment is listed once, on its first day inside the window.
            Place(slots[k], DayItemKind::Appointment, objectId, start, end, changed, occurrence);
            break;
        }
    }
}

// Reads the appointments and occurrences the restriction selects, times alone (the rows that show
// read their items whole), onto the end of `spans`.
Result<void> ReadSpans(const store::Folder& calendar, std::u16string_view restriction,
                       std::vector<AppointmentSpan>& spans, StoreSession& store) {
    auto items = calendar.GetItems();
    if (!items) {
        return ReleaseAfter(store, items.error());
    }
    auto restricted = items->Restrict(restriction);
    if (!restricted) {
        return ReleaseAfter(store, restricted.error());
    }
    restricted->SetIncludeRecurrences(true);
    restricted->SetAppointmentParts(store::AppointmentParts::TimesAndMarks);
    for (int32_t index = 1;; ++index) {
        auto appointment = restricted->AppointmentAt(index);
        if (!appointment) {
            break;
        }
        spans.push_back(PlacementOf(*appointment));
    }
    return {};
}

// The times of an appointment the month's census read, for a restriction on them.
class SpanTimes final : public store::FieldValues {
public:
    explicit SpanTimes(const AppointmentSpan& span) : span_(span) {}
    std::optional<double> DateLinear(store::Field field) const override {
        if (field == store::Field::Start) {
            return platform::DateToLinear(span_.start);
        }
        if (field == store::Field::End) {
            return platform::DateToLinear(span_.end);
        }
        return std::nullopt;
    }
    std::optional<bool> Flag(store::Field) const override { return std::nullopt; }
    std::optional<std::u16string_view> Text(store::Field) const override { return std::nullopt; }

private:
    const AppointmentSpan& span_;
};

// How many rows the first `days` days of the window take: a row for each filled slot, one for a
// day without items.
size_t RowsOfDays(const WindowSlots& slots, size_t days) {
    size_t rows = 0;
    for (size_t k = 0; k < days && k < kWindowDays; ++k) {
        const auto filled = std::count_if(slots[k].begin(), slots[k].end(),
                                          [](const Slot& slot) { return slot.objectId != 0; });
        rows += std::max<size_t>(static_cast<size_t>(filled), 1);
    }
    return rows;
}

// Places the spans by start, ties by object id, as the store sorts them.
void PlaceInOrder(std::vector<AppointmentSpan>& spans, const DayWindow& window,
                  WindowSlots& slots) {
    std::stable_sort(spans.begin(), spans.end(),
                     [](const AppointmentSpan& a, const AppointmentSpan& b) {
                         const double sa = platform::DateToLinear(a.start);
                         const double sb = platform::DateToLinear(b.start);
                         return sa != sb ? sa < sb : a.objectId < b.objectId;
                     });
    for (const AppointmentSpan& span : spans) {
        PlaceAppointment(span, window, slots);
    }
}

// Places the appointments of the days from `first` to `reach`. With the census of the month of
// `first` (read from the store as it is now), those that start inside that month are taken from
// what it read. Those that start after it are read from the store, and only when the month's days
// leave rows for the days after it: they come after every item that starts earlier.
Result<void> AppointmentPass(const store::Folder& calendar, const MonthCensusState* month,
                             Date first, Date reach, const DayWindow& window, WindowSlots& slots,
                             StoreSession& store) {
    const std::u16string to = *RestrictionDate(reach);
    const std::u16string inWindow =
        u"[Start] <= \"" + to + u"\" and [End] >= \"" + *RestrictionDate(first) + u"\"";
    std::vector<AppointmentSpan> spans;
    if (month == nullptr || first < month->firstDay || month->lastDay < first) {
        if (auto read = ReadSpans(calendar, inWindow, spans, store); !read) {
            return read;
        }
        PlaceInOrder(spans, window, slots);
        return {};
    }
    auto parsed = store::ParseRestriction(inWindow);
    if (!parsed) {
        return parsed.error();
    }
    for (const AppointmentSpan& span : month->appointments) {
        if (store::Matches(*parsed, SpanTimes(span))) {
            spans.push_back(span);
        }
    }
    PlaceInOrder(spans, window, slots);
    const auto daysInMonth = static_cast<size_t>(month->lastDay - first) + 1;
    if (daysInMonth >= kWindowDays || RowsOfDays(slots, daysInMonth) >= kDayItemRows) {
        return {};
    }
    spans.clear();
    const std::u16string afterMonth = u"[Start] > \"" + *RestrictionDate(month->lastDay) +
                                      u"\" and [Start] <= \"" + to + u"\"";
    if (auto read = ReadSpans(calendar, afterMonth, spans, store); !read) {
        return read;
    }
    PlaceInOrder(spans, window, slots);
    return {};
}

Result<void> DatedTaskPass(const store::Folder& tasks, std::u16string_view restriction,
                           const DayWindow& window, WindowSlots& slots, StoreSession& store) {
    auto items = tasks.GetItems();
    if (!items) {
        return ReleaseAfter(store, items.error());
    }
    auto restricted = items->Restrict(restriction);
    if (!restricted) {
        return ReleaseAfter(store, restricted.error());
    }
    (void)restricted->Sort(u"[DueDate]");
    for (int32_t index = 1;; ++index) {
        auto task = restricted->TaskAt(index);
        if (!task) {
            break;
        }
        const Date due = task->DueDate();
        for (size_t k = 0; k < kWindowDays; ++k) {
            if (SameDay(due, window[k])) {
                Place(slots[k], DayItemKind::DatedTask, task->Oid(), due, due);
            }
        }
    }
    return {};
}

// Day by day, each filled slot becomes a row and a day without items one empty row, until the
// twelve rows are used; later days do not appear.
void Compact(const DayWindow& window, const WindowSlots& slots, DayItemTable& table) {
    size_t row = 0;
    for (size_t k = 0; k < kWindowDays && row < kDayItemRows; ++k) {
        bool filled = false;
        for (const Slot& slot : slots[k]) {
            if (slot.objectId == 0 || row == kDayItemRows) {
                break;
            }
            filled = true;
            DayItemRow& target = table[row++];
            target.rowDate = window[k];
            target.kind = slot.kind;
            target.objectId = slot.objectId;
            target.start = slot.start;
            target.end = slot.end;
            target.changedOccurrence = slot.changedOccurrence;
            target.occurrence = slot.occurrence;
        }
        if (!filled && row < kDayItemRows) {
            table[row++].rowDate = window[k];
        }
    }
}

void ReadAppointmentDetails(const store::Application& application,
                            const settings::Settings& settings, const platform::DataHome& home,
                            DayItemRow& row) {
    auto appointment = application.GetAppointmentFromOid(row.objectId);
    if (!appointment) {
        return;
    }
    const calendar::AppointmentRecord& series = appointment->Record();
    // A changed occurrence shows its change's texts; the row still stands for its series.
    const calendar::OccurrenceChange* change =
        row.changedOccurrence ? store::ChangeOf(series.recurrence, *row.changedOccurrence)
                              : nullptr;
    row.storedStart = series.start;
    row.calendarId = series.calendarId;
    row.rule = series.recurrence.rule;
    row.allDay = (change ? change->allDay : series.allDay) ? 1 : 0;
    row.reminder = (change ? change->reminderSet : series.reminderSet) ? 1 : 0;
    const std::u16string& body = change ? change->body : series.body;
    const bool handwritten = change ? change->handwritten : series.handwritten;
    row.subject.assign(change ? change->subject : series.subject);
    row.location.assign(change ? change->location : series.location);
    row.body.assign(body);
    row.handwritten = handwritten ? 1 : 0;
    // Only a memo the store marks handwritten names an ink file; any other is text, whatever it
    // reads.
    if (handwritten) {
        AssignCut(row.memoText, calendar::FirstMemoLine(body), kMaxMemoUnits);
        row.inkCount = ReadInkFile(home, settings.DataPath, row.memoText, row.ink);
    } else {
        AssignCut(row.memoText, body, kMaxMemoUnits);
    }
    row.holiday = (change ? change->categories : series.categories) == settings.HoliDay ? 1 : 0;
    if (auto pattern = appointment->GetRecurrencePattern(); pattern) {
        row.recurring = pattern->Type() != calendar::RecurrenceType::None ? 1 : 0;
    }
}

void ReadTaskDetails(const store::Application& application, DayItemRow& row) {
    auto task = application.GetTaskFromOid(row.objectId);
    if (!task) {
        return;
    }
    row.start = task->DueDate();
    row.end = task->DueDate();
    row.complete = task->Complete();
    row.subject.assign(task->Subject());
    AssignCut(row.memoText, task->Body(), kMaxMemoUnits);
    row.body.assign(task->Body());
    row.calendarId = task->CalendarId();
}

Result<void> UndatedTaskPass(const store::Folder& tasks, std::u16string_view restriction,
                             UndatedTaskList& list, StoreSession& store) {
    for (UndatedTask& entry : list) {
        entry.objectId = 0;
    }
    auto items = tasks.GetItems();
    if (!items) {
        return ReleaseAfter(store, items.error());
    }
    auto restricted = items->Restrict(restriction);
    if (!restricted) {
        return ReleaseAfter(store, restricted.error());
    }
    (void)restricted->Sort(u"[DueDate]");
    size_t count = 0;
    for (int32_t index = 1; count < kUndatedTaskCapacity; ++index) {
        auto task = restricted->TaskAt(index);
        if (!task) {
            break;
        }
        if (task->DueDate() != calendar::kNoDateValue) {
            continue;
        }
        UndatedTask& entry = list[count++];
        entry.objectId = task->Oid();
        entry.subject.assign(task->Subject());
        entry.notes.assign(task->Body());
        entry.dateCompleted = task->DateCompleted();
        entry.complete = task->Complete() != 0 ? 1 : 0;
        entry.calendarId = task->CalendarId();
    }
    return {};
}

}  // namespace

DayItemRow::DayItemRow() {
    subject.reserve(kMaxSubjectUnits + 1);
    location.reserve(kMaxLocationUnits + 1);
    memoText.reserve(kMaxMemoUnits + 1);
    body.reserve(kBodyReserveUnits);
}

UndatedTask::UndatedTask() {
    subject.reserve(kMaxSubjectUnits + 1);
}

Result<void> LoadDayItems(Date selectedDate, const settings::Settings& settings,
                          const platform::DataHome& home, StoreSession& store, DayItems& items,
                          const MonthCensusState* month) {
    WindowSlots slots;
    Reset(selectedDate, items, slots);

    // The query reaches past the window, but not past the calendar's last day, so that the
    // calendar's last days still list their items.
    const Date lastDay = *platform::MakeDate(platform::kMaxYear, 12, 31);
    const Date reach = std::min(selectedDate + kQueryReachDays, lastDay);
    const std::optional<std::u16string> first = RestrictionDate(selectedDate);
    const std::optional<std::u16string> last = RestrictionDate(reach);
    if (!first || !last) {
        return Error{"the date lies outside the calendar"};
    }

    auto application = store.LoggedOnApplication();
    if (!application) {
        return application.error();
    }
    const store::Application& app = **application;
    // Read with the rows, so that a row's mark and whether it may be changed agree with it. A
    // list that cannot be read leaves the rows unmarked and the items as writable as the store
    // says they are: the store still refuses what it must.
    (void)LoadItemCalendars(store, items.calendars);
    auto calendar = app.GetDefaultFolder(store::FolderKind::Calendar);
    if (!calendar) {
        return ReleaseAfter(store, calendar.error());
    }
    auto tasks = app.GetDefaultFolder(store::FolderKind::Tasks);
    if (!tasks) {
        return ReleaseAfter(store, tasks.error());
    }

    // The census's reading stands only for the store as it was when read.
    const bool monthCurrent = month != nullptr && month->firstDay != 0 && [&app, month] {
        const auto now = app.CurrentChangeMark();
        return now && *now == month->readAt;
    }();
    if (auto placed = AppointmentPass(*calendar, monthCurrent ? month : nullptr, selectedDate,
                                      reach, items.window, slots, store);
        !placed) {
        return placed;
    }
    if (settings::IsOn(settings.bTask)) {
        const std::u16string dueRange =
            u"[DueDate] <= \"" + *last + u"\" and [DueDate] >= \"" + *first + u"\"";
        if (auto placed = DatedTaskPass(*tasks, dueRange, items.window, slots, store); !placed) {
            return placed;
        }
    }

    Compact(items.window, slots, items.table);

    for (DayItemRow& row : items.table) {
        if (row.kind == DayItemKind::Appointment) {
            ReadAppointmentDetails(app, settings, home, row);
        } else if (row.kind == DayItemKind::DatedTask) {
            ReadTaskDetails(app, row);
        }
    }

    // The pass keeps only undated tasks, which the store holds on the no-date day: naming that
    // day for the open ones lets the store read them in order from its index and stop when the
    // list is full, however many dated tasks are open. Those done today are few, dated or not.
    const std::u16string openOrDoneToday = u"[Complete] = FALSE and [DueDate] = \"" +
                                           *RestrictionDate(calendar::kNoDateValue) +
                                           u"\" or [DateCompleted] = \"" + *first + u"\"";
    return UndatedTaskPass(*tasks, openOrDoneToday, items.undatedTasks, store);
}

}  // namespace schedule

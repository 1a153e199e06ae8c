#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/records.h"
#include "platform/result.h"
#include "store/appointment_hit.h"
#include "store/change_mark.h"
#include "store/feed_mark.h"
#include "store/fired_reminder.h"
#include "store/found_item.h"
#include "store/server_copy.h"
#include "store/store_calendar.h"
#include "store/undo_step.h"

namespace store {

using platform::Result;

class StoreDatabase;
class Restriction;

// The default folders the store offers, numbered as the planner asks for them.
enum class FolderKind : int32_t { Calendar = 9, Tasks = 13 };

// Flags travel as the store's 16-bit truth values: -1 for true, 0 for false.
using StoreFlag = int16_t;
inline constexpr StoreFlag kTrue = -1;
inline constexpr StoreFlag kFalse = 0;

// The recurrence pattern of an appointment; only its type is read.
class RecurrencePattern {
public:
    explicit RecurrencePattern(calendar::RecurrenceType type) : type_(type) {}
    calendar::RecurrenceType Type() const { return type_; }

private:
    calendar::RecurrenceType type_;
};

// An appointment as handed out by the store: a copy of the stored item, or of one occurrence
// of a recurring series (its own start and end, and the texts of its change when it was changed
// on its own; the series' object id). Setters change the copy; Save writes it back in one
// transaction.
class Appointment {
public:
    Date Start() const { return record_->start; }
    Date End() const { return record_->end; }
    StoreFlag AllDayEvent() const { return record_->allDay ? kTrue : kFalse; }
    StoreFlag ReminderSet() const { return record_->reminderSet ? kTrue : kFalse; }
    const std::u16string& Subject() const { return record_->subject; }
    const std::u16string& Location() const { return record_->location; }
    const std::u16string& Body() const { return record_->body; }
    bool Handwritten() const { return record_->handwritten; }
    const std::u16string& Categories() const { return record_->categories; }
    int32_t Oid() const { return record_->oid; }
    Result<RecurrencePattern> GetRecurrencePattern() const;
    bool IsOccurrence() const { return isOccurrence_; }
    // An occurrence's identity in its series (the start its rule gives it, wall-clock in the
    // series' zone), and whether a change of the series (RECURRENCE-ID) made it what it is:
    // store::ChangeOf(series recurrence, RecurrenceId()) finds that change. 0 and false for an
    // item that is not an occurrence.
    Date RecurrenceId() const { return recurrenceId_; }
    bool IsChangedOccurrence() const { return isChanged_; }
    // The item's identity across calendars (iCalendar UID). A new item has none until Save
    // gives it one; it then stays through every save.
    const std::string& Uid() const { return record_->uid; }

    void SetSubject(std::u16string_view text) { Edited().subject = text; }
    void SetLocation(std::u16string_view text) { Edited().location = text; }
    void SetBody(std::u16string_view text) { Edited().body = text; }
    // The handwritten mark (AppointmentRecord::handwritten): set with a body that names the ink
    // file just written, cleared with a typed memo.
    void SetHandwritten(bool handwritten) { Edited().handwritten = handwritten; }
    void SetCategories(std::u16string_view text) { Edited().categories = text; }
    void SetAllDayEvent(StoreFlag flag) { Edited().allDay = flag != 0; }
    void SetReminderSet(StoreFlag flag) { Edited().reminderSet = flag != 0; }
    // The calendar of the store the appointment belongs to (AppointmentRecord::calendarId).
    int64_t CalendarId() const { return record_->calendarId; }
    void SetCalendarId(int64_t id) { Edited().calendarId = id; }
    // Moving a recurring series' start moves the whole series (its rule stays); its exceptions
    // and the identities of its changed occurrences move with it.
    void SetStart(Date start);
    void SetEnd(Date end) { Edited().end = end; }
    // A series' occurrences on their own. The change of one occurrence (its recurrenceId) is set,
    // replacing an earlier change of it; an occurrence is cancelled (an exception date of the
    // series, its change gone) or made as the series has it again (its change gone).
    // The series' rule (Recurrence::rule): a single appointment becomes a series from its start.
    // Ending a series leaves a single appointment: its rule, dates and changes go.
    void SetRecurrenceRule(std::string rule) { Edited().recurrence.rule = std::move(rule); }
    void EndSeries() { Edited().recurrence = calendar::Recurrence{}; }
    void PutOccurrenceChange(calendar::OccurrenceChange change);
    void CancelOccurrence(Date recurrenceId);
    void DropOccurrenceChange(Date recurrenceId);

    // A new appointment gets its object id (and a UID) here. One handed out by a collection that
    // read its items in part (AppointmentParts::TimesAndMarks) is refused: its empty texts would
    // overwrite the stored ones.
    Result<void> Save();
    Result<void> Delete();

    const calendar::AppointmentRecord& Record() const { return *record_; }

private:
    friend class Items;
    friend class Application;
    Appointment(std::shared_ptr<StoreDatabase> db,
                std::shared_ptr<calendar::AppointmentRecord> record, bool isOccurrence,
                Date recurrenceId = 0, bool isChanged = false, bool readInPart = false)
        : db_(std::move(db)),
          record_(std::move(record)),
          isOccurrence_(isOccurrence),
          recurrenceId_(recurrenceId),
          isChanged_(isChanged),
          readInPart_(readInPart) {}
    // The record this appointment alone holds, copied first when it is still shared.
    calendar::AppointmentRecord& Edited();

    std::shared_ptr<StoreDatabase> db_;
    // Shared with the collection that handed the appointment out and with copies of it, so
    // that walking a collection copies no records; never changed while shared.
    std::shared_ptr<calendar::AppointmentRecord> record_;
    bool isOccurrence_ = false;
    Date recurrenceId_ = 0;
    bool isChanged_ = false;
    bool readInPart_ = false;
};

// A task as handed out by the store.
class Task {
public:
    Date DueDate() const { return record_.dueDate; }
    Date DateCompleted() const { return record_.dateCompleted; }
    StoreFlag Complete() const { return record_.complete ? kTrue : kFalse; }
    const std::u16string& Subject() const { return record_.subject; }
    const std::u16string& Body() const { return record_.body; }
    const std::u16string& Categories() const { return record_.categories; }
    int32_t Oid() const { return record_.oid; }
    // As Appointment::Uid.
    const std::string& Uid() const { return record_.uid; }

    void SetSubject(std::u16string_view text) { record_.subject = text; }
    void SetBody(std::u16string_view text) { record_.body = text; }
    void SetDueDate(Date due) { record_.dueDate = due; }
    // As Appointment::CalendarId.
    int64_t CalendarId() const { return record_.calendarId; }
    void SetCalendarId(int64_t id) { record_.calendarId = id; }
    // Completing a task that was open stamps `now` (local wall-clock time, from the clock the
    // program was given) as the moment it was completed, which the planner compares by day;
    // reopening clears it.
    void SetComplete(StoreFlag flag, Date now);

    Result<void> Save();
    Result<void> Delete();

    const calendar::TaskRecord& Record() const { return record_; }

private:
    friend class Items;
    friend class Application;
    Task(std::shared_ptr<StoreDatabase> db, calendar::TaskRecord record)
        : db_(std::move(db)), record_(std::move(record)) {}

    std::shared_ptr<StoreDatabase> db_;
    calendar::TaskRecord record_;
};

// The items of one folder, possibly restricted, sorted and with recurring appointments
// expanded into their occurrences. The query runs when the collection is first counted or
// indexed; a restriction, sort or expansion change after that runs it again. Cancelled
// appointments (STATUS:CANCELLED) and cancelled occurrences are not among the items.
class Items {
public:
    // A new collection holding the items of this one that satisfy the restriction string.
    Result<Items> Restrict(std::u16string_view restriction) const;
    // "[Start]" (appointments) or "[DueDate]" (tasks); ties keep object id order.
    Result<void> Sort(std::u16string_view property, bool descending = false);
    // Each occurrence of a recurring appointment becomes an item of its own.
    void SetIncludeRecurrences(bool include);
    // What is read of each appointment (AppointmentParts): a census that only counts and marks
    // days reads TimesAndMarks, which spares reading and converting texts it never shows.
    void SetAppointmentParts(AppointmentParts parts);

    Result<int32_t> Count();
    // 1-based, as the planner walks collections; past the end is an error.
    Result<Appointment> AppointmentAt(int32_t index);
    Result<Task> TaskAt(int32_t index);

    // A new, unsaved item of the folder's kind.
    Appointment AddAppointment() const;
    Task AddTask() const;

    FolderKind Kind() const { return kind_; }

private:
    friend class Folder;
    Items(std::shared_ptr<StoreDatabase> db, FolderKind kind);
    Result<void> Run();
    // Reads further pages of tasks until `count` are read or none is left.
    Result<void> ReadTasksUpTo(size_t count);

    enum class SortKey { None, Start, DueDate };

    std::shared_ptr<StoreDatabase> db_;
    FolderKind kind_;
    std::shared_ptr<const Restriction> restriction_;
    SortKey sortKey_ = SortKey::None;
    bool descending_ = false;
    bool includeRecurrences_ = false;
    AppointmentParts parts_ = AppointmentParts::Whole;
    bool ran_ = false;
    std::vector<AppointmentHit> appointments_;
    std::vector<calendar::TaskRecord> tasks_;
    // Tasks in due-date order are read a page at a time: where the next page begins, and
    // whether every task has been read.
    static constexpr size_t kFirstTaskPage = 128;
    std::optional<calendar::TaskPageKey> nextTaskPage_;
    bool tasksRead_ = true;
};

class Folder {
public:
    FolderKind Kind() const { return kind_; }
    Result<Items> GetItems() const;

private:
    friend class Application;
    Folder(std::shared_ptr<StoreDatabase> db, FolderKind kind) : db_(std::move(db)), kind_(kind) {}

    std::shared_ptr<StoreDatabase> db_;
    FolderKind kind_;
};

// An item for Application::SaveByUid, with the properties it gives.
struct IncomingAppointment {
    calendar::AppointmentRecord record;
    calendar::ItemFields given = calendar::ItemFields::All();
};
struct IncomingTask {
    calendar::TaskRecord record;
    calendar::ItemFields given = calendar::ItemFields::All();
};

// What SaveByUid did: for each item, in the order given (appointments first), the object id
// it is stored under and whether it was added, updated or found as it already was.
struct UidSaveSummary {
    // Earlier: the store holds a later version of the item (a higher SEQUENCE, or a later
    // DTSTAMP) and keeps it.
    enum class Outcome { Added, Updated, Unchanged, Earlier };
    struct Item {
        int32_t oid = 0;
        Outcome outcome = Outcome::Added;
    };
    std::vector<Item> appointments;
    std::vector<Item> tasks;

    int Count(Outcome outcome) const;
};

// The store's application object: one logged-on connection to one store file.
class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // How long a write waits for another process (an import, say) to finish its own.
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    // Opens (creating if need be) the store file. A damaged store is an error, and so is a
    // write that finds the store locked for longer than the busy timeout.
    Result<void> LogOn(const std::filesystem::path& storeFile,
                       std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    void LogOff();
    bool IsLoggedOn() const { return db_ != nullptr; }
    // Whether the store could only be opened for reading (the data home is not writable here):
    // its items are all there, and every save, delete and sync write fails.
    bool IsReadOnly() const;

    Result<Folder> GetDefaultFolder(FolderKind kind) const;
    // An error result means no item has that object id (or the store is not logged on).
    Result<Appointment> GetAppointmentFromOid(int32_t oid) const;
    Result<Task> GetTaskFromOid(int32_t oid) const;

    // Whole-store access for import and export: every item (cancelled ones too, each series
    // with its changed occurrences), and adding many in one transaction.
    Result<std::vector<calendar::AppointmentRecord>> AllAppointments() const;
    Result<std::vector<calendar::TaskRecord>> AllTasks() const;
    // Stores all records or none, each as a new item (a record without a UID gets a new one);
    // returns the object ids given, appointments first.
    Result<std::vector<int32_t>> AddAll(
        const std::vector<calendar::AppointmentRecord>& appointments,
        const std::vector<calendar::TaskRecord>& tasks);

    // A streamed import's one transaction (StoreDatabase::BeginWrites): the SaveByUid calls
    // until CommitWrites are stored together or not at all. RollBackWrites, an error of the
    // commit or the end of the process leaves the store as it was before BeginWrites.
    Result<void> BeginWrites();
    Result<void> CommitWrites();
    void RollBackWrites();
    // The pages of an export: StoreDatabase::BeginReads, EndReads, AppointmentsAfter and
    // TasksAfter.
    Result<void> BeginReads();
    void EndReads();
    Result<std::vector<calendar::AppointmentRecord>> AppointmentsAfter(int32_t afterOid,
                                                                       size_t limit) const;
    Result<std::vector<calendar::TaskRecord>> TasksAfter(int32_t afterOid, size_t limit) const;
    // The stored appointment with the UID (the one SaveByUid would update), if any.
    Result<std::optional<calendar::AppointmentRecord>> AppointmentByUid(
        const std::string& uid) const;

    // Stores items by their identity, all or none: an item whose UID a stored item of its kind
    // already has updates that item in place (the same object id, so its ink file and anything
    // naming it stay); the others are added. An update takes from the incoming record what its
    // ItemFields give and keeps the stored values of the rest (and the stored kept lines of
    // properties the record does not carry). Storing the same items twice changes nothing.
    // Used by the import, and by whatever adds items that may be there already (holidays, sync).
    // Items of a calendar file (`source`) do not replace later versions, and join series.
    Result<UidSaveSummary> SaveByUid(
        std::vector<IncomingAppointment> appointments, std::vector<IncomingTask> tasks,
        calendar::UidSource source = calendar::UidSource::CalendarFile);

    // Whether a handwritten memo of a stored appointment other than `exceptOid`, or of a changed
    // occurrence of any series, names the ink file `name`: the file is still in use and must
    // stay. A text memo that reads the same names no file.
    Result<bool> IsInkFileNamedElsewhere(std::u16string_view name, int32_t exceptOid) const;
    // The ink files the handwritten memos of stored appointments and changed occurrences name,
    // each once: numbers that are not free, whether their files are there or not.
    Result<std::set<std::u16string>> InkFileNamesInUse() const;

    // The reminders that have rung (see FiredReminder). ClaimReminders records those not
    // recorded yet, all in one transaction, and says for each whether this call recorded it:
    // of several services watching one store, only the one that records a reminder rings it.
    // Records due before `forgetBefore` are dropped.
    Result<std::vector<bool>> ClaimReminders(const std::vector<FiredReminder>& reminders,
                                             Date forgetBefore);
    Result<std::vector<FiredReminder>> FiredRemindersFrom(Date from) const;

    // The appointments and tasks whose subject, place, typed memo or notes hold `text`, as a
    // search compares texts (search_folding.h): each series once, at its first occurrence
    // holding the text on or after the day of `from` (local time), else at its last one before
    // it. At most `limit` items, the earliest by date. An empty text is an error.
    Result<FoundItems> FindItems(std::u16string_view text, Date from, size_t limit) const;

    // Taking changes back: as StoreDatabase::CurrentState, RecordStep, UndoSteps, HasStep,
    // NextStep and ApplyStep.
    Result<ItemState> CurrentState(calendar::ItemKind kind, const std::string& uid) const;
    Result<void> RecordStep(const UndoStep& step, const std::string& home);
    Result<std::vector<UndoStep>> UndoSteps(const std::string& home) const;
    Result<bool> HasStep(const std::string& home, StepDirection direction) const;
    Result<std::optional<UndoStep>> NextStep(const std::string& home, StepDirection direction,
                                             StepParts parts = StepParts::Whole) const;
    Result<StepOutcome> ApplyStep(const UndoStep& step, StepDirection direction,
                                  const std::string& home, const std::vector<KeptInk>& inkNow,
                                  ItemState& replaced);

    // What tells a later reading whether the store changed meanwhile (ChangeMark); marks of
    // one logon compare.
    Result<ChangeMark> CurrentChangeMark() const;

    // The calendars every item belongs to: as StoreDatabase::Calendars, SaveCalendar and
    // SetDefaultCalendar.
    Result<std::vector<StoreCalendar>> Calendars() const;
    Result<void> SaveCalendar(StoreCalendar& saved);
    Result<void> SetDefaultCalendar(int64_t id);

    // Subscribed feeds: as StoreDatabase::FeedMarkOf, RecordFeedMark, ReplaceFeedItems and
    // RemoveSubscription.
    Result<FeedMark> FeedMarkOf(int64_t calendarId) const;
    Result<void> RecordFeedMark(int64_t calendarId, const FeedMark& mark);
    Result<FeedReplacement> ReplaceFeedItems(int64_t calendarId,
                                             std::vector<calendar::AppointmentRecord> appointments,
                                             std::vector<calendar::TaskRecord> tasks,
                                             const FeedMark& mark);
    Result<void> RemoveSubscription(int64_t calendarId);

    // Two-way sync with a calendar server. The store marks every item saved or deleted here
    // (SyncEntry) until the sync records the server's copy of it.
    Result<std::vector<calendar::SyncEntry>> SyncEntries() const;
    // Stores an item as the server holds it (every property taken from it) and records the
    // server's copy (`copy`, whose text is the base of the next merge), in one transaction,
    // while the item is still as the sync compared it: its sync revision `comparedRevision` (0
    // for an item in step or not stored here). `as` ToSend stores a version the sync merged,
    // which is still to be sent over that copy. Returns the object id it is stored under and how
    // it met the store, or nothing when the item changed here meanwhile and nothing was written.
    Result<std::optional<UidSaveSummary::Item>> SaveSyncedAppointment(
        const calendar::AppointmentRecord& record, const ServerCopy& copy, int64_t comparedRevision,
        SyncedAs as = SyncedAs::InStep);
    Result<std::optional<UidSaveSummary::Item>> SaveSyncedTask(const calendar::TaskRecord& record,
                                                               const ServerCopy& copy,
                                                               int64_t comparedRevision,
                                                               SyncedAs as = SyncedAs::InStep);
    // Deletes the items of the kind with the UID because the server no longer holds them, unless
    // the item changed here since the sync compared it (false: kept, nothing deleted).
    Result<bool> DeleteSynced(calendar::ItemKind kind, const std::string& uid,
                              int64_t comparedRevision);
    // As StoreDatabase::OfferAgain: an item the server lost is uploaded again by the next sync.
    Result<void> OfferAgain(calendar::ItemKind kind, const std::string& uid);
    // As StoreDatabase::RecordServerCopy, SyncBases, ForgetUnneededBases, RecordSending and
    // ForgetDeletion.
    Result<void> RecordServerCopy(calendar::ItemKind kind, const std::string& uid,
                                  const ServerCopy& copy, int64_t syncedRevision);
    Result<MergeBases> SyncBases(calendar::ItemKind kind, const std::string& uid) const;
    Result<void> ForgetUnneededBases();
    Result<void> RecordSending(calendar::ItemKind kind, const std::string& uid,
                               const std::string& href, const std::string& text);
    Result<void> ForgetDeletion(calendar::ItemKind kind, const std::string& uid,
                                int64_t syncedRevision);
    // As StoreDatabase::RememberServerStamp.
    Result<void> RememberServerStamp(calendar::ItemKind kind, const std::string& uid,
                                     int64_t stamp);
    // What a collection's last complete sync left for the next (CollectionMark).
    Result<CollectionMark> SyncToken(const std::string& collection) const;
    Result<void> SetSyncToken(const std::string& collection, const CollectionMark& mark);
    // Forgets what was learnt of the server, so that the next sync uploads everything anew.
    Result<void> ResetSyncState();

private:
    std::shared_ptr<StoreDatabase> db_;
};

}  // namespace store

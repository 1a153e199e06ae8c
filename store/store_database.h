#pragma once

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "calendar/records.h"
#include "platform/result.h"
#include "store/appointment_hit.h"
#include "store/change_mark.h"
#include "store/feed_mark.h"
#include "store/fired_reminder.h"
#include "store/found_item.h"
#include "store/restriction.h"
#include "store/server_copy.h"
#include "store/store_calendar.h"
#include "store/undo_step.h"

namespace store {

using platform::Result;

// What a query over appointments asks for, before sorting.
struct AppointmentQuery {
    const Restriction* restriction = nullptr;  // none: every appointment
    bool expandRecurrences = false;
    // Cancelled appointments are kept for export but are no items of the planner's collections.
    bool includeCancelled = false;
    // Nor are the items of a hidden calendar, kept and synced all the same.
    bool includeHidden = false;
    // Rows come in object id order (single items first, then each series' occurrences in turn)
    // unless the caller sorts them itself: then the items come in whatever order the time
    // indexes give, each series' occurrences still together and in order.
    bool callerSorts = false;
    // TimesAndMarks is read whole all the same when the restriction names a text left out.
    AppointmentParts parts = AppointmentParts::Whole;
};

// How an item stored by its UID met the store. Earlier: a file's item that is an earlier version
// of the stored one (a lower SEQUENCE, or an earlier DTSTAMP), which is not taken.
enum class UidSave { Added, Updated, Unchanged, Earlier };

// The SQLite file behind the store. Every save or delete is one transaction; queries use the
// time indexes so that a window costs what it returns, not what the store holds.
class StoreDatabase {
public:
    static Result<std::shared_ptr<StoreDatabase>> Open(const std::filesystem::path& file,
                                                       std::chrono::milliseconds busyTimeout);
    ~StoreDatabase();
    // Whether the store could only be opened for reading: every write then fails.
    bool IsReadOnly() const { return readOnly_; }
    StoreDatabase(const StoreDatabase&) = delete;
    StoreDatabase& operator=(const StoreDatabase&) = delete;

    // A record without a UID gets a new one here.
    Result<void> SaveAppointment(calendar::AppointmentRecord& record);
    Result<void> SaveTask(calendar::TaskRecord& record);
    // Deletes the item, and a series' changed occurrences with it.
    Result<void> DeleteItem(int32_t oid);
    Result<calendar::AppointmentRecord> LoadAppointment(int32_t oid);
    Result<calendar::TaskRecord> LoadTask(int32_t oid);

    Result<std::vector<AppointmentHit>> QueryAppointments(const AppointmentQuery& query);
    Result<ChangeMark> CurrentChangeMark();
    enum class TaskOrder { ByObjectId, ByDueDate };
    // The tasks of hidden calendars are left out unless `includeHidden`.
    Result<std::vector<calendar::TaskRecord>> QueryTasks(const Restriction* restriction,
                                                         TaskOrder order = TaskOrder::ByObjectId,
                                                         bool includeHidden = false);

    // One page of the tasks that satisfy the restriction, in due-date order (ties by object id):
    // at most `limit` of them, after the task `after` names. Each alternative of a top-level `or`
    // is read in that order from an index of its own and SQLite merges them, so that a page
    // costs what it holds, not how many tasks the store holds.
    struct TaskPage {
        std::vector<calendar::TaskRecord> tasks;
        std::optional<calendar::TaskPageKey> last;  // of the last task on the page
        bool atEnd = false;                         // no task follows the page
    };
    Result<TaskPage> QueryTaskPage(const Restriction* restriction,
                                   const std::optional<calendar::TaskPageKey>& after, size_t limit);

    // Adds every record in one transaction (all or none), giving each its object id and, when
    // it has none, a UID.
    Result<void> AddAll(std::vector<calendar::AppointmentRecord>& appointments,
                        std::vector<calendar::TaskRecord>& tasks);

    // Stores every record by its UID in one transaction (all or none): a record whose UID a
    // stored item of its kind already has updates that item in place (the lowest object id when
    // several have it), keeping its object id and the properties `given` leaves out; the others
    // are added. `given` is empty or holds one entry per record; empty means everything given.
    // Each record gets the object id it was stored under (and the merged properties); when
    // the save fails, nothing is stored and the records may be left part-way.
    Result<void> SaveAllByUid(std::vector<calendar::AppointmentRecord>& appointments,
                              const std::vector<calendar::ItemFields>& appointmentsGive,
                              std::vector<calendar::TaskRecord>& tasks,
                              const std::vector<calendar::ItemFields>& tasksGive,
                              calendar::UidSource source, std::vector<UidSave>& outcomes);

    // One transaction around many writes (a streamed import): every save, delete and batch until
    // CommitWrites is a savepoint inside it, so that the whole is stored or, at RollBackWrites,
    // an error or the process's end, none of it. One at a time; an error when one is open.
    Result<void> BeginWrites();
    Result<void> CommitWrites();
    void RollBackWrites();
    // One consistent snapshot for many reads (an export read page by page), until EndReads.
    Result<void> BeginReads();
    void EndReads();
    // The items (cancelled ones and those of hidden calendars too, each series with its changed
    // occurrences) whose object id is above `afterOid`, in object id order, at most `limit`: an
    // export reads the store page by page, never whole.
    Result<std::vector<calendar::AppointmentRecord>> AppointmentsAfter(int32_t afterOid,
                                                                       size_t limit);
    Result<std::vector<calendar::TaskRecord>> TasksAfter(int32_t afterOid, size_t limit);
    // The stored appointment with the UID (its lowest object id), if any.
    Result<std::optional<calendar::AppointmentRecord>> AppointmentByUid(const std::string& uid);

    // Whether a handwritten memo of an appointment other than `exceptOid`, or of a changed
    // occurrence of any series, names the ink file `name` on its first line.
    Result<bool> IsInkFileNamedElsewhere(std::u16string_view name, int32_t exceptOid);
    // The ink files all handwritten memos name, each once.
    Result<std::set<std::u16string>> InkFileNamesInUse();

    // The calendars, in the order they were added (calendar 1 first). SaveCalendar adds a
    // calendar (id 0, given its id) or changes one; no two may have one name.
    // SetDefaultCalendar names where new items go, which must be a calendar that can be written.
    Result<std::vector<StoreCalendar>> Calendars();
    Result<void> SaveCalendar(StoreCalendar& saved);
    Result<void> SetDefaultCalendar(int64_t id);

    // Subscribed feeds (StoreCalendar::subscription). FeedMarkOf: what the feed's last fetch
    // left (an empty mark before the first). RecordFeedMark: a fetch that brought no new copy
    // (unchanged, or failed: its items stay as they are). ReplaceFeedItems: the feed's items
    // become those of its new copy, matched by UID (a stored item keeps its object id), and the
    // mark is recorded, all in one transaction: a failure leaves the last copy whole. An item
    // whose UID another calendar's item has already is left out, with a note. The feed's items
    // are read-only for every other write. RemoveSubscription: the feed's calendar goes, with
    // its items and its mark. Each refuses a calendar that is not a subscription.
    Result<FeedMark> FeedMarkOf(int64_t calendarId);
    Result<void> RecordFeedMark(int64_t calendarId, const FeedMark& mark);
    Result<FeedReplacement> ReplaceFeedItems(int64_t calendarId,
                                             std::vector<calendar::AppointmentRecord> appointments,
                                             std::vector<calendar::TaskRecord> tasks,
                                             const FeedMark& mark);
    Result<void> RemoveSubscription(int64_t calendarId);

    // The sync state of every item (SyncEntry), deletions not yet synced among them.
    Result<std::vector<calendar::SyncEntry>> SyncEntries();
    // Stores an item as the server holds it, by its UID, taking every property from it, and
    // records the server's copy (`copy`, its text the base of a later merge): one transaction.
    // `as` InStep: the item is in step with that copy; ToSend: the record is the server's
    // version merged with changes made here, to be sent over that copy. Only while the item's
    // sync revision is still `comparedRevision`, the one the sync compared with the server's copy
    // (0 for an item in step or not stored here); otherwise it changed here meanwhile, nothing
    // is written and the result is empty.
    Result<std::optional<UidSave>> SaveSyncedAppointment(calendar::AppointmentRecord& record,
                                                         const ServerCopy& copy,
                                                         int64_t comparedRevision, SyncedAs as);
    Result<std::optional<UidSave>> SaveSyncedTask(calendar::TaskRecord& record,
                                                  const ServerCopy& copy, int64_t comparedRevision,
                                                  SyncedAs as);
    // Deletes the items of the kind that have the UID, because the server no longer holds
    // them, and forgets their entry: one transaction. False, and nothing deleted, when the item
    // changed here since the sync compared it (its revision is no longer `comparedRevision`).
    Result<bool> DeleteSynced(calendar::ItemKind kind, const std::string& uid,
                              int64_t comparedRevision);
    // Puts an item that the server lost back among those to upload: no href, no ETag, marked
    // changed; the version last agreed on stays the base of a merge with a copy another planner
    // puts back. A deletion the server never held is forgotten.
    Result<void> OfferAgain(calendar::ItemKind kind, const std::string& uid);
    // Records the server's copy of an item (href, ETag and text; all empty when the server lost
    // it). The item is in step again unless it changed here after `syncedRevision` (0 leaves the
    // mark as it is).
    Result<void> RecordServerCopy(calendar::ItemKind kind, const std::string& uid,
                                  const ServerCopy& copy, int64_t syncedRevision);
    // The text of the server's copy last recorded, and of one sent since (the bases of a merge).
    Result<MergeBases> SyncBases(calendar::ItemKind kind, const std::string& uid);
    // Forgets the bases of items neither synced nor named by a change that can be taken back.
    Result<void> ForgetUnneededBases();
    // Records the text about to be sent for the item to `href`, until the server's copy is
    // recorded.
    Result<void> RecordSending(calendar::ItemKind kind, const std::string& uid,
                               const std::string& href, const std::string& text);
    // Records what the server's copy says of when it last changed (SyncEntry::serverStamp).
    Result<void> RememberServerStamp(calendar::ItemKind kind, const std::string& uid,
                                     int64_t stamp);
    // Forgets a deletion the server has taken, unless the item was stored again since.
    Result<void> ForgetDeletion(calendar::ItemKind kind, const std::string& uid,
                                int64_t syncedRevision);
    // What the collection's last complete sync left for the next: its RFC 6578 sync token.
    Result<CollectionMark> SyncToken(const std::string& collection);
    Result<void> SetSyncToken(const std::string& collection, const CollectionMark& mark);
    // Forgets all that was learnt of a server (for another one): every item is to be uploaded
    // anew and deletions it was not told of are dropped.
    Result<void> ResetSyncState();
    // Whether the item's sync revision is `comparedRevision` (an item without entry: 0).
    Result<bool> RevisionIs(calendar::ItemKind kind, const std::string& uid,
                            int64_t comparedRevision);

    // The item of the kind with the UID as it is stored now (its lowest object id), without ink;
    // an empty state when there is none.
    Result<ItemState> CurrentState(calendar::ItemKind kind, const std::string& uid);
    // The steps that take changes back (UndoStep), each kept with the data home it was made in:
    // the steps of another home are never listed or applied. Recording a step forgets the steps
    // of the home that were taken back, and its oldest beyond kUndoStepsKept.
    Result<void> RecordStep(const UndoStep& step, const std::string& home);
    // Newest first, without their states.
    Result<std::vector<UndoStep>> UndoSteps(const std::string& home);
    // Whether there is a step of the home to apply in that direction.
    Result<bool> HasStep(const std::string& home, StepDirection direction);
    // The step to apply next in that direction, whole or only its heading; none when there is
    // nothing to apply. A step whose kept state cannot be read comes as it is, marked damaged.
    Result<std::optional<UndoStep>> NextStep(const std::string& home, StepDirection direction,
                                             StepParts parts = StepParts::Whole);
    // In one transaction: while `step` is still the next in that direction and its item still as
    // it left it, returns the item to the step's state (deleted, put back with its UID, or
    // rewritten, stamped as changed here) and keeps the state it replaced, with `inkNow` (the
    // bytes of the ink files it names), for the way back. `replaced` is that state. A step whose
    // item changed since, or whose kept state cannot be read, is forgotten instead.
    Result<StepOutcome> ApplyStep(const UndoStep& step, StepDirection direction,
                                  const std::string& home, const std::vector<KeptInk>& inkNow,
                                  ItemState& replaced);

    // Records each reminder as rung unless it is recorded already, all in one transaction, and
    // says for each whether this call recorded it (and so is the one to ring it). Records of
    // reminders due before `forgetBefore` are dropped on the way.
    Result<std::vector<bool>> ClaimReminders(const std::vector<FiredReminder>& reminders,
                                             Date forgetBefore);
    // The reminders recorded as rung that were due at `from` or later, in order of that time.
    Result<std::vector<FiredReminder>> FiredRemindersFrom(Date from);

    // The appointments and tasks whose texts hold `foldedNeedle` (FoldForSearch): an
    // appointment's subject, place or typed memo, a task's subject or notes. A series is found
    // once, at the first occurrence holding it that starts at `fromLinear` (local time on the
    // linear axis) or later, else at the last one before; cancelled items and occurrences are
    // not found. At most `limit` items, the earliest (FoundItems).
    Result<FoundItems> FindItems(const std::string& foldedNeedle, double fromLinear, size_t limit);

private:
    explicit StoreDatabase(sqlite3* db);
    static Result<std::shared_ptr<StoreDatabase>> OpenReadOnly(const std::filesystem::path& file);
    Result<void> CreateSchema(std::chrono::milliseconds busyTimeout);
    Result<void> UseWriteAheadLog(std::chrono::milliseconds busyTimeout);
    // The schema version the file holds; an error for one newer than this program's.
    Result<int64_t> SchemaVersion();
    Result<void> Execute(const char* sql);
    Result<int32_t> NewObjectId(int kind);
    // An error naming the calendar when the item `oid` of `table` is in a read-only calendar, or
    // `calendarId` (0: where it is, or the default for a new item) is one.
    Result<void> CheckWritable(const char* table, int32_t oid, int64_t calendarId);
    // The calendar an item written to `table` belongs to: `given`, or when that is 0, the one
    // the stored item `oid` is in, else the default.
    Result<int64_t> CalendarOfItem(const char* table, int32_t oid, int64_t given);
    // The condition that leaves out the items of hidden calendars, to follow a WHERE clause's
    // others: none at all while every calendar shows, which spares each row a lookup.
    const char* ShownCalendars();
    // One of the longest spans kept in store_info; 0 when nothing is stored yet.
    double StoredSpan(const char* key);
    enum class Presence { New, MayBeStored };
    Result<void> WriteAppointment(calendar::AppointmentRecord& record, Presence presence);
    Result<void> WriteChanges(const calendar::AppointmentRecord& record, Presence presence);
    Result<void> WriteTask(calendar::TaskRecord& record);
    // Deletes the rows of the item (and a series' changed occurrences) inside the caller's
    // transaction; how many there were.
    Result<int> RemoveItemRows(int32_t oid);
    // The id a zone's own definition is kept under (added when new); 0 for none.
    Result<int64_t> DefinitionId(const calendar::ItemZone& zone);
    // Gives the items of a store from before zones were kept the zone in force.
    Result<void> GiveStoredItemsZones();
    // Marks the memos of a store from before the handwritten mark was kept that were taken for
    // handwriting then: those whose first line names an ink file.
    Result<void> MarkStoredHandwriting();
    // Works every local time out again when the store is opened in a zone other than the one
    // its local times were worked out for.
    Result<void> FollowZoneInForce();
    // Records the zone (ZoneInForceKey) the store's local times are worked out for.
    Result<void> RecordAxisZone(const std::string& key);
    Result<std::vector<calendar::OccurrenceChange>> ReadChanges(int32_t seriesOid);
    // An error unless `calendarId` is a subscribed feed's calendar.
    Result<void> CheckSubscription(int64_t calendarId);
    // Writes the feed's mark inside the caller's transaction.
    Result<void> WriteFeedMark(int64_t calendarId, const FeedMark& mark);
    // The name of a calendar other than `calendarId` whose item of `table` has the UID; empty
    // when there is none.
    Result<std::string> OtherCalendarHolding(const char* table, const std::string& uid,
                                             int64_t calendarId);
    // The lowest object id of an item of the table that has the UID; 0 for none.
    Result<int32_t> FindByUid(const char* table, const std::string& uid);
    Result<UidSave> SaveAppointmentByUid(calendar::AppointmentRecord& record,
                                         calendar::ItemFields given, calendar::UidSource source);
    Result<UidSave> SaveTaskByUid(calendar::TaskRecord& record, calendar::ItemFields given,
                                  calendar::UidSource source);
    Result<UidSave> SaveByUid(calendar::AppointmentRecord& record, calendar::ItemFields given,
                              calendar::UidSource source) {
        return SaveAppointmentByUid(record, given, source);
    }
    Result<UidSave> SaveByUid(calendar::TaskRecord& record, calendar::ItemFields given,
                              calendar::UidSource source) {
        return SaveTaskByUid(record, given, source);
    }
    // SaveSyncedAppointment and SaveSyncedTask, for either kind of record.
    template <typename Record>
    Result<std::optional<UidSave>> SaveSynced(calendar::ItemKind kind, Record& record,
                                              const ServerCopy& copy, int64_t comparedRevision,
                                              SyncedAs as);
    // Keeps (or, for an empty text, forgets) the base of the item's next merge.
    Result<void> KeepSyncBase(calendar::ItemKind kind, const std::string& uid,
                              const std::string& text);
    platform::Error SqlError(const std::string& what) const;
    // A prepared statement for the text, made once per connection; null when it does not compile.
    sqlite3_stmt* Prepare(const std::string& sql);

    // Makes the SQL function a search reads texts with known to this connection, once.
    void RegisterSearchFunctions();

    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    // This connection's number among those the process opened (ChangeMark::connection).
    int64_t connection_ = 0;
    bool searchFunctionsRegistered_ = false;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

}  // namespace store

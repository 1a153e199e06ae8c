#include "store/schedule_store.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "calendar/ical_extras.h"
#include "calendar/item_zones.h"
#include "calendar/lone_occurrence.h"
#include "calendar/time_zones.h"
#include "platform/text/unicode_text.h"
#include "store/recurrence_expander.h"
#include "store/restriction.h"
#include "store/search_folding.h"
#include "store/store_database.h"

namespace store {
namespace {

using platform::DateToLinear;
using platform::Error;

Error NotLoggedOn() {
    return Error{"the schedule store is not logged on"};
}

bool SamePropertyName(std::u16string_view given, std::u16string_view name) {
    if (given.size() != name.size()) {
        return false;
    }
    for (size_t i = 0; i < given.size(); ++i) {
        auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
        };
        if (lower(given[i]) != lower(name[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

// ---- Appointment ----

Result<RecurrencePattern> Appointment::GetRecurrencePattern() const {
    return RecurrencePattern(TypeOfRecurrence(record_->recurrence));
}

calendar::AppointmentRecord& Appointment::Edited() {
    if (record_.use_count() > 1) {
        record_ = std::make_shared<calendar::AppointmentRecord>(*record_);
    }
    return *record_;
}

void Appointment::SetStart(Date start) {
    calendar::AppointmentRecord& record = Edited();
    calendar::Recurrence& recurrence = record.recurrence;
    const bool zoneKnown = record.zone.form != calendar::ItemZone::Form::Unset && !record.allDay;
    const Date zoneStart =
        zoneKnown ? calendar::LocalToZoneWall(record.zone, start).value_or(start) : start;
    if (recurrence.recurs()) {
        // The series moves with its start on its own clock: its exception and extra dates and
        // the identities of its changed occurrences move by as much. A changed occurrence stays
        // where it was changed to.
        const Date oldZoneStart = zoneKnown ? record.zoneStart : record.start;
        const double shift = DateToLinear(zoneStart) - DateToLinear(oldZoneStart);
        auto moved = [shift](Date date) {
            return platform::LinearToDate(DateToLinear(date) + shift);
        };
        for (Date& d : recurrence.exceptionDates) {
            d = moved(d);
        }
        for (Date& d : recurrence.extraDates) {
            d = moved(d);
        }
        for (calendar::OccurrenceChange& change : recurrence.changes) {
            change.recurrenceId = moved(change.recurrenceId);
        }
    }
    record.start = start;
    record.zoneStart = zoneStart;
}

void Appointment::PutOccurrenceChange(calendar::OccurrenceChange change) {
    calendar::PutChange(Edited(), std::move(change), true);
}

void Appointment::CancelOccurrence(Date recurrenceId) {
    DropOccurrenceChange(recurrenceId);
    std::vector<Date>& exceptions = Edited().recurrence.exceptionDates;
    const auto same = [recurrenceId](Date known) {
        return DateToLinear(known) == DateToLinear(recurrenceId);
    };
    if (std::none_of(exceptions.begin(), exceptions.end(), same)) {
        exceptions.push_back(recurrenceId);
    }
}

void Appointment::DropOccurrenceChange(Date recurrenceId) {
    std::vector<calendar::OccurrenceChange>& changes = Edited().recurrence.changes;
    std::erase_if(changes, [recurrenceId](const calendar::OccurrenceChange& change) {
        return DateToLinear(change.recurrenceId) == DateToLinear(recurrenceId);
    });
}

Result<void> Appointment::Save() {
    if (!db_) {
        return NotLoggedOn();
    }
    if (isOccurrence_) {
        return Error{"an occurrence cannot be saved on its own; save its series"};
    }
    if (readInPart_) {
        return Error{"the appointment was read without its texts; read it whole to save it"};
    }
    // Saving gives a new appointment its object id and UID: those go to this copy alone.
    return db_->SaveAppointment(Edited());
}

Result<void> Appointment::Delete() {
    if (!db_) {
        return NotLoggedOn();
    }
    if (record_->oid == 0) {
        return Error{"the appointment was never saved"};
    }
    return db_->DeleteItem(record_->oid);
}

// ---- Task ----

void Task::SetComplete(StoreFlag flag, Date now) {
    const bool complete = flag != 0;
    if (complete && !record_.complete) {
        record_.dateCompleted = now;
    } else if (!complete) {
        record_.dateCompleted = calendar::kNoDateValue;
    }
    if (!complete && record_.complete) {
        // Open again, as other programs read it: in process when it had got part of the way
        // before it was done, else needing action; the COMPLETED it came with goes.
        const std::optional<int> percent = calendar::KeptPercentComplete(record_.extraProperties);
        const bool partway = percent && *percent > 0 && *percent < 100;
        record_.extraProperties =
            calendar::ReplaceKeptProperty(record_.extraProperties, "STATUS",
                                          partway ? "STATUS:IN-PROCESS" : "STATUS:NEEDS-ACTION");
        record_.extraProperties =
            calendar::ReplaceKeptProperty(record_.extraProperties, "COMPLETED", "");
    }
    record_.complete = complete;
}

Result<void> Task::Save() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SaveTask(record_);
}

Result<void> Task::Delete() {
    if (!db_) {
        return NotLoggedOn();
    }
    if (record_.oid == 0) {
        return Error{"the task was never saved"};
    }
    return db_->DeleteItem(record_.oid);
}

// ---- Items ----

Items::Items(std::shared_ptr<StoreDatabase> db, FolderKind kind)
    : db_(std::move(db)), kind_(kind) {}

Result<Items> Items::Restrict(std::u16string_view restriction) const {
    auto parsed = ParseRestriction(restriction);
    if (!parsed) {
        return parsed.error();
    }
    Items restricted(db_, kind_);
    if (restriction_) {
        return Error{"this collection is already restricted"};
    }
    restricted.restriction_ = std::make_shared<const Restriction>(std::move(parsed).value());
    restricted.sortKey_ = sortKey_;
    restricted.descending_ = descending_;
    restricted.includeRecurrences_ = includeRecurrences_;
    restricted.parts_ = parts_;
    return restricted;
}

Result<void> Items::Sort(std::u16string_view property, bool descending) {
    if (kind_ == FolderKind::Calendar && SamePropertyName(property, u"[Start]")) {
        sortKey_ = SortKey::Start;
    } else if (kind_ == FolderKind::Tasks && SamePropertyName(property, u"[DueDate]")) {
        sortKey_ = SortKey::DueDate;
    } else {
        return Error{"the collection cannot be sorted by that property"};
    }
    descending_ = descending;
    ran_ = false;
    return {};
}

void Items::SetIncludeRecurrences(bool include) {
    includeRecurrences_ = include;
    ran_ = false;
}

void Items::SetAppointmentParts(AppointmentParts parts) {
    parts_ = parts;
    ran_ = false;
}

Result<void> Items::Run() {
    if (ran_) {
        return {};
    }
    appointments_.clear();
    tasks_.clear();
    if (kind_ == FolderKind::Calendar) {
        AppointmentQuery query;
        query.restriction = restriction_.get();
        query.expandRecurrences = includeRecurrences_;
        query.includeCancelled = false;
        query.callerSorts = sortKey_ == SortKey::Start;
        query.parts = parts_;
        auto hits = db_->QueryAppointments(query);
        if (!hits) {
            return hits.error();
        }
        appointments_ = std::move(hits).value();
        if (sortKey_ == SortKey::Start) {
            std::stable_sort(appointments_.begin(), appointments_.end(),
                             [this](const AppointmentHit& a, const AppointmentHit& b) {
                                 const double sa = DateToLinear(a.record->start);
                                 const double sb = DateToLinear(b.record->start);
                                 if (sa != sb) {
                                     return descending_ ? sa > sb : sa < sb;
                                 }
                                 return a.record->oid < b.record->oid;
                             });
        }
    } else if (sortKey_ == SortKey::DueDate && !descending_) {
        // Read page by page as the items are asked for: the planner walks a long list of open
        // tasks only as far as it keeps them.
        nextTaskPage_.reset();
        tasksRead_ = false;
    } else {
        // The store orders by due date itself (ties by object id), from its index.
        const bool byDue = sortKey_ == SortKey::DueDate;
        auto tasks =
            db_->QueryTasks(restriction_.get(), byDue ? StoreDatabase::TaskOrder::ByDueDate
                                                      : StoreDatabase::TaskOrder::ByObjectId);
        if (!tasks) {
            return tasks.error();
        }
        tasks_ = std::move(tasks).value();
        tasksRead_ = true;
        if (byDue && descending_) {
            std::stable_sort(tasks_.begin(), tasks_.end(),
                             [](const calendar::TaskRecord& a, const calendar::TaskRecord& b) {
                                 return DateToLinear(a.dueDate) > DateToLinear(b.dueDate);
                             });
        }
    }
    ran_ = true;
    return {};
}

Result<void> Items::ReadTasksUpTo(size_t count) {
    while (!tasksRead_ && tasks_.size() < count) {
        // Pages grow, so that a walk to the end still takes few queries.
        const size_t limit = std::max(kFirstTaskPage, tasks_.size());
        auto page = db_->QueryTaskPage(restriction_.get(), nextTaskPage_, limit);
        if (!page) {
            return page.error();
        }
        std::move(page->tasks.begin(), page->tasks.end(), std::back_inserter(tasks_));
        nextTaskPage_ = page->last;
        tasksRead_ = page->atEnd;
    }
    return {};
}

Result<int32_t> Items::Count() {
    if (auto ran = Run(); !ran) {
        return ran.error();
    }
    if (auto read = ReadTasksUpTo(std::numeric_limits<size_t>::max()); !read) {
        return read.error();
    }
    const size_t count = kind_ == FolderKind::Calendar ? appointments_.size() : tasks_.size();
    return static_cast<int32_t>(count);
}

Result<Appointment> Items::AppointmentAt(int32_t index) {
    if (kind_ != FolderKind::Calendar) {
        return Error{"the tasks folder holds no appointments"};
    }
    if (auto ran = Run(); !ran) {
        return ran.error();
    }
    if (index < 1 || static_cast<size_t>(index) > appointments_.size()) {
        return Error{"no item at index " + std::to_string(index)};
    }
    const AppointmentHit& hit = appointments_[static_cast<size_t>(index) - 1];
    return Appointment(db_, hit.record, hit.isOccurrence, hit.recurrenceId, hit.isChanged,
                       hit.readInPart);
}

Result<Task> Items::TaskAt(int32_t index) {
    if (kind_ != FolderKind::Tasks) {
        return Error{"the calendar folder holds no tasks"};
    }
    if (auto ran = Run(); !ran) {
        return ran.error();
    }
    if (index >= 1) {
        if (auto read = ReadTasksUpTo(static_cast<size_t>(index)); !read) {
            return read.error();
        }
    }
    if (index < 1 || static_cast<size_t>(index) > tasks_.size()) {
        return Error{"no item at index " + std::to_string(index)};
    }
    return Task(db_, tasks_[static_cast<size_t>(index) - 1]);
}

Appointment Items::AddAppointment() const {
    return Appointment(db_, std::make_shared<calendar::AppointmentRecord>(), false);
}

Task Items::AddTask() const {
    return Task(db_, calendar::TaskRecord{});
}

// ---- Folder ----

Result<Items> Folder::GetItems() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return Items(db_, kind_);
}

// ---- Application ----

Application::Application() = default;
Application::~Application() = default;

Result<void> Application::LogOn(const std::filesystem::path& storeFile,
                                std::chrono::milliseconds busyTimeout) {
    auto db = StoreDatabase::Open(storeFile, busyTimeout);
    if (!db) {
        return db.error();
    }
    db_ = std::move(db).value();
    return {};
}

bool Application::IsReadOnly() const {
    return db_ != nullptr && db_->IsReadOnly();
}

void Application::LogOff() {
    db_.reset();
}

Result<Folder> Application::GetDefaultFolder(FolderKind kind) const {
    if (!db_) {
        return NotLoggedOn();
    }
    if (kind != FolderKind::Calendar && kind != FolderKind::Tasks) {
        return Error{"the store has no such folder"};
    }
    return Folder(db_, kind);
}

Result<Appointment> Application::GetAppointmentFromOid(int32_t oid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    auto record = db_->LoadAppointment(oid);
    if (!record) {
        return record.error();
    }
    return Appointment(
        db_, std::make_shared<calendar::AppointmentRecord>(std::move(record).value()), false);
}

Result<Task> Application::GetTaskFromOid(int32_t oid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    auto record = db_->LoadTask(oid);
    if (!record) {
        return record.error();
    }
    return Task(db_, std::move(record).value());
}

Result<std::vector<calendar::AppointmentRecord>> Application::AllAppointments() const {
    if (!db_) {
        return NotLoggedOn();
    }
    AppointmentQuery everything;
    everything.includeCancelled = true;
    everything.includeHidden = true;
    auto hits = db_->QueryAppointments(everything);
    if (!hits) {
        return hits.error();
    }
    std::vector<calendar::AppointmentRecord> records;
    records.reserve(hits->size());
    for (AppointmentHit& hit : *hits) {
        // Each record was read for this call alone.
        records.push_back(std::move(*hit.record));
    }
    return records;
}

Result<std::vector<calendar::TaskRecord>> Application::AllTasks() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->QueryTasks(nullptr, StoreDatabase::TaskOrder::ByObjectId, true);
}

Result<std::vector<int32_t>> Application::AddAll(
    const std::vector<calendar::AppointmentRecord>& appointments,
    const std::vector<calendar::TaskRecord>& tasks) {
    if (!db_) {
        return NotLoggedOn();
    }
    std::vector<calendar::AppointmentRecord> newAppointments = appointments;
    std::vector<calendar::TaskRecord> newTasks = tasks;
    if (auto added = db_->AddAll(newAppointments, newTasks); !added) {
        return added.error();
    }
    std::vector<int32_t> oids;
    for (const auto& record : newAppointments) {
        oids.push_back(record.oid);
    }
    for (const auto& record : newTasks) {
        oids.push_back(record.oid);
    }
    return oids;
}

Result<void> Application::BeginWrites() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->BeginWrites();
}

Result<void> Application::CommitWrites() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->CommitWrites();
}

void Application::RollBackWrites() {
    if (db_) {
        db_->RollBackWrites();
    }
}

Result<void> Application::BeginReads() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->BeginReads();
}

void Application::EndReads() {
    if (db_) {
        db_->EndReads();
    }
}

Result<std::vector<calendar::AppointmentRecord>> Application::AppointmentsAfter(
    int32_t afterOid, size_t limit) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->AppointmentsAfter(afterOid, limit);
}

Result<std::vector<calendar::TaskRecord>> Application::TasksAfter(int32_t afterOid,
                                                                  size_t limit) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->TasksAfter(afterOid, limit);
}

Result<std::optional<calendar::AppointmentRecord>> Application::AppointmentByUid(
    const std::string& uid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->AppointmentByUid(uid);
}

Result<UidSaveSummary> Application::SaveByUid(std::vector<IncomingAppointment> appointments,
                                              std::vector<IncomingTask> tasks,
                                              calendar::UidSource source) {
    if (!db_) {
        return NotLoggedOn();
    }
    std::vector<calendar::AppointmentRecord> appointmentRecords;
    std::vector<calendar::ItemFields> appointmentsGive;
    appointmentRecords.reserve(appointments.size());
    appointmentsGive.reserve(appointments.size());
    for (IncomingAppointment& incoming : appointments) {
        appointmentRecords.push_back(std::move(incoming.record));
        appointmentsGive.push_back(incoming.given);
    }
    std::vector<calendar::TaskRecord> taskRecords;
    std::vector<calendar::ItemFields> tasksGive;
    taskRecords.reserve(tasks.size());
    tasksGive.reserve(tasks.size());
    for (IncomingTask& incoming : tasks) {
        taskRecords.push_back(std::move(incoming.record));
        tasksGive.push_back(incoming.given);
    }
    std::vector<UidSave> outcomes;
    if (auto saved = db_->SaveAllByUid(appointmentRecords, appointmentsGive, taskRecords, tasksGive,
                                       source, outcomes);
        !saved) {
        return saved.error();
    }
    const auto outcomeOf = [](UidSave save) {
        switch (save) {
            case UidSave::Added:
                return UidSaveSummary::Outcome::Added;
            case UidSave::Updated:
                return UidSaveSummary::Outcome::Updated;
            case UidSave::Earlier:
                return UidSaveSummary::Outcome::Earlier;
            case UidSave::Unchanged:
                break;
        }
        return UidSaveSummary::Outcome::Unchanged;
    };
    UidSaveSummary summary;
    size_t next = 0;
    for (const calendar::AppointmentRecord& record : appointmentRecords) {
        summary.appointments.push_back({record.oid, outcomeOf(outcomes[next++])});
    }
    for (const calendar::TaskRecord& record : taskRecords) {
        summary.tasks.push_back({record.oid, outcomeOf(outcomes[next++])});
    }
    return summary;
}

Result<bool> Application::IsInkFileNamedElsewhere(std::u16string_view name,
                                                  int32_t exceptOid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->IsInkFileNamedElsewhere(name, exceptOid);
}

Result<std::set<std::u16string>> Application::InkFileNamesInUse() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->InkFileNamesInUse();
}

Result<std::vector<bool>> Application::ClaimReminders(const std::vector<FiredReminder>& reminders,
                                                      Date forgetBefore) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->ClaimReminders(reminders, forgetBefore);
}

Result<std::vector<FiredReminder>> Application::FiredRemindersFrom(Date from) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->FiredRemindersFrom(from);
}

Result<FoundItems> Application::FindItems(std::u16string_view text, Date from, size_t limit) const {
    if (!db_) {
        return NotLoggedOn();
    }
    const std::string needle = FoldForSearch(platform::Utf16ToUtf8Lossy(text));
    if (needle.empty()) {
        return platform::Error{"nothing to search for"};
    }
    const Date day = static_cast<Date>(platform::DayNumber(from));
    return db_->FindItems(needle, platform::DateToLinear(day), limit);
}

namespace {

UidSaveSummary::Item SummaryItem(int32_t oid, UidSave save) {
    switch (save) {
        case UidSave::Added:
            return {oid, UidSaveSummary::Outcome::Added};
        case UidSave::Updated:
            return {oid, UidSaveSummary::Outcome::Updated};
        case UidSave::Earlier:
            return {oid, UidSaveSummary::Outcome::Earlier};
        case UidSave::Unchanged:
            break;
    }
    return {oid, UidSaveSummary::Outcome::Unchanged};
}

}  // namespace

Result<ItemState> Application::CurrentState(calendar::ItemKind kind, const std::string& uid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->CurrentState(kind, uid);
}

Result<void> Application::RecordStep(const UndoStep& step, const std::string& home) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->RecordStep(step, home);
}

Result<std::vector<UndoStep>> Application::UndoSteps(const std::string& home) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->UndoSteps(home);
}

Result<bool> Application::HasStep(const std::string& home, StepDirection direction) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->HasStep(home, direction);
}

Result<std::optional<UndoStep>> Application::NextStep(const std::string& home,
                                                      StepDirection direction,
                                                      StepParts parts) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->NextStep(home, direction, parts);
}

Result<StepOutcome> Application::ApplyStep(const UndoStep& step, StepDirection direction,
                                           const std::string& home,
                                           const std::vector<KeptInk>& inkNow,
                                           ItemState& replaced) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->ApplyStep(step, direction, home, inkNow, replaced);
}

Result<std::vector<calendar::SyncEntry>> Application::SyncEntries() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SyncEntries();
}

Result<std::optional<UidSaveSummary::Item>> Application::SaveSyncedAppointment(
    const calendar::AppointmentRecord& record, const ServerCopy& copy, int64_t comparedRevision,
    SyncedAs as) {
    if (!db_) {
        return NotLoggedOn();
    }
    calendar::AppointmentRecord written = record;
    auto saved = db_->SaveSyncedAppointment(written, copy, comparedRevision, as);
    if (!saved) {
        return saved.error();
    }
    if (!*saved) {
        return std::optional<UidSaveSummary::Item>();
    }
    return std::optional(SummaryItem(written.oid, **saved));
}

Result<std::optional<UidSaveSummary::Item>> Application::SaveSyncedTask(
    const calendar::TaskRecord& record, const ServerCopy& copy, int64_t comparedRevision,
    SyncedAs as) {
    if (!db_) {
        return NotLoggedOn();
    }
    calendar::TaskRecord written = record;
    auto saved = db_->SaveSyncedTask(written, copy, comparedRevision, as);
    if (!saved) {
        return saved.error();
    }
    if (!*saved) {
        return std::optional<UidSaveSummary::Item>();
    }
    return std::optional(SummaryItem(written.oid, **saved));
}

Result<bool> Application::DeleteSynced(calendar::ItemKind kind, const std::string& uid,
                                       int64_t comparedRevision) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->DeleteSynced(kind, uid, comparedRevision);
}

Result<void> Application::OfferAgain(calendar::ItemKind kind, const std::string& uid) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->OfferAgain(kind, uid);
}

Result<void> Application::RecordServerCopy(calendar::ItemKind kind, const std::string& uid,
                                           const ServerCopy& copy, int64_t syncedRevision) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->RecordServerCopy(kind, uid, copy, syncedRevision);
}

Result<MergeBases> Application::SyncBases(calendar::ItemKind kind, const std::string& uid) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SyncBases(kind, uid);
}

Result<void> Application::ForgetUnneededBases() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->ForgetUnneededBases();
}

Result<void> Application::RecordSending(calendar::ItemKind kind, const std::string& uid,
                                        const std::string& href, const std::string& text) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->RecordSending(kind, uid, href, text);
}

Result<void> Application::RememberServerStamp(calendar::ItemKind kind, const std::string& uid,
                                              int64_t stamp) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->RememberServerStamp(kind, uid, stamp);
}

Result<void> Application::ForgetDeletion(calendar::ItemKind kind, const std::string& uid,
                                         int64_t syncedRevision) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->ForgetDeletion(kind, uid, syncedRevision);
}

Result<ChangeMark> Application::CurrentChangeMark() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->CurrentChangeMark();
}

Result<std::vector<StoreCalendar>> Application::Calendars() const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->Calendars();
}

Result<void> Application::SaveCalendar(StoreCalendar& saved) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SaveCalendar(saved);
}

Result<void> Application::SetDefaultCalendar(int64_t id) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SetDefaultCalendar(id);
}

Result<CollectionMark> Application::SyncToken(const std::string& collection) const {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SyncToken(collection);
}

Result<void> Application::SetSyncToken(const std::string& collection, const CollectionMark& mark) {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->SetSyncToken(collection, mark);
}

Result<void> Application::ResetSyncState() {
    if (!db_) {
        return NotLoggedOn();
    }
    return db_->ResetSyncState();
}

int UidSaveSummary::Count(Outcome outcome) const {
    int count = 0;
    for (const std::vector<Item>* items : {&appointments, &tasks}) {
        for (const Item& item : *items) {
            count += item.outcome == outcome ? 1 : 0;
        }
    }
    return count;
}

}  // namespace store

#include "store/store_database.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <optional>
#include <set>

#include "calendar/ical_extras.h"
#include "calendar/item_zones.h"
#include "calendar/lone_occurrence.h"
#include "store/item_uid.h"
#include "store/recurrence_expander.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {
namespace {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

constexpr int64_t kLargestObjectId = std::numeric_limits<int32_t>::max();

// A time as it reads back from the store.
Date Stored(Date date) {
    return LinearToDate(DateToLinear(date));
}

}  // namespace

void Normalize(calendar::AppointmentRecord& record) {
    record.start = Stored(record.start);
    record.end = Stored(record.end);
    calendar::Recurrence& recurrence = record.recurrence;
    if (!recurrence.recurs()) {
        recurrence.changes.clear();
    }
    calendar::CarryIntoZone(record);
    record.zoneStart = Stored(record.zoneStart);
    record.zoneEnd = Stored(record.zoneEnd);
    for (calendar::OccurrenceChange& change : recurrence.changes) {
        change.recurrenceId = Stored(change.recurrenceId);
        change.start = Stored(change.start);
        change.end = Stored(change.end);
        change.zoneStart = Stored(change.zoneStart);
        change.zoneEnd = Stored(change.zoneEnd);
    }
    std::stable_sort(recurrence.changes.begin(), recurrence.changes.end(),
                     [](const calendar::OccurrenceChange& a, const calendar::OccurrenceChange& b) {
                         return DateToLinear(a.recurrenceId) < DateToLinear(b.recurrenceId);
                     });
}

bool SameTimesAndState(const calendar::AppointmentRecord& a, const calendar::AppointmentRecord& b) {
    return a.start == b.start && a.end == b.end && a.allDay == b.allDay &&
           a.cancelled == b.cancelled && a.recurrence.rule == b.recurrence.rule &&
           a.recurrence.exceptionDates == b.recurrence.exceptionDates &&
           a.recurrence.extraDates == b.recurrence.extraDates;
}

namespace {

// What the series gives an occurrence that no change has touched: its start at its identity
// and the series' length, all day when the series is.
bool MovedFromItsSeries(const calendar::AppointmentRecord& series,
                        const calendar::OccurrenceChange& change) {
    if (change.cancelled || change.thisAndFuture || change.allDay != series.allDay) {
        return true;
    }
    constexpr double kHalfSecond = 0.5 / 86400;
    const double length = DateToLinear(change.end) - DateToLinear(change.start);
    const double seriesLength = DateToLinear(series.end) - DateToLinear(series.start);
    const Date start = series.allDay ? change.start : change.zoneStart;
    return std::abs(DateToLinear(start) - DateToLinear(change.recurrenceId)) > kHalfSecond ||
           std::abs(length - seriesLength) > kHalfSecond;
}

bool SameOccurrenceTimesAndState(const calendar::OccurrenceChange& a,
                                 const calendar::OccurrenceChange& b) {
    return a.start == b.start && a.end == b.end && a.allDay == b.allDay &&
           a.cancelled == b.cancelled && a.thisAndFuture == b.thisAndFuture;
}

}  // namespace

void StampChangedOccurrences(const calendar::AppointmentRecord* stored,
                             calendar::AppointmentRecord& written, int64_t unixSeconds) {
    for (calendar::OccurrenceChange& change : written.recurrence.changes) {
        const calendar::OccurrenceChange* before = nullptr;
        if (stored != nullptr) {
            for (const calendar::OccurrenceChange& known : stored->recurrence.changes) {
                if (DateToLinear(known.recurrenceId) == DateToLinear(change.recurrenceId)) {
                    before = &known;
                    break;
                }
            }
        }
        if (before != nullptr && *before == change) {
            continue;  // not touched here
        }
        const bool announce = before != nullptr ? !SameOccurrenceTimesAndState(*before, change)
                                                : MovedFromItsSeries(written, change);
        change.extraProperties = calendar::StampedAsChangedOccurrence(
            change.extraProperties, written.extraProperties,
            before != nullptr ? before->extraProperties : std::string(), unixSeconds, announce);
    }
}

void Normalize(calendar::TaskRecord& record) {
    record.dueDate = Stored(record.dueDate);
    record.dateCompleted = Stored(record.dateCompleted);
    calendar::CarryIntoZone(record);
    record.zoneDue = Stored(record.zoneDue);
}

namespace {

// The kept lines an update takes from the incoming record: those of the fields it gives (a
// SUMMARY kept for its LANGUAGE parameter, CATEGORIES as they came, the alarms), those of the
// times, which always come from it (`times`: DTEND as it came, say), and every property it
// carries itself.
std::set<std::string> TakenFromIncoming(calendar::ItemFields given,
                                        std::initializer_list<const char*> times) {
    std::set<std::string> names(times.begin(), times.end());
    if (given.Has(calendar::ItemField::Subject)) {
        names.insert("SUMMARY");
    }
    if (given.Has(calendar::ItemField::Location)) {
        names.insert("LOCATION");
    }
    if (given.Has(calendar::ItemField::Body)) {
        names.insert("DESCRIPTION");
    }
    if (given.Has(calendar::ItemField::Categories)) {
        names.insert("CATEGORIES");
    }
    if (given.Has(calendar::ItemField::Reminder)) {
        names.insert("VALARM");
    }
    return names;
}

// What an incoming appointment becomes when it updates the stored one of its UID.
calendar::AppointmentRecord MergeAppointment(const calendar::AppointmentRecord& stored,
                                             calendar::AppointmentRecord incoming,
                                             calendar::ItemFields given) {
    incoming.oid = stored.oid;
    if (incoming.calendarId == 0) {
        incoming.calendarId = stored.calendarId;
    }
    if (!given.Has(calendar::ItemField::Subject)) {
        incoming.subject = stored.subject;
    }
    if (!given.Has(calendar::ItemField::Location)) {
        incoming.location = stored.location;
    }
    if (!given.Has(calendar::ItemField::Body)) {
        // The handwriting a memo names goes with it.
        incoming.body = stored.body;
        incoming.handwritten = stored.handwritten;
    }
    if (!given.Has(calendar::ItemField::Categories)) {
        incoming.categories = stored.categories;
    }
    if (!given.Has(calendar::ItemField::Reminder)) {
        incoming.reminderSet = stored.reminderSet;
    }
    incoming.extraProperties =
        calendar::MergeKeptLines(stored.extraProperties, incoming.extraProperties,
                                 TakenFromIncoming(given, {"DTSTART", "DTEND"}));
    return incoming;
}

calendar::TaskRecord MergeTask(const calendar::TaskRecord& stored, calendar::TaskRecord incoming,
                               calendar::ItemFields given) {
    incoming.oid = stored.oid;
    if (incoming.calendarId == 0) {
        incoming.calendarId = stored.calendarId;
    }
    if (!given.Has(calendar::ItemField::Subject)) {
        incoming.subject = stored.subject;
    }
    if (!given.Has(calendar::ItemField::Body)) {
        incoming.body = stored.body;
    }
    if (!given.Has(calendar::ItemField::Categories)) {
        incoming.categories = stored.categories;
    }
    incoming.extraProperties = calendar::MergeKeptLines(
        stored.extraProperties, incoming.extraProperties, TakenFromIncoming(given, {"COMPLETED"}));
    return incoming;
}

}  // namespace

StoreDatabase::StoreDatabase(sqlite3* db) : db_(db) {
    static std::atomic<int64_t> opened{0};
    connection_ = ++opened;
}

StoreDatabase::~StoreDatabase() {
    for (auto& [sql, statement] : statements_) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

sqlite3_stmt* StoreDatabase::Prepare(const std::string& sql) {
    if (auto found = statements_.find(sql); found != statements_.end()) {
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    statements_.emplace(sql, statement);
    return statement;
}

Error StoreDatabase::SqlError(const std::string& what) const {
    return Error{what + ": " + sqlite3_errmsg(db_)};
}

Result<void> StoreDatabase::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return Error{text};
    }
    return {};
}

Result<ChangeMark> StoreDatabase::CurrentChangeMark() {
    Statement version(Prepare("PRAGMA data_version"));
    if (!version.ok() || version.Step() != SQLITE_ROW) {
        return SqlError("cannot read the store's version");
    }
    return ChangeMark{connection_, version.Integer(0), sqlite3_total_changes64(db_)};
}

const char* StoreDatabase::ShownCalendars() {
    Statement select(Prepare("SELECT EXISTS (SELECT 1 FROM calendars WHERE hidden = 1)"));
    const bool someHidden = !select.ok() || select.Step() != SQLITE_ROW || select.Integer(0) != 0;
    return someHidden ? kShownCalendars : "";
}

double StoreDatabase::StoredSpan(const char* key) {
    Statement select(Prepare("SELECT value FROM store_info WHERE key = ?"));
    select.Bind(1, std::string(key));
    return select.ok() && select.Step() == SQLITE_ROW ? select.Real(0) : 0.0;
}

Result<int64_t> StoreDatabase::CalendarOfItem(const char* table, int32_t oid, int64_t given) {
    if (given != 0) {
        return given;
    }
    // Not said: a stored item stays where it is, a new one goes to the default calendar.
    Statement select(Prepare(std::string("SELECT coalesce((SELECT calendar FROM ") + table +
                             " WHERE oid = ?), (SELECT value FROM store_info WHERE key = '" +
                             kDefaultCalendar + "'), 1)"));
    select.Bind(1, int64_t{oid});
    if (!select.ok() || select.Step() != SQLITE_ROW) {
        return SqlError("cannot find the item's calendar");
    }
    return select.Integer(0);
}

Result<void> StoreDatabase::CheckWritable(const char* table, int32_t oid, int64_t calendarId) {
    // Both the calendar the item is in and the one it is to be in: an item neither leaves a
    // read-only calendar nor goes into one.
    const std::string storedCalendar =
        std::string("(SELECT calendar FROM ") + table + " WHERE oid = ?1)";
    Statement select(Prepare("SELECT name FROM calendars WHERE read_only = 1 AND id IN (" +
                             storedCalendar + ", CASE WHEN ?2 <> 0 THEN ?2 ELSE coalesce(" +
                             storedCalendar + ", (SELECT value FROM store_info WHERE key = '" +
                             kDefaultCalendar + "'), 1) END) LIMIT 1"));
    select.Bind(1, int64_t{oid});
    select.Bind(2, calendarId);
    if (!select.ok()) {
        return SqlError("cannot read the calendars");
    }
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return Error{"the calendar \"" + select.Text(0) +
                     "\" is read-only: its items cannot be changed here"};
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the calendars");
    }
    return {};
}

Result<int32_t> StoreDatabase::NewObjectId(int kind) {
    Statement insert(Prepare("INSERT INTO object_ids(kind) VALUES(?)"));
    insert.Bind(1, int64_t{kind});
    if (!insert.ok() || insert.Step() != SQLITE_DONE) {
        return SqlError("cannot give the item an object id");
    }
    const int64_t oid = sqlite3_last_insert_rowid(db_);
    if (oid <= 0 || oid > kLargestObjectId) {
        return Error{"the store has used up its object ids"};
    }
    return static_cast<int32_t>(oid);
}

Result<void> StoreDatabase::WriteAppointment(calendar::AppointmentRecord& record,
                                             Presence presence) {
    if (record.oid == 0) {
        auto oid = NewObjectId(kAppointmentKind);
        if (!oid) {
            return oid.error();
        }
        record.oid = *oid;
        presence = Presence::New;
    }
    if (record.uid.empty()) {
        record.uid = NewItemUid();
    }
    if (auto calendarOf = CalendarOfItem("appointments", record.oid, record.calendarId);
        calendarOf) {
        record.calendarId = *calendarOf;
    } else {
        return calendarOf.error();
    }
    const bool recurs = record.recurrence.recurs();
    if (!recurs) {
        record.recurrence.changes.clear();  // a single appointment has no occurrences to change
    }
    calendar::CarryIntoZone(record);
    auto definition = DefinitionId(record.zone);
    if (!definition) {
        return definition.error();
    }
    const SeriesBounds bounds = recurs ? ComputeSeriesBounds(record) : SeriesBounds{};
    Statement upsert(Prepare(std::string("INSERT OR REPLACE INTO appointments(") +
                             kAppointmentWriteColumns +
                             ", recurring, last_end) "
                             "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (!upsert.ok()) {
        return SqlError("cannot save the appointment");
    }
    upsert.Bind(1, int64_t{record.oid});
    upsert.Bind(2, DateToLinear(record.start));
    upsert.Bind(3, DateToLinear(record.end));
    upsert.Bind(4, int64_t{record.allDay});
    upsert.Bind(5, int64_t{record.reminderSet});
    upsert.Bind(6, record.subject);
    upsert.Bind(7, record.location);
    upsert.Bind(8, record.body);
    upsert.Bind(9, record.categories);
    upsert.Bind(10, record.uid);
    upsert.Bind(11, record.extraProperties);
    upsert.Bind(12, record.recurrence.rule);
    upsert.Bind(13, record.zone.zoned() ? record.zone.tzid : std::string());
    upsert.Bind(14, DateToLinear(record.zoneStart));
    upsert.Bind(15, JoinDates(record.recurrence.exceptionDates));
    upsert.Bind(16, JoinDates(record.recurrence.extraDates));
    upsert.Bind(17, int64_t{record.cancelled});
    upsert.Bind(18, static_cast<int64_t>(record.recurrence.changes.size()));
    upsert.Bind(19, bounds.expansionRule);
    upsert.Bind(20, DateToLinear(record.zoneEnd));
    upsert.Bind(21, *definition);
    upsert.Bind(22, int64_t{record.handwritten});
    upsert.Bind(23, record.calendarId);
    upsert.Bind(24, int64_t{recurs});
    if (recurs && bounds.lastEndLinear) {
        upsert.Bind(25, *bounds.lastEndLinear);
    } else if (recurs) {
        upsert.BindNull(25);
    } else {
        upsert.Bind(25, DateToLinear(record.end));
    }
    if (upsert.Step() != SQLITE_DONE) {
        return SqlError("cannot save the appointment");
    }
    if (auto written = WriteChanges(record, presence); !written) {
        return written;
    }
    // The longest spans bound how early a start can lie for an item (or a bounded series) that
    // reaches a window, and how much earlier than its series a changed occurrence can start;
    // they only ever grow, which keeps them true after deletes.
    const double span =
        recurs ? (bounds.lastEndLinear ? *bounds.lastEndLinear - DateToLinear(record.start) : 0.0)
               : DateToLinear(record.end) - DateToLinear(record.start);
    std::vector<std::pair<const char*, double>> longest{
        {recurs ? kLongestSeriesSpan : kLongestSpan, std::max(0.0, span)}};
    if (recurs && bounds.earliestStartAdvance > 0) {
        longest.emplace_back(kLongestSeriesAdvance, bounds.earliestStartAdvance);
    }
    for (const auto& [key, value] : longest) {
        Statement grow(
            Prepare("INSERT INTO store_info(key, value) VALUES(?, ?) "
                    "ON CONFLICT(key) DO UPDATE SET value = max(value, excluded.value)"));
        grow.Bind(1, std::string(key));
        grow.Bind(2, value);
        if (!grow.ok() || grow.Step() != SQLITE_DONE) {
            return SqlError("cannot save the appointment");
        }
    }
    return {};
}

Result<void> StoreDatabase::WriteChanges(const calendar::AppointmentRecord& record,
                                         Presence presence) {
    if (presence == Presence::MayBeStored) {
        Statement remove(Prepare("DELETE FROM occurrence_changes WHERE series_oid = ?"));
        remove.Bind(1, int64_t{record.oid});
        if (!remove.ok() || remove.Step() != SQLITE_DONE) {
            return SqlError("cannot save the appointment's changed occurrences");
        }
    }
    for (const calendar::OccurrenceChange& change : record.recurrence.changes) {
        Statement insert(Prepare(std::string("INSERT OR REPLACE INTO occurrence_changes(") +
                                 "series_oid, " + kChangeColumns +
                                 ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        if (!insert.ok()) {
            return SqlError("cannot save the appointment's changed occurrences");
        }
        insert.Bind(1, int64_t{record.oid});
        insert.Bind(2, DateToLinear(change.recurrenceId));
        insert.Bind(3, int64_t{change.thisAndFuture});
        insert.Bind(4, int64_t{change.cancelled});
        insert.Bind(5, DateToLinear(change.start));
        insert.Bind(6, DateToLinear(change.end));
        insert.Bind(7, int64_t{change.allDay});
        insert.Bind(8, int64_t{change.reminderSet});
        insert.Bind(9, change.subject);
        insert.Bind(10, change.location);
        insert.Bind(11, change.body);
        insert.Bind(12, change.categories);
        insert.Bind(13, change.extraProperties);
        insert.Bind(14, DateToLinear(change.zoneStart));
        insert.Bind(15, DateToLinear(change.zoneEnd));
        insert.Bind(16, int64_t{change.handwritten});
        if (insert.Step() != SQLITE_DONE) {
            return SqlError("cannot save the appointment's changed occurrences");
        }
    }
    return {};
}

Result<std::vector<calendar::OccurrenceChange>> StoreDatabase::ReadChanges(int32_t seriesOid) {
    Statement select(
        Prepare(std::string("SELECT ") + kChangeColumns +
                " FROM occurrence_changes WHERE series_oid = ? ORDER BY recurrence_id"));
    if (!select.ok()) {
        return SqlError("cannot read the changed occurrences");
    }
    select.Bind(1, int64_t{seriesOid});
    std::vector<calendar::OccurrenceChange> changes;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        changes.push_back(ReadChange(select));
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the changed occurrences");
    }
    return changes;
}

Result<void> StoreDatabase::WriteTask(calendar::TaskRecord& record) {
    if (record.oid == 0) {
        auto oid = NewObjectId(kTaskKind);
        if (!oid) {
            return oid.error();
        }
        record.oid = *oid;
    }
    if (record.uid.empty()) {
        record.uid = NewItemUid();
    }
    if (auto calendarOf = CalendarOfItem("tasks", record.oid, record.calendarId); calendarOf) {
        record.calendarId = *calendarOf;
    } else {
        return calendarOf.error();
    }
    calendar::CarryIntoZone(record);
    auto definition = DefinitionId(record.dueZone);
    if (!definition) {
        return definition.error();
    }
    Statement upsert(Prepare(std::string("INSERT OR REPLACE INTO tasks(") + kTaskWriteColumns +
                             ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (!upsert.ok()) {
        return SqlError("cannot save the task");
    }
    upsert.Bind(1, int64_t{record.oid});
    upsert.Bind(2, DateToLinear(record.dueDate));
    upsert.Bind(3, DateToLinear(record.dateCompleted));
    upsert.Bind(4, int64_t{record.complete});
    upsert.Bind(5, record.subject);
    upsert.Bind(6, record.body);
    upsert.Bind(7, record.categories);
    upsert.Bind(8, record.uid);
    upsert.Bind(9, record.extraProperties);
    upsert.Bind(10, record.dueZone.zoned() ? record.dueZone.tzid : std::string());
    upsert.Bind(11, DateToLinear(record.zoneDue));
    upsert.Bind(12, *definition);
    upsert.Bind(13, record.calendarId);
    if (upsert.Step() != SQLITE_DONE) {
        return SqlError("cannot save the task");
    }
    return {};
}

Result<void> StoreDatabase::SaveAppointment(calendar::AppointmentRecord& record) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto writable = CheckWritable("appointments", record.oid, record.calendarId); !writable) {
        return writable;
    }
    calendar::AppointmentRecord written = record;
    Normalize(written);
    std::optional<calendar::AppointmentRecord> stored;
    if (written.oid != 0) {
        if (Result<calendar::AppointmentRecord> loaded = LoadAppointment(written.oid)) {
            stored = std::move(loaded).value();
        }
    }
    const int64_t now = std::time(nullptr);
    const bool announce = stored && !SameTimesAndState(*stored, written);
    written.extraProperties = calendar::StampedAsChanged(written.extraProperties, now, announce);
    StampChangedOccurrences(stored ? &*stored : nullptr, written, now);
    if (auto saved = WriteAppointment(written, Presence::MayBeStored); !saved) {
        return saved;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot save the appointment");
    }
    record = std::move(written);
    return {};
}

Result<void> StoreDatabase::SaveTask(calendar::TaskRecord& record) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto writable = CheckWritable("tasks", record.oid, record.calendarId); !writable) {
        return writable;
    }
    calendar::TaskRecord written = record;
    bool announce = false;
    if (written.oid != 0) {
        if (Result<calendar::TaskRecord> stored = LoadTask(written.oid)) {
            calendar::TaskRecord compared = written;
            Normalize(compared);
            announce = stored->dueDate != compared.dueDate || stored->complete != compared.complete;
        }
    }
    written.extraProperties =
        calendar::StampedAsChanged(written.extraProperties, std::time(nullptr), announce);
    if (auto saved = WriteTask(written); !saved) {
        return saved;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot save the task");
    }
    record = std::move(written);
    return {};
}

Result<void> StoreDatabase::AddAll(std::vector<calendar::AppointmentRecord>& appointments,
                                   std::vector<calendar::TaskRecord>& tasks) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    std::vector<calendar::AppointmentRecord> writtenAppointments = appointments;
    std::vector<calendar::TaskRecord> writtenTasks = tasks;
    for (calendar::AppointmentRecord& record : writtenAppointments) {
        record.oid = 0;
        if (auto saved = WriteAppointment(record, Presence::New); !saved) {
            return saved;
        }
    }
    for (calendar::TaskRecord& record : writtenTasks) {
        record.oid = 0;
        if (auto saved = WriteTask(record); !saved) {
            return saved;
        }
    }
    if (!transaction.Commit()) {
        return SqlError("cannot add the items");
    }
    appointments = std::move(writtenAppointments);
    tasks = std::move(writtenTasks);
    return {};
}

Result<int32_t> StoreDatabase::FindByUid(const char* table, const std::string& uid) {
    Statement select(Prepare(std::string("SELECT min(oid) FROM ") + table + " WHERE uid = ?"));
    if (!select.ok()) {
        return SqlError("cannot look up the UID");
    }
    select.Bind(1, uid);
    if (select.Step() != SQLITE_ROW) {
        return SqlError("cannot look up the UID");
    }
    return select.IsNull(0) ? 0 : static_cast<int32_t>(select.Integer(0));
}

namespace {

// A series and an occurrence of it that came alone (an invitation to one meeting) with the same
// UID, the stored one and the incoming one in either order, as the series with that occurrence
// among its changes. The incoming series is taken whole; a change it already has of the same
// occurrence is kept over the lone one. False when the two are not such a pair.
bool JoinSeries(const calendar::AppointmentRecord& stored,
                const calendar::AppointmentRecord& incoming, calendar::AppointmentRecord& joined) {
    const bool loneComes = stored.recurrence.recurs() && calendar::IsLoneOccurrence(incoming);
    const bool seriesComes = incoming.recurrence.recurs() && calendar::IsLoneOccurrence(stored);
    if (!loneComes && !seriesComes) {
        return false;
    }
    const calendar::AppointmentRecord& series = loneComes ? stored : incoming;
    const calendar::AppointmentRecord& lone = loneComes ? incoming : stored;
    const std::optional<Date> id = calendar::LoneOccurrenceId(lone, series);
    if (!id) {
        return false;
    }
    joined = series;
    joined.oid = stored.oid;
    joined.calendarId = stored.calendarId;
    calendar::PutChange(joined, calendar::AsChangeOf(series, lone, *id, false), loneComes);
    return true;
}

}  // namespace

Result<UidSave> StoreDatabase::SaveAppointmentByUid(calendar::AppointmentRecord& record,
                                                    calendar::ItemFields given,
                                                    calendar::UidSource source) {
    Normalize(record);
    int32_t stored = 0;
    if (!record.uid.empty()) {
        auto found = FindByUid("appointments", record.uid);
        if (!found) {
            return found.error();
        }
        stored = *found;
    }
    if (stored == 0) {
        record.oid = 0;
        if (auto added = WriteAppointment(record, Presence::New); !added) {
            return added.error();
        }
        return UidSave::Added;
    }
    auto current = LoadAppointment(stored);
    if (!current) {
        return current.error();
    }
    if (source == calendar::UidSource::CalendarFile &&
        !CheckWritable("appointments", current->oid, current->calendarId)) {
        // A file's copy of an item of a feed or a calendar that cannot be written leaves it.
        record = std::move(current).value();
        return UidSave::Unchanged;
    }
    calendar::AppointmentRecord merged;
    if (source == calendar::UidSource::CalendarFile && JoinSeries(*current, record, merged)) {
        // The series and its occurrence that came alone are one item from now on.
    } else if (source == calendar::UidSource::CalendarFile &&
               calendar::IsEarlierVersion(record.extraProperties, current->extraProperties)) {
        record = std::move(current).value();
        return UidSave::Earlier;
    } else {
        merged = MergeAppointment(*current, std::move(record), given);
    }
    Normalize(merged);
    record = std::move(merged);
    if (record == *current) {
        return UidSave::Unchanged;
    }
    if (auto updated = WriteAppointment(record, Presence::MayBeStored); !updated) {
        return updated.error();
    }
    return UidSave::Updated;
}

Result<UidSave> StoreDatabase::SaveTaskByUid(calendar::TaskRecord& record,
                                             calendar::ItemFields given,
                                             calendar::UidSource source) {
    Normalize(record);
    int32_t stored = 0;
    if (!record.uid.empty()) {
        auto found = FindByUid("tasks", record.uid);
        if (!found) {
            return found.error();
        }
        stored = *found;
    }
    if (stored == 0) {
        record.oid = 0;
        if (auto added = WriteTask(record); !added) {
            return added.error();
        }
        return UidSave::Added;
    }
    auto current = LoadTask(stored);
    if (!current) {
        return current.error();
    }
    if (source == calendar::UidSource::CalendarFile &&
        !CheckWritable("tasks", current->oid, current->calendarId)) {
        record = std::move(current).value();
        return UidSave::Unchanged;
    }
    if (source == calendar::UidSource::CalendarFile &&
        calendar::IsEarlierVersion(record.extraProperties, current->extraProperties)) {
        record = std::move(current).value();
        return UidSave::Earlier;
    }
    record = MergeTask(*current, std::move(record), given);
    Normalize(record);
    if (record == *current) {
        return UidSave::Unchanged;
    }
    if (auto updated = WriteTask(record); !updated) {
        return updated.error();
    }
    return UidSave::Updated;
}

Result<void> StoreDatabase::SaveAllByUid(std::vector<calendar::AppointmentRecord>& appointments,
                                         const std::vector<calendar::ItemFields>& appointmentsGive,
                                         std::vector<calendar::TaskRecord>& tasks,
                                         const std::vector<calendar::ItemFields>& tasksGive,
                                         calendar::UidSource source,
                                         std::vector<UidSave>& outcomes) {
    if ((!appointmentsGive.empty() && appointmentsGive.size() != appointments.size()) ||
        (!tasksGive.empty() && tasksGive.size() != tasks.size())) {
        return Error{"the properties given do not match the items"};
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    std::vector<UidSave> results;
    results.reserve(appointments.size() + tasks.size());
    for (size_t i = 0; i < appointments.size(); ++i) {
        const calendar::ItemFields given =
            appointmentsGive.empty() ? calendar::ItemFields::All() : appointmentsGive[i];
        auto saved = SaveAppointmentByUid(appointments[i], given, source);
        if (!saved) {
            return saved.error();
        }
        results.push_back(*saved);
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        const calendar::ItemFields given =
            tasksGive.empty() ? calendar::ItemFields::All() : tasksGive[i];
        auto saved = SaveTaskByUid(tasks[i], given, source);
        if (!saved) {
            return saved.error();
        }
        results.push_back(*saved);
    }
    if (!transaction.Commit()) {
        return SqlError("cannot store the items");
    }
    outcomes = std::move(results);
    return {};
}

Result<int> StoreDatabase::RemoveItemRows(int32_t oid) {
    int removed = 0;
    for (const char* sql :
         {"DELETE FROM appointments WHERE oid = ?", "DELETE FROM tasks WHERE oid = ?",
          "DELETE FROM object_ids WHERE oid = ?",
          "DELETE FROM occurrence_changes WHERE series_oid = ?"}) {
        Statement remove(Prepare(sql));
        remove.Bind(1, int64_t{oid});
        if (!remove.ok() || remove.Step() != SQLITE_DONE) {
            return SqlError("cannot delete the item");
        }
        removed += sqlite3_changes(db_);
    }
    return removed;
}

Result<void> StoreDatabase::DeleteItem(int32_t oid) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    for (const char* table : {"appointments", "tasks"}) {
        if (auto writable = CheckWritable(table, oid, 0); !writable) {
            return writable;
        }
    }
    auto removed = RemoveItemRows(oid);
    if (!removed) {
        return removed.error();
    }
    if (*removed == 0) {
        return Error{"no item has the object id " + std::to_string(oid)};
    }
    if (!transaction.Commit()) {
        return SqlError("cannot delete the item");
    }
    return {};
}

Result<calendar::AppointmentRecord> StoreDatabase::LoadAppointment(int32_t oid) {
    Statement select(
        Prepare(std::string("SELECT ") + kAppointmentColumns + " FROM appointments WHERE oid = ?"));
    select.Bind(1, int64_t{oid});
    if (!select.ok()) {
        return SqlError("cannot read the appointment");
    }
    const int step = select.Step();
    if (step == SQLITE_DONE) {
        return Error{"no appointment has the object id " + std::to_string(oid)};
    }
    if (step != SQLITE_ROW) {
        return SqlError("cannot read the appointment");
    }
    calendar::AppointmentRecord record = ReadAppointment(select);
    if (select.Integer(kChangesColumn) > 0) {
        auto changes = ReadChanges(oid);
        if (!changes) {
            return changes.error();
        }
        record.recurrence.changes = std::move(changes).value();
    }
    return record;
}

Result<calendar::TaskRecord> StoreDatabase::LoadTask(int32_t oid) {
    Statement select(Prepare(std::string("SELECT ") + kTaskColumns + " FROM tasks WHERE oid = ?"));
    select.Bind(1, int64_t{oid});
    if (!select.ok()) {
        return SqlError("cannot read the task");
    }
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return ReadTask(select);
    }
    if (step == SQLITE_DONE) {
        return Error{"no task has the object id " + std::to_string(oid)};
    }
    return SqlError("cannot read the task");
}

}  // namespace store

#include "platform/pim/store_database.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>

#include "platform/pim/ical_extras.h"
#include "platform/pim/item_uid.h"
#include "platform/pim/recurrence_expander.h"
#include "platform/pim/store_statement.h"

namespace pim {
namespace {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

constexpr int kSchemaVersion = 5;
constexpr int64_t kLargestObjectId = std::numeric_limits<int32_t>::max();

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS store_info(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
-- Object ids come from one sequence for both kinds; AUTOINCREMENT never hands one out twice.
CREATE TABLE IF NOT EXISTS object_ids(oid INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL);
-- Appointments are kept in time order (series apart from single items), so that the rows of
-- one window lie together on a few pages; the object id finds a row through its own index.
CREATE TABLE IF NOT EXISTS appointments(
  oid INTEGER NOT NULL UNIQUE,
  recurring INTEGER NOT NULL,
  start REAL NOT NULL,              -- local time on the linear axis
  end REAL NOT NULL,
  all_day INTEGER NOT NULL,
  reminder INTEGER NOT NULL,
  subject TEXT NOT NULL, location TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  uid TEXT NOT NULL, extra TEXT NOT NULL,
  rule TEXT NOT NULL, tzid TEXT NOT NULL, zone_start REAL NOT NULL,
  exdates TEXT NOT NULL, rdates TEXT NOT NULL,
  expansion_rule TEXT NOT NULL,
  last_end REAL,                    -- NULL: the series never ends
  cancelled INTEGER NOT NULL DEFAULT 0,
  changes INTEGER NOT NULL DEFAULT 0,  -- rows of the series in occurrence_changes
  PRIMARY KEY(recurring, start, oid)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS endless_series ON appointments(last_end) WHERE recurring = 1;
CREATE TABLE IF NOT EXISTS tasks(
  oid INTEGER PRIMARY KEY,
  due REAL NOT NULL,                -- linear; an undated task holds the no-date value
  completed REAL NOT NULL,
  complete INTEGER NOT NULL,
  subject TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  uid TEXT NOT NULL, extra TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS tasks_by_due ON tasks(due);
-- The corner panel asks for open tasks, and for those completed on one day.
CREATE INDEX IF NOT EXISTS tasks_by_completion ON tasks(complete, due, oid);
CREATE INDEX IF NOT EXISTS tasks_by_completion_date ON tasks(completed);
)sql";

// Version 3: identities, cancelled items and changed occurrences. Run after kSchema on a new
// store, and on a store of version 2 to bring it up.
constexpr const char* kVersion3 = R"sql(
-- Occurrences of a series changed or cancelled on their own (RECURRENCE-ID), read with it.
CREATE TABLE IF NOT EXISTS occurrence_changes(
  series_oid INTEGER NOT NULL,
  recurrence_id REAL NOT NULL,      -- linear, wall clock of the series' zone
  this_and_future INTEGER NOT NULL,
  cancelled INTEGER NOT NULL,
  start REAL NOT NULL, end REAL NOT NULL,
  all_day INTEGER NOT NULL, reminder INTEGER NOT NULL,
  subject TEXT NOT NULL, location TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  extra TEXT NOT NULL,
  PRIMARY KEY(series_oid, recurrence_id)
) WITHOUT ROWID;
-- An import finds the item a calendar's UID names.
CREATE INDEX IF NOT EXISTS appointments_by_uid ON appointments(uid);
-- Memos whose first line may name an ink file ("12.dat"), found when one is to be deleted.
CREATE INDEX IF NOT EXISTS numbered_memos ON appointments(body) WHERE body GLOB '[0-9]*';
CREATE INDEX IF NOT EXISTS tasks_by_uid ON tasks(uid);
)sql";

// Version 4: what the calendar server last held of each item, and the changes and deletions
// made here that it has not seen yet. Triggers keep the marks, so that every path that saves or
// deletes an item marks it, whichever program runs it. Items stored before are all to upload.
constexpr const char* kSyncStateVersion = R"sql(
CREATE TABLE IF NOT EXISTS sync_items(
  kind INTEGER NOT NULL,                  -- 1 appointment, 2 task
  uid TEXT NOT NULL,
  href TEXT NOT NULL DEFAULT '',          -- '': not on the server yet
  etag TEXT NOT NULL DEFAULT '',
  revision INTEGER NOT NULL DEFAULT 0,    -- changes here since last in step; 0: in step
  changed_at INTEGER NOT NULL DEFAULT 0,  -- seconds since 1970 UTC
  deleted INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(kind, uid)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS sync_items_by_href ON sync_items(href) WHERE href <> '';
CREATE TABLE IF NOT EXISTS sync_collections(url TEXT PRIMARY KEY, token TEXT NOT NULL) WITHOUT ROWID;
CREATE TRIGGER IF NOT EXISTS appointment_saved_for_sync AFTER INSERT ON appointments BEGIN
  INSERT INTO sync_items(kind, uid, revision, changed_at)
    VALUES(1, NEW.uid, 1, CAST(strftime('%s', 'now') AS INTEGER))
    ON CONFLICT(kind, uid) DO UPDATE
    SET revision = revision + 1, changed_at = excluded.changed_at, deleted = 0;
END;
CREATE TRIGGER IF NOT EXISTS task_saved_for_sync AFTER INSERT ON tasks BEGIN
  INSERT INTO sync_items(kind, uid, revision, changed_at)
    VALUES(2, NEW.uid, 1, CAST(strftime('%s', 'now') AS INTEGER))
    ON CONFLICT(kind, uid) DO UPDATE
    SET revision = revision + 1, changed_at = excluded.changed_at, deleted = 0;
END;
-- A deletion the server never needs to hear of (the item never reached it) is forgotten at once.
CREATE TRIGGER IF NOT EXISTS appointment_deleted_for_sync AFTER DELETE ON appointments
WHEN NOT EXISTS (SELECT 1 FROM appointments WHERE uid = OLD.uid) BEGIN
  DELETE FROM sync_items WHERE kind = 1 AND uid = OLD.uid AND href = '';
  UPDATE sync_items SET deleted = 1, revision = revision + 1,
    changed_at = CAST(strftime('%s', 'now') AS INTEGER) WHERE kind = 1 AND uid = OLD.uid;
END;
CREATE TRIGGER IF NOT EXISTS task_deleted_for_sync AFTER DELETE ON tasks
WHEN NOT EXISTS (SELECT 1 FROM tasks WHERE uid = OLD.uid) BEGIN
  DELETE FROM sync_items WHERE kind = 2 AND uid = OLD.uid AND href = '';
  UPDATE sync_items SET deleted = 1, revision = revision + 1,
    changed_at = CAST(strftime('%s', 'now') AS INTEGER) WHERE kind = 2 AND uid = OLD.uid;
END;
INSERT OR IGNORE INTO sync_items(kind, uid, revision, changed_at)
  SELECT 1, uid, 1, CAST(strftime('%s', 'now') AS INTEGER) FROM appointments;
INSERT OR IGNORE INTO sync_items(kind, uid, revision, changed_at)
  SELECT 2, uid, 1, CAST(strftime('%s', 'now') AS INTEGER) FROM tasks;
)sql";

// Version 5: the reminders that have rung, one row for each occurrence and reminder time, so
// that a reminder rings once however many services watch the store.
constexpr const char* kFiredRemindersVersion = R"sql(
CREATE TABLE IF NOT EXISTS fired_reminders(
  oid INTEGER NOT NULL,
  occurrence REAL NOT NULL,         -- linear recurrence id; 0 for a single appointment
  ring_at REAL NOT NULL,            -- linear local time it was due
  fired_at REAL NOT NULL,
  late INTEGER NOT NULL,
  PRIMARY KEY(oid, occurrence, ring_at)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS fired_reminders_by_time ON fired_reminders(ring_at);
)sql";

// A store of version 2 lacks the columns a new one has from kSchema.
constexpr const char* kColumnsOfVersion3 = R"sql(
ALTER TABLE appointments ADD COLUMN cancelled INTEGER NOT NULL DEFAULT 0;
ALTER TABLE appointments ADD COLUMN changes INTEGER NOT NULL DEFAULT 0;
-- Items stored before identities were kept take the UIDs their exports were given.
UPDATE appointments SET uid = 'tessarinth-' || oid || '@localhost' WHERE uid = '';
UPDATE tasks SET uid = 'tessarinth-task-' || oid || '@localhost' WHERE uid = '';
-- Cancelled events were imported with their STATUS line kept as it stood.
UPDATE appointments SET cancelled = 1
  WHERE char(13, 10) || extra || char(13, 10) LIKE '%' || char(13, 10) || 'STATUS:CANCELLED' ||
        char(13, 10) || '%';
)sql";

constexpr const char* kLongestSpan = "longest_span";
constexpr const char* kLongestSeriesSpan = "longest_series_span";
constexpr const char* kLongestSeriesAdvance = "longest_series_advance";

constexpr const char* kAppointmentColumns =
    "oid, start, end, all_day, reminder, subject, location, body, categories, uid, extra, rule, "
    "tzid, zone_start, exdates, rdates, cancelled, changes, expansion_rule";
// Where expansion_rule lies in a row read with kAppointmentColumns.
constexpr int kExpansionRuleColumn = 18;
constexpr int kChangesColumn = 17;

constexpr const char* kChangeColumns =
    "recurrence_id, this_and_future, cancelled, start, end, all_day, reminder, subject, location, "
    "body, categories, extra";

constexpr const char* kTaskColumns =
    "oid, due, completed, complete, subject, body, categories, uid, extra";

std::string JoinDates(const std::vector<Date>& dates) {
    std::string text;
    char buffer[40];
    for (Date date : dates) {
        std::snprintf(buffer, sizeof buffer, "%.17g", date);
        if (!text.empty()) {
            text += ' ';
        }
        text += buffer;
    }
    return text;
}

std::vector<Date> SplitDates(const std::string& text) {
    std::vector<Date> dates;
    const char* at = text.c_str();
    while (*at != '\0') {
        char* end = nullptr;
        const double date = std::strtod(at, &end);
        if (end == at) {
            break;
        }
        dates.push_back(date);
        at = end;
    }
    return dates;
}

AppointmentRecord ReadAppointment(const Statement& row) {
    AppointmentRecord record;
    record.oid = static_cast<int32_t>(row.Integer(0));
    record.start = LinearToDate(row.Real(1));
    record.end = LinearToDate(row.Real(2));
    record.allDay = row.Integer(3) != 0;
    record.reminderSet = row.Integer(4) != 0;
    record.subject = row.Text16(5);
    record.location = row.Text16(6);
    record.body = row.Text16(7);
    record.categories = row.Text16(8);
    record.uid = row.Text(9);
    record.extraProperties = row.Text(10);
    record.recurrence.rule = row.Text(11);
    record.recurrence.tzid = row.Text(12);
    record.recurrence.zoneStart = LinearToDate(row.Real(13));
    record.recurrence.exceptionDates = SplitDates(row.Text(14));
    record.recurrence.extraDates = SplitDates(row.Text(15));
    record.cancelled = row.Integer(16) != 0;
    return record;
}

OccurrenceChange ReadChange(const Statement& row) {
    OccurrenceChange change;
    change.recurrenceId = LinearToDate(row.Real(0));
    change.thisAndFuture = row.Integer(1) != 0;
    change.cancelled = row.Integer(2) != 0;
    change.start = LinearToDate(row.Real(3));
    change.end = LinearToDate(row.Real(4));
    change.allDay = row.Integer(5) != 0;
    change.reminderSet = row.Integer(6) != 0;
    change.subject = row.Text16(7);
    change.location = row.Text16(8);
    change.body = row.Text16(9);
    change.categories = row.Text16(10);
    change.extraProperties = row.Text(11);
    return change;
}

// A record as it reads back from the store, so that an update by UID can tell whether it
// changes anything.
Date Stored(Date date) {
    return LinearToDate(DateToLinear(date));
}

void Normalize(AppointmentRecord& record) {
    record.start = Stored(record.start);
    record.end = Stored(record.end);
    Recurrence& recurrence = record.recurrence;
    if (!recurrence.recurs()) {
        recurrence.zoneStart = record.start;
        recurrence.changes.clear();
    }
    recurrence.zoneStart = Stored(recurrence.zoneStart);
    for (OccurrenceChange& change : recurrence.changes) {
        change.recurrenceId = Stored(change.recurrenceId);
        change.start = Stored(change.start);
        change.end = Stored(change.end);
    }
    std::stable_sort(recurrence.changes.begin(), recurrence.changes.end(),
                     [](const OccurrenceChange& a, const OccurrenceChange& b) {
                         return DateToLinear(a.recurrenceId) < DateToLinear(b.recurrenceId);
                     });
}

void Normalize(TaskRecord& record) {
    record.dueDate = Stored(record.dueDate);
    record.dateCompleted = Stored(record.dateCompleted);
}

// The kept lines an update takes from the incoming record: those of the fields it gives (a
// SUMMARY kept for its LANGUAGE parameter, the alarms), and every property it carries itself.
std::set<std::string> TakenFromIncoming(ItemFields given) {
    std::set<std::string> names;
    if (given.Has(ItemField::Subject)) {
        names.insert("SUMMARY");
    }
    if (given.Has(ItemField::Location)) {
        names.insert("LOCATION");
    }
    if (given.Has(ItemField::Body)) {
        names.insert("DESCRIPTION");
    }
    if (given.Has(ItemField::Reminder)) {
        names.insert("VALARM");
    }
    return names;
}

// What an incoming appointment becomes when it updates the stored one of its UID.
AppointmentRecord MergeAppointment(const AppointmentRecord& stored, AppointmentRecord incoming,
                                   ItemFields given) {
    incoming.oid = stored.oid;
    if (!given.Has(ItemField::Subject)) {
        incoming.subject = stored.subject;
    }
    if (!given.Has(ItemField::Location)) {
        incoming.location = stored.location;
    }
    if (!given.Has(ItemField::Body)) {
        incoming.body = stored.body;
    }
    if (!given.Has(ItemField::Categories)) {
        incoming.categories = stored.categories;
    }
    if (!given.Has(ItemField::Reminder)) {
        incoming.reminderSet = stored.reminderSet;
    }
    incoming.extraProperties =
        MergeKeptLines(stored.extraProperties, incoming.extraProperties, TakenFromIncoming(given));
    return incoming;
}

TaskRecord MergeTask(const TaskRecord& stored, TaskRecord incoming, ItemFields given) {
    incoming.oid = stored.oid;
    if (!given.Has(ItemField::Subject)) {
        incoming.subject = stored.subject;
    }
    if (!given.Has(ItemField::Body)) {
        incoming.body = stored.body;
    }
    if (!given.Has(ItemField::Categories)) {
        incoming.categories = stored.categories;
    }
    incoming.extraProperties =
        MergeKeptLines(stored.extraProperties, incoming.extraProperties, TakenFromIncoming(given));
    return incoming;
}

TaskRecord ReadTask(const Statement& row) {
    TaskRecord record;
    record.oid = static_cast<int32_t>(row.Integer(0));
    record.dueDate = LinearToDate(row.Real(1));
    record.dateCompleted = LinearToDate(row.Real(2));
    record.complete = row.Integer(3) != 0;
    record.subject = row.Text16(4);
    record.body = row.Text16(5);
    record.categories = row.Text16(6);
    record.uid = row.Text(7);
    record.extraProperties = row.Text(8);
    return record;
}

std::optional<std::string> AppointmentColumn(Field field) {
    switch (field) {
        case Field::Start:
            return "start";
        case Field::End:
            return "end";
        case Field::AllDayEvent:
            return "all_day";
        case Field::ReminderSet:
            return "reminder";
        case Field::IsRecurring:
            return "recurring";
        case Field::Subject:
            return "subject";
        case Field::Location:
            return "location";
        case Field::Categories:
            return "categories";
        case Field::Body:
            return "body";
        default:
            return std::nullopt;
    }
}

std::optional<std::string> TaskColumn(Field field) {
    switch (field) {
        case Field::DueDate:
            return "due";
        case Field::DateCompleted:
            return "completed";
        case Field::Complete:
            return "complete";
        case Field::Subject:
            return "subject";
        case Field::Categories:
            return "categories";
        case Field::Body:
            return "body";
        default:
            return std::nullopt;
    }
}

// The fields of an appointment (or one occurrence) for evaluating a restriction in memory.
class AppointmentValues final : public FieldValues {
public:
    explicit AppointmentValues(const AppointmentRecord& record) : record_(record) {}
    std::optional<double> DateLinear(Field field) const override {
        if (field == Field::Start) {
            return DateToLinear(record_.start);
        }
        if (field == Field::End) {
            return DateToLinear(record_.end);
        }
        return std::nullopt;
    }
    std::optional<bool> Flag(Field field) const override {
        switch (field) {
            case Field::AllDayEvent:
                return record_.allDay;
            case Field::ReminderSet:
                return record_.reminderSet;
            case Field::IsRecurring:
                return record_.recurrence.recurs();
            default:
                return std::nullopt;
        }
    }
    std::optional<std::u16string_view> Text(Field field) const override {
        switch (field) {
            case Field::Subject:
                return record_.subject;
            case Field::Location:
                return record_.location;
            case Field::Categories:
                return record_.categories;
            case Field::Body:
                return record_.body;
            default:
                return std::nullopt;
        }
    }

private:
    const AppointmentRecord& record_;
};

class TaskValues final : public FieldValues {
public:
    explicit TaskValues(const TaskRecord& record) : record_(record) {}
    std::optional<double> DateLinear(Field field) const override {
        if (field == Field::DueDate) {
            return DateToLinear(record_.dueDate);
        }
        if (field == Field::DateCompleted) {
            return DateToLinear(record_.dateCompleted);
        }
        return std::nullopt;
    }
    std::optional<bool> Flag(Field field) const override {
        if (field == Field::Complete) {
            return record_.complete;
        }
        return std::nullopt;
    }
    std::optional<std::u16string_view> Text(Field field) const override {
        switch (field) {
            case Field::Subject:
                return record_.subject;
            case Field::Categories:
                return record_.categories;
            case Field::Body:
                return record_.body;
            default:
                return std::nullopt;
        }
    }

private:
    const TaskRecord& record_;
};

// Binds the parameters from `first` on and returns the next free index.
int BindParameters(Statement& statement, int first, const std::vector<SqlParameter>& parameters) {
    int index = first;
    for (const SqlParameter& parameter : parameters) {
        if (const double* number = std::get_if<double>(&parameter)) {
            statement.Bind(index++, *number);
        } else {
            statement.Bind(index++, std::get<std::string>(parameter));
        }
    }
    return index;
}

}  // namespace

Result<std::shared_ptr<StoreDatabase>> StoreDatabase::Open(const std::filesystem::path& file,
                                                           std::chrono::milliseconds busyTimeout) {
    // The store is the user's alone: made 0600 here, its journal files follow the same mode.
    const int created = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created >= 0) {
        ::close(created);
    }
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(file.c_str(), &handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        std::string message = "cannot open the schedule store " + file.string() + ": " +
                              (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(opened));
        sqlite3_close(handle);
        return Error{message};
    }
    std::shared_ptr<StoreDatabase> db(new StoreDatabase(handle));
    sqlite3_busy_timeout(handle, static_cast<int>(busyTimeout.count()));
    if (auto made = db->CreateSchema(); !made) {
        return Error{"cannot use the schedule store " + file.string() + ": " +
                     made.error().message};
    }
    return db;
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

Result<void> StoreDatabase::CreateSchema() {
    // A damaged file fails here, before anything is written to it.
    if (auto check = Execute("SELECT count(*) FROM sqlite_master"); !check) {
        return check;
    }
    // A generous page cache and memory-mapped reads keep a warm window query off the file.
    if (auto wal = Execute("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; "
                           "PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536; "
                           "PRAGMA mmap_size=268435456");
        !wal) {
        return wal;
    }
    Statement version(Prepare("PRAGMA user_version"));
    if (!version.ok() || version.Step() != SQLITE_ROW) {
        return SqlError("cannot read the store's version");
    }
    const int64_t found = version.Integer(0);
    if (found > kSchemaVersion) {
        return Error{"the store was written by a newer Tessarinth (version " +
                     std::to_string(found) + ")"};
    }
    if (found == kSchemaVersion) {
        return {};  // nothing to set up, so another process's write does not keep us out
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("cannot lock the store");
    }
    if (auto made = Execute(kSchema); !made) {
        return made;
    }
    if (found > 0 && found < 3) {
        // The tables were there before version 3, without its columns.
        if (auto upgraded = Execute(kColumnsOfVersion3); !upgraded) {
            return upgraded;
        }
    }
    if (auto made = Execute(kVersion3); !made) {
        return made;
    }
    if (auto made = Execute(kSyncStateVersion); !made) {
        return made;
    }
    if (auto made = Execute(kFiredRemindersVersion); !made) {
        return made;
    }
    if (auto set = Execute(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
        !set) {
        return set;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot set up the store");
    }
    return {};
}

double StoreDatabase::StoredSpan(const char* key) {
    Statement select(Prepare("SELECT value FROM store_info WHERE key = ?"));
    select.Bind(1, std::string(key));
    return select.ok() && select.Step() == SQLITE_ROW ? select.Real(0) : 0.0;
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

Result<void> StoreDatabase::WriteAppointment(AppointmentRecord& record, Presence presence) {
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
    const bool recurs = record.recurrence.recurs();
    if (!recurs) {
        record.recurrence.zoneStart = record.start;
        record.recurrence.changes.clear();  // a single appointment has no occurrences to change
    }
    const SeriesBounds bounds = recurs ? ComputeSeriesBounds(record) : SeriesBounds{};
    Statement upsert(
        Prepare(std::string("INSERT OR REPLACE INTO appointments(") + kAppointmentColumns +
                ", recurring, last_end) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
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
    upsert.Bind(13, record.recurrence.tzid);
    upsert.Bind(14, DateToLinear(record.recurrence.zoneStart));
    upsert.Bind(15, JoinDates(record.recurrence.exceptionDates));
    upsert.Bind(16, JoinDates(record.recurrence.extraDates));
    upsert.Bind(17, int64_t{record.cancelled});
    upsert.Bind(18, static_cast<int64_t>(record.recurrence.changes.size()));
    upsert.Bind(19, bounds.expansionRule);
    upsert.Bind(20, int64_t{recurs});
    if (recurs && bounds.lastEndLinear) {
        upsert.Bind(21, *bounds.lastEndLinear);
    } else if (recurs) {
        upsert.BindNull(21);
    } else {
        upsert.Bind(21, DateToLinear(record.end));
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

Result<void> StoreDatabase::WriteChanges(const AppointmentRecord& record, Presence presence) {
    if (presence == Presence::MayBeStored) {
        Statement remove(Prepare("DELETE FROM occurrence_changes WHERE series_oid = ?"));
        remove.Bind(1, int64_t{record.oid});
        if (!remove.ok() || remove.Step() != SQLITE_DONE) {
            return SqlError("cannot save the appointment's changed occurrences");
        }
    }
    for (const OccurrenceChange& change : record.recurrence.changes) {
        Statement insert(Prepare(std::string("INSERT OR REPLACE INTO occurrence_changes(") +
                                 "series_oid, " + kChangeColumns +
                                 ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"));
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
        if (insert.Step() != SQLITE_DONE) {
            return SqlError("cannot save the appointment's changed occurrences");
        }
    }
    return {};
}

Result<std::vector<OccurrenceChange>> StoreDatabase::ReadChanges(int32_t seriesOid) {
    Statement select(
        Prepare(std::string("SELECT ") + kChangeColumns +
                " FROM occurrence_changes WHERE series_oid = ? ORDER BY recurrence_id"));
    if (!select.ok()) {
        return SqlError("cannot read the changed occurrences");
    }
    select.Bind(1, int64_t{seriesOid});
    std::vector<OccurrenceChange> changes;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        changes.push_back(ReadChange(select));
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the changed occurrences");
    }
    return changes;
}

Result<void> StoreDatabase::WriteTask(TaskRecord& record) {
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
    Statement upsert(Prepare(std::string("INSERT OR REPLACE INTO tasks(") + kTaskColumns +
                             ") VALUES(?,?,?,?,?,?,?,?,?)"));
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
    if (upsert.Step() != SQLITE_DONE) {
        return SqlError("cannot save the task");
    }
    return {};
}

Result<void> StoreDatabase::SaveAppointment(AppointmentRecord& record) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    AppointmentRecord written = record;
    if (auto saved = WriteAppointment(written, Presence::MayBeStored); !saved) {
        return saved;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot save the appointment");
    }
    record = std::move(written);
    return {};
}

Result<void> StoreDatabase::SaveTask(TaskRecord& record) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    TaskRecord written = record;
    if (auto saved = WriteTask(written); !saved) {
        return saved;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot save the task");
    }
    record = std::move(written);
    return {};
}

Result<void> StoreDatabase::AddAll(std::vector<AppointmentRecord>& appointments,
                                   std::vector<TaskRecord>& tasks) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    std::vector<AppointmentRecord> writtenAppointments = appointments;
    std::vector<TaskRecord> writtenTasks = tasks;
    for (AppointmentRecord& record : writtenAppointments) {
        record.oid = 0;
        if (auto saved = WriteAppointment(record, Presence::New); !saved) {
            return saved;
        }
    }
    for (TaskRecord& record : writtenTasks) {
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

Result<UidSave> StoreDatabase::SaveAppointmentByUid(AppointmentRecord& record, ItemFields given) {
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
    AppointmentRecord merged = MergeAppointment(*current, std::move(record), given);
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

Result<UidSave> StoreDatabase::SaveTaskByUid(TaskRecord& record, ItemFields given) {
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

Result<void> StoreDatabase::SaveAllByUid(std::vector<AppointmentRecord>& appointments,
                                         const std::vector<ItemFields>& appointmentsGive,
                                         std::vector<TaskRecord>& tasks,
                                         const std::vector<ItemFields>& tasksGive,
                                         std::vector<UidSave>& outcomes) {
    if ((!appointmentsGive.empty() && appointmentsGive.size() != appointments.size()) ||
        (!tasksGive.empty() && tasksGive.size() != tasks.size())) {
        return Error{"the properties given do not match the items"};
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    std::vector<AppointmentRecord> writtenAppointments = appointments;
    std::vector<TaskRecord> writtenTasks = tasks;
    std::vector<UidSave> results;
    results.reserve(appointments.size() + tasks.size());
    for (size_t i = 0; i < writtenAppointments.size(); ++i) {
        const ItemFields given = appointmentsGive.empty() ? ItemFields::All() : appointmentsGive[i];
        auto saved = SaveAppointmentByUid(writtenAppointments[i], given);
        if (!saved) {
            return saved.error();
        }
        results.push_back(*saved);
    }
    for (size_t i = 0; i < writtenTasks.size(); ++i) {
        const ItemFields given = tasksGive.empty() ? ItemFields::All() : tasksGive[i];
        auto saved = SaveTaskByUid(writtenTasks[i], given);
        if (!saved) {
            return saved.error();
        }
        results.push_back(*saved);
    }
    if (!transaction.Commit()) {
        return SqlError("cannot store the items");
    }
    appointments = std::move(writtenAppointments);
    tasks = std::move(writtenTasks);
    outcomes = std::move(results);
    return {};
}

Result<void> StoreDatabase::DeleteItem(int32_t oid) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
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
    if (removed == 0) {
        return Error{"no item has the object id " + std::to_string(oid)};
    }
    if (!transaction.Commit()) {
        return SqlError("cannot delete the item");
    }
    return {};
}

Result<AppointmentRecord> StoreDatabase::LoadAppointment(int32_t oid) {
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
    AppointmentRecord record = ReadAppointment(select);
    if (select.Integer(kChangesColumn) > 0) {
        auto changes = ReadChanges(oid);
        if (!changes) {
            return changes.error();
        }
        record.recurrence.changes = std::move(changes).value();
    }
    return record;
}

Result<TaskRecord> StoreDatabase::LoadTask(int32_t oid) {
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

Result<std::vector<AppointmentHit>> StoreDatabase::QueryAppointments(
    const AppointmentQuery& query) {
    std::optional<SqlFilter> filter;
    LinearRange startRange;
    LinearRange endRange;
    if (query.restriction) {
        filter = ToSql(*query.restriction, AppointmentColumn);
        startRange = ImpliedRange(*query.restriction, Field::Start);
        endRange = ImpliedRange(*query.restriction, Field::End);
    }
    // A read transaction gives the single items and the series one consistent snapshot.
    if (auto begun = Execute("BEGIN"); !begun) {
        return begun.error();
    }
    struct EndRead {
        StoreDatabase* db;
        ~EndRead() { (void)db->Execute("COMMIT"); }
    } endRead{this};
    const double longestSpan = StoredSpan(kLongestSpan);
    const double longestSeriesSpan = StoredSpan(kLongestSeriesSpan);
    const double longestSeriesAdvance = StoredSpan(kLongestSeriesAdvance);
    const char* const shown = query.includeCancelled ? "" : " AND cancelled = 0";

    std::vector<AppointmentHit> hits;
    // Each statement's rows in object id order, unless the caller sorts them: ordered here,
    // as pointers, rather than by SQLite, which would sort whole rows in a temporary tree.
    auto collect = [&](Statement& select, bool expand) -> Result<void> {
        const size_t firstOfStatement = hits.size();
        auto inObjectIdOrder = [&]() {
            if (!query.callerSorts) {
                std::stable_sort(hits.begin() + static_cast<std::ptrdiff_t>(firstOfStatement),
                                 hits.end(), [](const AppointmentHit& a, const AppointmentHit& b) {
                                     return a.record->oid < b.record->oid;
                                 });
            }
        };
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            auto shared = std::make_shared<AppointmentRecord>(ReadAppointment(select));
            AppointmentRecord& record = *shared;
            if (select.Integer(kChangesColumn) > 0) {
                auto changes = ReadChanges(record.oid);
                if (!changes) {
                    return changes.error();
                }
                record.recurrence.changes = std::move(changes).value();
            }
            if (!expand) {
                if (filter || !query.restriction ||
                    Matches(*query.restriction, AppointmentValues(record))) {
                    hits.push_back({std::move(shared), false, 0, false});
                }
                continue;
            }
            double from = -1e300;
            if (startRange.lower) {
                from = *startRange.lower;
            }
            if (endRange.lower) {
                from = std::max(from, *endRange.lower - LongestOccurrence(record));
            }
            for (const Occurrence& occurrence : ExpandStoredOccurrences(
                     record, select.Text(kExpansionRuleColumn), from, startRange.upper)) {
                auto instance =
                    std::make_shared<AppointmentRecord>(OccurrenceRecord(record, occurrence));
                if (!query.restriction ||
                    Matches(*query.restriction, AppointmentValues(*instance))) {
                    hits.push_back({std::move(instance), true, occurrence.recurrenceId,
                                    occurrence.change != nullptr});
                }
            }
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot read appointments");
        }
        inObjectIdOrder();
        return {};
    };

    // Single appointments (and, without expansion, the series as stored).
    {
        std::string sql =
            std::string("SELECT ") + kAppointmentColumns + " FROM appointments WHERE ";
        sql += query.expandRecurrences ? "recurring = 0" : "1";
        sql += shown;
        if (filter) {
            sql += " AND (" + filter->where + ")";
        }
        if (endRange.lower) {
            // Nothing that starts earlier than the longest span before the window can reach it.
            sql += " AND start >= ?";
        }
        Statement select(Prepare(sql));
        if (!select.ok()) {
            return SqlError("cannot query appointments");
        }
        int next = 1;
        if (filter) {
            next = BindParameters(select, next, filter->parameters);
        }
        if (endRange.lower) {
            select.Bind(next, *endRange.lower - longestSpan);
        }
        if (auto read = collect(select, false); !read) {
            return read.error();
        }
    }
    if (query.expandRecurrences) {
        // Series that end are found like single items, by a start range; the few that never
        // end are always candidates. A changed occurrence may start before its series does.
        const std::optional<double> reach = endRange.lower ? endRange.lower : startRange.lower;
        for (const bool endless : {false, true}) {
            std::string sql = std::string("SELECT ") + kAppointmentColumns +
                              " FROM appointments WHERE recurring = 1 AND " +
                              (endless ? "last_end IS NULL" : "last_end IS NOT NULL") + shown;
            if (startRange.upper) {
                sql += " AND start < ?";
            }
            if (reach && !endless) {
                sql += " AND start >= ? AND last_end >= ?";
            }
            Statement select(Prepare(sql));
            if (!select.ok()) {
                return SqlError("cannot query recurring appointments");
            }
            int next = 1;
            if (startRange.upper) {
                select.Bind(next++, *startRange.upper + longestSeriesAdvance);
            }
            if (reach && !endless) {
                select.Bind(next++, *reach - longestSeriesSpan);
                select.Bind(next, *reach);
            }
            if (auto read = collect(select, true); !read) {
                return read.error();
            }
        }
    }
    return hits;
}

Result<bool> StoreDatabase::IsFirstBodyLineElsewhere(std::u16string_view firstLine,
                                                     int32_t exceptOid) {
    // A body names its first line exactly, or it and a line break: such a body sorts from the
    // name and a line feed to the name and a carriage return. A name that begins with a digit
    // (as ink files do) is looked up among the numbered memos only.
    const std::u16string name(firstLine);
    const bool numbered = !name.empty() && name.front() >= u'0' && name.front() <= u'9';
    const std::string names = std::string(numbered ? "body GLOB '[0-9]*' AND " : "") +
                              "(body = ?1 OR (body >= ?1 || char(10) AND body < ?1 || char(14) AND "
                              "substr(body, length(?1) + 1, 1) IN (char(10), char(13))))";
    for (const bool changes : {false, true}) {
        Statement select(Prepare(
            changes ? "SELECT 1 FROM occurrence_changes WHERE " + names + " LIMIT 1"
                    : "SELECT 1 FROM appointments WHERE oid <> ?2 AND " + names + " LIMIT 1"));
        if (!select.ok()) {
            return SqlError("cannot look for the memo's other users");
        }
        select.Bind(1, name);
        if (!changes) {
            select.Bind(2, int64_t{exceptOid});
        }
        const int step = select.Step();
        if (step == SQLITE_ROW) {
            return true;
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot look for the memo's other users");
        }
    }
    return false;
}

Result<StoreDatabase::TaskPage> StoreDatabase::QueryTaskPage(
    const Restriction* restriction, const std::optional<TaskPageKey>& after, size_t limit) {
    // Each alternative becomes a SELECT of its own, joined by UNION: SQLite then merges the
    // ordered index scans instead of sorting every task the `or` as a whole selects.
    std::vector<SqlFilter> alternatives;
    if (restriction) {
        for (const Restriction& alternative : restriction->Alternatives()) {
            std::optional<SqlFilter> filter = ToSql(alternative, TaskColumn);
            if (!filter) {
                alternatives.clear();
                break;
            }
            alternatives.push_back(std::move(*filter));
        }
    }
    const bool inSql = !restriction || !alternatives.empty();
    const std::string afterCondition = after ? "(due, oid) > (?, ?)" : "";
    const auto select = [&](const std::string& condition) {
        std::string sql = std::string("SELECT ") + kTaskColumns + " FROM tasks";
        if (!condition.empty() && !afterCondition.empty()) {
            return sql + " WHERE (" + condition + ") AND " + afterCondition;
        }
        if (!condition.empty() || !afterCondition.empty()) {
            return sql + " WHERE " + condition + afterCondition;
        }
        return sql;
    };
    std::string sql;
    if (alternatives.empty()) {
        sql = select("");
    }
    for (const SqlFilter& alternative : alternatives) {
        sql += (sql.empty() ? "" : " UNION ") + select(alternative.where);
    }
    sql += " ORDER BY due, oid";
    if (inSql) {
        sql += " LIMIT ?";
    }
    Statement query(Prepare(sql));
    if (!query.ok()) {
        return SqlError("cannot query tasks");
    }
    int next = 1;
    const auto bindAfter = [&] {
        if (after) {
            query.Bind(next++, after->due);
            query.Bind(next++, after->oid);
        }
    };
    if (alternatives.empty()) {
        bindAfter();
    }
    for (const SqlFilter& alternative : alternatives) {
        next = BindParameters(query, next, alternative.parameters);
        bindAfter();
    }
    if (inSql) {
        query.Bind(next, static_cast<int64_t>(limit));
    }
    TaskPage page;
    int step = SQLITE_DONE;
    while (page.tasks.size() < limit && (step = query.Step()) == SQLITE_ROW) {
        TaskRecord record = ReadTask(query);
        if (inSql || Matches(*restriction, TaskValues(record))) {
            page.last = TaskPageKey{query.Real(1), query.Integer(0)};
            page.tasks.push_back(std::move(record));
        }
    }
    if (page.tasks.size() < limit) {
        if (step != SQLITE_DONE) {
            return SqlError("cannot read tasks");
        }
        page.atEnd = true;
    }
    return page;
}

Result<std::vector<TaskRecord>> StoreDatabase::QueryTasks(const Restriction* restriction,
                                                          TaskOrder order) {
    std::optional<SqlFilter> filter;
    if (restriction) {
        filter = ToSql(*restriction, TaskColumn);
    }
    std::string sql = std::string("SELECT ") + kTaskColumns + " FROM tasks";
    if (filter) {
        sql += " WHERE " + filter->where;
    }
    sql += order == TaskOrder::ByDueDate ? " ORDER BY due, oid" : " ORDER BY oid";
    Statement select(Prepare(sql));
    if (!select.ok()) {
        return SqlError("cannot query tasks");
    }
    if (filter) {
        (void)BindParameters(select, 1, filter->parameters);
    }
    std::vector<TaskRecord> tasks;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        TaskRecord record = ReadTask(select);
        if (filter || !restriction || Matches(*restriction, TaskValues(record))) {
            tasks.push_back(std::move(record));
        }
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read tasks");
    }
    return tasks;
}

}  // namespace pim

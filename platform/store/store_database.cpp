#include "platform/store/store_database.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <optional>
#include <set>
#include <thread>

#include "platform/ical/ical_extras.h"
#include "platform/ical/item_zones.h"
#include "platform/ical/lone_occurrence.h"
#include "platform/store/item_uid.h"
#include "platform/store/recurrence_expander.h"
#include "platform/store/store_rows.h"
#include "platform/store/store_statement.h"

namespace pim {
namespace {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

constexpr int kSchemaVersion = 8;
constexpr int kHandwrittenMarkVersion = 6;
constexpr int kZonesKeptVersion = 6;
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

// Version 6: each item's times in the zone the calendar gave them (the local start and end are
// worked out from them for the zone in force), and the zones calendars defined themselves.
constexpr const char* kZonesVersion = R"sql(
CREATE TABLE IF NOT EXISTS zone_definitions(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);
)sql";
// Version 7: the changes made on the screen and by tessarinth-cli that can be taken back
// (UndoStep): each holds the state its item returns to, so a step costs what its item does.
constexpr const char* kUndoVersion = R"sql(
CREATE TABLE IF NOT EXISTS undo_steps(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  home TEXT NOT NULL,               -- the data home it was made in; another's never apply
  kind INTEGER NOT NULL,            -- 1 appointment, 2 task
  uid TEXT NOT NULL,
  action INTEGER NOT NULL,
  subject TEXT NOT NULL,
  made_at REAL NOT NULL,            -- linear local time
  undone INTEGER NOT NULL DEFAULT 0,
  left_as INTEGER NOT NULL,         -- fingerprint of the item as the step left it; 0: none
  return_to BLOB,                   -- the item to return to (EncodeItem); NULL: none
  ink BLOB NOT NULL                 -- the ink files its memos named (EncodeInk)
);
)sql";
// Version 8: the text of each item's server copy as last recorded, the version both sides agreed
// on: a change made on both sides is merged against it, property by property. It goes with its
// item's sync entry, unless a change that can still be taken back names the item: an item put
// back by taking its deletion back merges with whatever copy the server has of it then.
constexpr const char* kSyncBasesVersion = R"sql(
CREATE TABLE IF NOT EXISTS sync_bases(
  kind INTEGER NOT NULL,
  uid TEXT NOT NULL,
  text TEXT NOT NULL,                     -- the version both sides agreed on; '': not known
  sent TEXT NOT NULL DEFAULT '',          -- sent since, not heard of since
  PRIMARY KEY(kind, uid)
);
CREATE TRIGGER IF NOT EXISTS sync_base_forgotten AFTER DELETE ON sync_items BEGIN
  DELETE FROM sync_bases WHERE kind = OLD.kind AND uid = OLD.uid
    AND NOT EXISTS (SELECT 1 FROM undo_steps WHERE kind = OLD.kind AND uid = OLD.uid);
END;
)sql";
// The columns versions 6 and 8 add: table, column, declaration. Besides the zones, the
// handwritten mark of an appointment's memo and of a changed occurrence's
// (AppointmentRecord::handwritten); and whether a collection's next sync lists it whole
// (CollectionMark).
constexpr std::array<std::array<const char*, 3>, 11> kVersion6Columns = {{
    {"sync_items", "server_stamp", "INTEGER NOT NULL DEFAULT 0"},
    {"appointments", "zone_end", "REAL NOT NULL DEFAULT 0"},
    {"appointments", "zone_definition", "INTEGER NOT NULL DEFAULT 0"},
    {"occurrence_changes", "zone_start", "REAL NOT NULL DEFAULT 0"},
    {"occurrence_changes", "zone_end", "REAL NOT NULL DEFAULT 0"},
    {"tasks", "due_tzid", "TEXT NOT NULL DEFAULT ''"},
    {"tasks", "zone_due", "REAL NOT NULL DEFAULT 0"},
    {"tasks", "due_definition", "INTEGER NOT NULL DEFAULT 0"},
    {"appointments", "handwritten", "INTEGER NOT NULL DEFAULT 0"},
    {"occurrence_changes", "handwritten", "INTEGER NOT NULL DEFAULT 0"},
    {"sync_collections", "list_whole", "INTEGER NOT NULL DEFAULT 0"},
}};

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

// A time as it reads back from the store.
Date Stored(Date date) {
    return LinearToDate(DateToLinear(date));
}

}  // namespace

void Normalize(AppointmentRecord& record) {
    record.start = Stored(record.start);
    record.end = Stored(record.end);
    Recurrence& recurrence = record.recurrence;
    if (!recurrence.recurs()) {
        recurrence.changes.clear();
    }
    CarryIntoZone(record);
    record.zoneStart = Stored(record.zoneStart);
    record.zoneEnd = Stored(record.zoneEnd);
    for (OccurrenceChange& change : recurrence.changes) {
        change.recurrenceId = Stored(change.recurrenceId);
        change.start = Stored(change.start);
        change.end = Stored(change.end);
        change.zoneStart = Stored(change.zoneStart);
        change.zoneEnd = Stored(change.zoneEnd);
    }
    std::stable_sort(recurrence.changes.begin(), recurrence.changes.end(),
                     [](const OccurrenceChange& a, const OccurrenceChange& b) {
                         return DateToLinear(a.recurrenceId) < DateToLinear(b.recurrenceId);
                     });
}

bool SameTimesAndState(const AppointmentRecord& a, const AppointmentRecord& b) {
    return a.start == b.start && a.end == b.end && a.allDay == b.allDay &&
           a.cancelled == b.cancelled && a.recurrence.rule == b.recurrence.rule &&
           a.recurrence.exceptionDates == b.recurrence.exceptionDates &&
           a.recurrence.extraDates == b.recurrence.extraDates;
}

namespace {

// What the series gives an occurrence that no change has touched: its start at its identity
// and the series' length, all day when the series is.
bool MovedFromItsSeries(const AppointmentRecord& series, const OccurrenceChange& change) {
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

bool SameOccurrenceTimesAndState(const OccurrenceChange& a, const OccurrenceChange& b) {
    return a.start == b.start && a.end == b.end && a.allDay == b.allDay &&
           a.cancelled == b.cancelled && a.thisAndFuture == b.thisAndFuture;
}

}  // namespace

void StampChangedOccurrences(const AppointmentRecord* stored, AppointmentRecord& written,
                             int64_t unixSeconds) {
    for (OccurrenceChange& change : written.recurrence.changes) {
        const OccurrenceChange* before = nullptr;
        if (stored != nullptr) {
            for (const OccurrenceChange& known : stored->recurrence.changes) {
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
        change.extraProperties = StampedAsChangedOccurrence(
            change.extraProperties, written.extraProperties,
            before != nullptr ? before->extraProperties : std::string(), unixSeconds, announce);
    }
}

void Normalize(TaskRecord& record) {
    record.dueDate = Stored(record.dueDate);
    record.dateCompleted = Stored(record.dateCompleted);
    CarryIntoZone(record);
    record.zoneDue = Stored(record.zoneDue);
}

namespace {

// The kept lines an update takes from the incoming record: those of the fields it gives (a
// SUMMARY kept for its LANGUAGE parameter, CATEGORIES as they came, the alarms), those of the
// times, which always come from it (`times`: DTEND as it came, say), and every property it
// carries itself.
std::set<std::string> TakenFromIncoming(ItemFields given,
                                        std::initializer_list<const char*> times) {
    std::set<std::string> names(times.begin(), times.end());
    if (given.Has(ItemField::Subject)) {
        names.insert("SUMMARY");
    }
    if (given.Has(ItemField::Location)) {
        names.insert("LOCATION");
    }
    if (given.Has(ItemField::Body)) {
        names.insert("DESCRIPTION");
    }
    if (given.Has(ItemField::Categories)) {
        names.insert("CATEGORIES");
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
        // The handwriting a memo names goes with it.
        incoming.body = stored.body;
        incoming.handwritten = stored.handwritten;
    }
    if (!given.Has(ItemField::Categories)) {
        incoming.categories = stored.categories;
    }
    if (!given.Has(ItemField::Reminder)) {
        incoming.reminderSet = stored.reminderSet;
    }
    incoming.extraProperties = MergeKeptLines(stored.extraProperties, incoming.extraProperties,
                                              TakenFromIncoming(given, {"DTSTART", "DTEND"}));
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
    incoming.extraProperties = MergeKeptLines(stored.extraProperties, incoming.extraProperties,
                                              TakenFromIncoming(given, {"COMPLETED"}));
    return incoming;
}

// The file's path as a URI's path: the characters a URI gives a meaning of its own encoded.
std::string UriPath(const std::filesystem::path& file) {
    std::string out;
    for (const unsigned char c : std::filesystem::absolute(file).string()) {
        if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7f) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

Result<std::shared_ptr<StoreDatabase>> StoreDatabase::Open(const std::filesystem::path& file,
                                                           std::chrono::milliseconds busyTimeout) {
    // The store is the user's alone: made 0600 here, its journal files follow the same mode.
    const int created = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created >= 0) {
        ::close(created);
    }
    // A store this user may read but not write (a data home on a read-only disk, a backup of
    // someone else's) is still shown: it is opened for reading only, and writes are refused.
    if (::access(file.c_str(), R_OK) == 0 &&
        (::access(file.c_str(), W_OK) != 0 ||
         ::access(file.parent_path().empty() ? "." : file.parent_path().c_str(), W_OK) != 0)) {
        return OpenReadOnly(file);
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
    if (auto made = db->CreateSchema(busyTimeout); !made) {
        return Error{"cannot use the schedule store " + file.string() + ": " +
                     made.error().message};
    }
    if (auto followed = db->FollowZoneInForce(); !followed) {
        return Error{"cannot use the schedule store " + file.string() + ": " +
                     followed.error().message};
    }
    return db;
}

Result<std::shared_ptr<StoreDatabase>> StoreDatabase::OpenReadOnly(
    const std::filesystem::path& file) {
    // Reading a store in WAL mode needs its shared-memory file; where that cannot be made, the
    // file is read as it stands (immutable: nothing here can change it).
    const std::string uri = "file:" + UriPath(file);
    Error last{""};
    for (const char* query : {"?mode=ro", "?mode=ro&immutable=1"}) {
        sqlite3* handle = nullptr;
        const int opened =
            sqlite3_open_v2((uri + query).c_str(), &handle,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        if (opened != SQLITE_OK) {
            last = Error{handle ? sqlite3_errmsg(handle) : sqlite3_errstr(opened)};
            sqlite3_close(handle);
            continue;
        }
        std::shared_ptr<StoreDatabase> db(new StoreDatabase(handle));
        db->readOnly_ = true;
        auto version = db->SchemaVersion();
        if (!version) {
            last = version.error();
            continue;
        }
        if (*version != kSchemaVersion) {
            return Error{"cannot use the schedule store " + file.string() +
                         ": it is read-only and was written by another version of Tessarinth"};
        }
        (void)db->Execute("PRAGMA foreign_keys=ON; PRAGMA cache_size=-65536");
        return db;
    }
    return Error{"cannot read the schedule store " + file.string() + ": " + last.message};
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

Result<void> StoreDatabase::UseWriteAheadLog(std::chrono::milliseconds busyTimeout) {
    // Programs started together on a new store all ask for the log at once. Switching to it takes
    // the file for a moment, and SQLite answers "busy" to the others at once rather than waiting
    // (waiting could deadlock two that each hold a read lock), so they ask again here.
    const auto giveUp = std::chrono::steady_clock::now() + busyTimeout;
    for (;;) {
        if (sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) == SQLITE_OK) {
            return {};
        }
        if ((sqlite3_errcode(db_) != SQLITE_BUSY && sqlite3_errcode(db_) != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() >= giveUp) {
            return Error{sqlite3_errmsg(db_)};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

Result<void> StoreDatabase::CreateSchema(std::chrono::milliseconds busyTimeout) {
    // A damaged file fails here, before anything is written to it.
    if (auto check = Execute("SELECT count(*) FROM sqlite_master"); !check) {
        return check;
    }
    if (auto wal = UseWriteAheadLog(busyTimeout); !wal) {
        return wal;
    }
    // A generous page cache and memory-mapped reads keep a warm window query off the file.
    if (auto pragmas = Execute("PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL; "
                               "PRAGMA cache_size=-65536; PRAGMA mmap_size=268435456");
        !pragmas) {
        return pragmas;
    }
    Result<int64_t> found = SchemaVersion();
    if (!found) {
        return found.error();
    }
    if (*found == kSchemaVersion) {
        return {};  // nothing to set up, so another process's write does not keep us out
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("cannot lock the store");
    }
    // Read again under the lock: another process starting on the same new store may have set it
    // up meanwhile.
    found = SchemaVersion();
    if (!found) {
        return found.error();
    }
    if (*found == kSchemaVersion) {
        return {};
    }
    if (auto made = Execute(kSchema); !made) {
        return made;
    }
    if (*found > 0 && *found < 3) {
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
    if (auto made = Execute(kZonesVersion); !made) {
        return made;
    }
    if (auto made = Execute(kUndoVersion); !made) {
        return made;
    }
    if (auto made = Execute(kSyncBasesVersion); !made) {
        return made;
    }
    for (const auto& [table, column, declaration] : kVersion6Columns) {
        Statement has(Prepare(std::string("SELECT 1 FROM pragma_table_info('") + table +
                              "') WHERE name = '" + column + "'"));
        if (!has.ok()) {
            return SqlError("cannot set up the store");
        }
        if (has.Step() == SQLITE_ROW) {
            continue;
        }
        const std::string add =
            std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + declaration;
        if (auto added = Execute(add.c_str()); !added) {
            return added;
        }
    }
    // Times stored before zones were kept (version 6) were local times of the zone then in
    // force, which is taken to be the one in force now.
    if (*found > 0 && *found < kZonesKeptVersion) {
        if (auto zoned = GiveStoredItemsZones(); !zoned) {
            return zoned;
        }
    }
    // Memos stored before the mark was kept (version 6) were taken for handwriting by their
    // first line.
    if (*found > 0 && *found < kHandwrittenMarkVersion) {
        if (auto marked = MarkStoredHandwriting(); !marked) {
            return marked;
        }
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

Result<int64_t> StoreDatabase::SchemaVersion() {
    int64_t found = 0;
    {
        // Finished before anything else runs: a statement left open would keep its read lock,
        // and a connection that holds one is not let wait for the write lock.
        Statement version(Prepare("PRAGMA user_version"));
        if (!version.ok() || version.Step() != SQLITE_ROW) {
            return SqlError("cannot read the store's version");
        }
        found = version.Integer(0);
    }
    if (found > kSchemaVersion) {
        return Error{"the store was written by a newer Tessarinth (version " +
                     std::to_string(found) + ")"};
    }
    return found;
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
        record.recurrence.changes.clear();  // a single appointment has no occurrences to change
    }
    CarryIntoZone(record);
    auto definition = DefinitionId(record.zone);
    if (!definition) {
        return definition.error();
    }
    const SeriesBounds bounds = recurs ? ComputeSeriesBounds(record) : SeriesBounds{};
    Statement upsert(Prepare(std::string("INSERT OR REPLACE INTO appointments(") +
                             kAppointmentWriteColumns +
                             ", recurring, last_end) "
                             "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
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
    upsert.Bind(23, int64_t{recurs});
    if (recurs && bounds.lastEndLinear) {
        upsert.Bind(24, *bounds.lastEndLinear);
    } else if (recurs) {
        upsert.BindNull(24);
    } else {
        upsert.Bind(24, DateToLinear(record.end));
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
    CarryIntoZone(record);
    auto definition = DefinitionId(record.dueZone);
    if (!definition) {
        return definition.error();
    }
    Statement upsert(Prepare(std::string("INSERT OR REPLACE INTO tasks(") + kTaskWriteColumns +
                             ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"));
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
    Normalize(written);
    std::optional<AppointmentRecord> stored;
    if (written.oid != 0) {
        if (Result<AppointmentRecord> loaded = LoadAppointment(written.oid)) {
            stored = std::move(loaded).value();
        }
    }
    const int64_t now = std::time(nullptr);
    const bool announce = stored && !SameTimesAndState(*stored, written);
    written.extraProperties = StampedAsChanged(written.extraProperties, now, announce);
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

Result<void> StoreDatabase::SaveTask(TaskRecord& record) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    TaskRecord written = record;
    bool announce = false;
    if (written.oid != 0) {
        if (Result<TaskRecord> stored = LoadTask(written.oid)) {
            TaskRecord compared = written;
            Normalize(compared);
            announce = stored->dueDate != compared.dueDate || stored->complete != compared.complete;
        }
    }
    written.extraProperties =
        StampedAsChanged(written.extraProperties, std::time(nullptr), announce);
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

namespace {

// A series and an occurrence of it that came alone (an invitation to one meeting) with the same
// UID, the stored one and the incoming one in either order, as the series with that occurrence
// among its changes. The incoming series is taken whole; a change it already has of the same
// occurrence is kept over the lone one. False when the two are not such a pair.
bool JoinSeries(const AppointmentRecord& stored, const AppointmentRecord& incoming,
                AppointmentRecord& joined) {
    const bool loneComes = stored.recurrence.recurs() && IsLoneOccurrence(incoming);
    const bool seriesComes = incoming.recurrence.recurs() && IsLoneOccurrence(stored);
    if (!loneComes && !seriesComes) {
        return false;
    }
    const AppointmentRecord& series = loneComes ? stored : incoming;
    const AppointmentRecord& lone = loneComes ? incoming : stored;
    const std::optional<Date> id = LoneOccurrenceId(lone, series);
    if (!id) {
        return false;
    }
    joined = series;
    joined.oid = stored.oid;
    PutChange(joined, AsChangeOf(series, lone, *id, false), loneComes);
    return true;
}

}  // namespace

Result<UidSave> StoreDatabase::SaveAppointmentByUid(AppointmentRecord& record, ItemFields given,
                                                    UidSource source) {
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
    AppointmentRecord merged;
    if (source == UidSource::CalendarFile && JoinSeries(*current, record, merged)) {
        // The series and its occurrence that came alone are one item from now on.
    } else if (source == UidSource::CalendarFile &&
               IsEarlierVersion(record.extraProperties, current->extraProperties)) {
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

Result<UidSave> StoreDatabase::SaveTaskByUid(TaskRecord& record, ItemFields given,
                                             UidSource source) {
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
    if (source == UidSource::CalendarFile &&
        IsEarlierVersion(record.extraProperties, current->extraProperties)) {
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

Result<void> StoreDatabase::SaveAllByUid(std::vector<AppointmentRecord>& appointments,
                                         const std::vector<ItemFields>& appointmentsGive,
                                         std::vector<TaskRecord>& tasks,
                                         const std::vector<ItemFields>& tasksGive, UidSource source,
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
        const ItemFields given = appointmentsGive.empty() ? ItemFields::All() : appointmentsGive[i];
        auto saved = SaveAppointmentByUid(appointments[i], given, source);
        if (!saved) {
            return saved.error();
        }
        results.push_back(*saved);
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        const ItemFields given = tasksGive.empty() ? ItemFields::All() : tasksGive[i];
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

}  // namespace pim

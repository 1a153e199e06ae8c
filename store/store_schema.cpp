// Opening a store: its file made the user's alone, the write-ahead log, and the schema made or
// brought up from any earlier version, one version after the other.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "store/store_database.h"
#include "store/store_statement.h"

namespace store {
namespace {

using platform::Error;

constexpr int kSchemaVersion = 10;
constexpr int kHandwrittenMarkVersion = 6;
constexpr int kZonesKeptVersion = 6;

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
  zone_end REAL NOT NULL DEFAULT 0,
  zone_definition INTEGER NOT NULL DEFAULT 0,
  handwritten INTEGER NOT NULL DEFAULT 0,
  calendar INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY(recurring, start, oid)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS endless_series ON appointments(last_end) WHERE recurring = 1;
CREATE TABLE IF NOT EXISTS tasks(
  oid INTEGER PRIMARY KEY,
  due REAL NOT NULL,                -- linear; an undated task holds the no-date value
  completed REAL NOT NULL,
  complete INTEGER NOT NULL,
  subject TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  uid TEXT NOT NULL, extra TEXT NOT NULL,
  due_tzid TEXT NOT NULL DEFAULT '',
  zone_due REAL NOT NULL DEFAULT 0,
  due_definition INTEGER NOT NULL DEFAULT 0,
  calendar INTEGER NOT NULL DEFAULT 1
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
  zone_start REAL NOT NULL DEFAULT 0,
  zone_end REAL NOT NULL DEFAULT 0,
  handwritten INTEGER NOT NULL DEFAULT 0,
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
  server_stamp INTEGER NOT NULL DEFAULT 0,
  calendar INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY(kind, uid)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS sync_items_by_href ON sync_items(href) WHERE href <> '';
CREATE TABLE IF NOT EXISTS sync_collections(url TEXT PRIMARY KEY, token TEXT NOT NULL,
  list_whole INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;
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
// Version 9: the calendars of the store. Every item belongs to one: the calendar of a server's
// collection, a subscribed feed, or one kept here alone. Calendar 1 is there from the start; the
// items of an earlier store are its items. A sync entry remembers the calendar of its item, so
// that a deletion is sent to the collection the item was in.
constexpr const char* kCalendarsVersion = R"sql(
CREATE TABLE IF NOT EXISTS calendars(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  url TEXT NOT NULL DEFAULT '',           -- the collection or the feed; '': kept here alone
  subscription INTEGER NOT NULL DEFAULT 0,
  read_only INTEGER NOT NULL DEFAULT 0,
  hidden INTEGER NOT NULL DEFAULT 0,
  color TEXT NOT NULL DEFAULT '',         -- #RRGGBB as the server gave it; '': none
  holds INTEGER NOT NULL DEFAULT 3        -- 1 appointments, 2 tasks, 3 both
);
INSERT OR IGNORE INTO calendars(id, name) VALUES(1, 'カレンダー');
INSERT OR IGNORE INTO store_info(key, value) VALUES('default_calendar', 1);
DROP TRIGGER IF EXISTS appointment_saved_for_sync;
CREATE TRIGGER appointment_saved_for_sync AFTER INSERT ON appointments BEGIN
  INSERT INTO sync_items(kind, uid, revision, changed_at, calendar)
    VALUES(1, NEW.uid, 1, CAST(strftime('%s', 'now') AS INTEGER), NEW.calendar)
    ON CONFLICT(kind, uid) DO UPDATE
    SET revision = revision + 1, changed_at = excluded.changed_at, deleted = 0,
        calendar = excluded.calendar;
END;
DROP TRIGGER IF EXISTS task_saved_for_sync;
CREATE TRIGGER task_saved_for_sync AFTER INSERT ON tasks BEGIN
  INSERT INTO sync_items(kind, uid, revision, changed_at, calendar)
    VALUES(2, NEW.uid, 1, CAST(strftime('%s', 'now') AS INTEGER), NEW.calendar)
    ON CONFLICT(kind, uid) DO UPDATE
    SET revision = revision + 1, changed_at = excluded.changed_at, deleted = 0,
        calendar = excluded.calendar;
END;
)sql";

// Version 10: what each subscribed feed's last fetch left, so that the next asks the server only
// for a newer copy (If-None-Match, If-Modified-Since) and a failed one can say why.
constexpr const char* kFeedMarksVersion = R"sql(
CREATE TABLE IF NOT EXISTS feed_marks(
  calendar INTEGER PRIMARY KEY REFERENCES calendars(id) ON DELETE CASCADE,
  etag TEXT NOT NULL DEFAULT '',          -- the answer's ETag, quotes kept; '': none
  last_modified TEXT NOT NULL DEFAULT '', -- its Last-Modified as it came; '': none
  last_fetch INTEGER NOT NULL DEFAULT 0,  -- seconds since 1970 UTC; 0: never
  last_error TEXT NOT NULL DEFAULT ''     -- why the latest refresh failed; '': it did not
);
)sql";

// The columns versions 6, 8 and 9 add to the tables of a store made before: table, column,
// declaration. Besides the zones, the handwritten mark of an appointment's memo and of a changed
// occurrence's (AppointmentRecord::handwritten); whether a collection's next sync lists it whole
// (CollectionMark); and each item's calendar. A new store's tables are made with them, at the end
// of their columns in this order, as these ALTERs leave an older one: each ALTER reads the whole
// schema again, which made a first start several times dearer.
constexpr std::array<std::array<const char*, 3>, 14> kVersion6Columns = {{
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
    {"appointments", "calendar", "INTEGER NOT NULL DEFAULT 1"},
    {"tasks", "calendar", "INTEGER NOT NULL DEFAULT 1"},
    {"sync_items", "calendar", "INTEGER NOT NULL DEFAULT 1"},
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
    // After the columns: its triggers name the items' calendars.
    if (auto made = Execute(kCalendarsVersion); !made) {
        return made;
    }
    if (auto made = Execute(kFeedMarksVersion); !made) {
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

}  // namespace store

// The calendars of the store: which there are, where each syncs, and which is the default.
#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {

using platform::Error;

Result<std::vector<StoreCalendar>> StoreDatabase::Calendars() {
    Statement select(
        Prepare(std::string("SELECT id, name, url, subscription, read_only, hidden, color, "
                            "holds, id = coalesce((SELECT value FROM store_info WHERE key = '") +
                kDefaultCalendar + "'), 1) FROM calendars ORDER BY id"));
    if (!select.ok()) {
        return SqlError("cannot read the calendars");
    }
    std::vector<StoreCalendar> calendars;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        StoreCalendar found;
        found.id = select.Integer(0);
        found.name = select.Text(1);
        found.url = select.Text(2);
        found.subscription = select.Integer(3) != 0;
        found.readOnly = select.Integer(4) != 0;
        found.hidden = select.Integer(5) != 0;
        found.color = select.Text(6);
        const int64_t holds = select.Integer(7);
        found.holds = holds == 1   ? CalendarHolds::Appointments
                      : holds == 2 ? CalendarHolds::Tasks
                                   : CalendarHolds::Both;
        found.isDefault = select.Integer(8) != 0;
        calendars.push_back(std::move(found));
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the calendars");
    }
    return calendars;
}

Result<void> StoreDatabase::SaveCalendar(StoreCalendar& saved) {
    if (saved.name.empty()) {
        return Error{"a calendar needs a name"};
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    {
        // Names are how the user tells calendars apart: no two alike.
        Statement taken(Prepare("SELECT 1 FROM calendars WHERE name = ? AND id <> ?"));
        taken.Bind(1, saved.name);
        taken.Bind(2, saved.id);
        if (!taken.ok()) {
            return SqlError("cannot read the calendars");
        }
        if (taken.Step() == SQLITE_ROW) {
            return Error{"there is a calendar named \"" + saved.name + "\" already"};
        }
    }
    Statement write(Prepare(
        saved.id == 0
            ? "INSERT INTO calendars(name, url, subscription, read_only, hidden, color, holds) "
              "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"
            : "UPDATE calendars SET name = ?1, url = ?2, subscription = ?3, read_only = ?4, "
              "hidden = ?5, color = ?6, holds = ?7 WHERE id = ?8"));
    if (!write.ok()) {
        return SqlError("cannot save the calendar");
    }
    write.Bind(1, saved.name);
    write.Bind(2, saved.url);
    write.Bind(3, int64_t{saved.subscription});
    write.Bind(4, int64_t{saved.readOnly});
    write.Bind(5, int64_t{saved.hidden});
    write.Bind(6, saved.color);
    write.Bind(7, int64_t{static_cast<int32_t>(saved.holds)});
    if (saved.id != 0) {
        write.Bind(8, saved.id);
    }
    if (write.Step() != SQLITE_DONE) {
        return SqlError("cannot save the calendar");
    }
    if (saved.id == 0) {
        saved.id = sqlite3_last_insert_rowid(db_);
    } else if (sqlite3_changes(db_) == 0) {
        return Error{"the calendar is no longer in the store"};
    }
    if (!transaction.Commit()) {
        return SqlError("cannot save the calendar");
    }
    return {};
}

Result<void> StoreDatabase::SetDefaultCalendar(int64_t id) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    {
        Statement known(Prepare("SELECT read_only FROM calendars WHERE id = ?"));
        known.Bind(1, id);
        if (!known.ok()) {
            return SqlError("cannot read the calendars");
        }
        if (known.Step() != SQLITE_ROW) {
            return Error{"the calendar is no longer in the store"};
        }
        if (known.Integer(0) != 0) {
            return Error{"new items cannot go to a calendar that is read-only"};
        }
    }
    Statement write(
        Prepare("INSERT INTO store_info(key, value) VALUES(?, ?) "
                "ON CONFLICT(key) DO UPDATE SET value = excluded.value"));
    write.Bind(1, std::string(kDefaultCalendar));
    write.Bind(2, id);
    if (!write.ok() || write.Step() != SQLITE_DONE || !transaction.Commit()) {
        return SqlError("cannot set the default calendar");
    }
    return {};
}

}  // namespace store

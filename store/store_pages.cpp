// The store as a calendar file meets it: one transaction around a streamed import, and the items
// read page by page for an export.
#include <string>
#include <vector>

#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {

Result<void> StoreDatabase::BeginWrites() {
    if (sqlite3_get_autocommit(db_) == 0) {
        return platform::Error{"the store is in the middle of other writes"};
    }
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError("the store is busy");
    }
    return {};
}

Result<void> StoreDatabase::CommitWrites() {
    if (sqlite3_get_autocommit(db_) != 0) {
        // A write that failed badly enough (the disk full, say) has rolled everything back.
        return platform::Error{"the store's writes were rolled back"};
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const platform::Error error = SqlError("cannot store the items");
        RollBackWrites();
        return error;
    }
    return {};
}

void StoreDatabase::RollBackWrites() {
    if (sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

Result<void> StoreDatabase::BeginReads() {
    if (sqlite3_get_autocommit(db_) == 0) {
        return platform::Error{"the store is in the middle of other work"};
    }
    if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError("cannot read the store");
    }
    return {};
}

void StoreDatabase::EndReads() {
    RollBackWrites();  // nothing was written: ending the read transaction is all it does
}

Result<std::vector<calendar::AppointmentRecord>> StoreDatabase::AppointmentsAfter(int32_t afterOid,
                                                                                  size_t limit) {
    ReadSnapshot snapshot(db_);
    if (!snapshot.began()) {
        return SqlError("cannot read the store");
    }
    Statement select(Prepare(std::string("SELECT ") + kAppointmentColumns +
                             " FROM appointments WHERE oid > ? ORDER BY oid LIMIT ?"));
    if (!select.ok()) {
        return SqlError("cannot read appointments");
    }
    select.Bind(1, int64_t{afterOid});
    select.Bind(2, static_cast<int64_t>(limit));
    std::vector<calendar::AppointmentRecord> records;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        records.push_back(ReadAppointment(select));
        if (select.Integer(kChangesColumn) > 0) {
            auto changes = ReadChanges(records.back().oid);
            if (!changes) {
                return changes.error();
            }
            records.back().recurrence.changes = std::move(changes).value();
        }
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read appointments");
    }
    return records;
}

Result<std::vector<calendar::TaskRecord>> StoreDatabase::TasksAfter(int32_t afterOid,
                                                                    size_t limit) {
    Statement select(Prepare(std::string("SELECT ") + kTaskColumns +
                             " FROM tasks WHERE oid > ? ORDER BY oid LIMIT ?"));
    if (!select.ok()) {
        return SqlError("cannot read tasks");
    }
    select.Bind(1, int64_t{afterOid});
    select.Bind(2, static_cast<int64_t>(limit));
    std::vector<calendar::TaskRecord> records;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        records.push_back(ReadTask(select));
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read tasks");
    }
    return records;
}

Result<std::optional<calendar::AppointmentRecord>> StoreDatabase::AppointmentByUid(
    const std::string& uid) {
    auto found = FindByUid("appointments", uid);
    if (!found) {
        return found.error();
    }
    if (*found == 0) {
        return std::optional<calendar::AppointmentRecord>();
    }
    auto loaded = LoadAppointment(*found);
    if (!loaded) {
        return loaded.error();
    }
    return std::optional<calendar::AppointmentRecord>(std::move(loaded).value());
}

}  // namespace store

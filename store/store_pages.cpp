// The store as a calendar file meets it: one transaction around a streamed import, and the items
// read page by page for an export.
#include <string>
#include <vector>

#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {
namespace {

// While the whole store is read or written, what the connection keeps of it is bounded: no file
// mapped into memory (mapped pages count as the process's own, up to the whole file), and for
// reading, which visits each page once, a smaller page cache; writing keeps its 64 MiB, which
// spares a large import spilling the same pages to the log again and again. The window queries'
// settings (store_schema.cpp) come back afterwards.
constexpr const char* kBulkWriteMemory = "PRAGMA mmap_size=0";
constexpr const char* kBulkReadMemory = "PRAGMA mmap_size=0; PRAGMA cache_size=-16384";
constexpr const char* kQueryMemory = "PRAGMA mmap_size=268435456; PRAGMA cache_size=-65536";

}  // namespace

Result<void> StoreDatabase::BeginWrites() {
    if (sqlite3_get_autocommit(db_) == 0) {
        return platform::Error{"the store is in the middle of other writes"};
    }
    sqlite3_exec(db_, kBulkWriteMemory, nullptr, nullptr, nullptr);
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db_, kQueryMemory, nullptr, nullptr, nullptr);
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
    sqlite3_exec(db_, kQueryMemory, nullptr, nullptr, nullptr);
    return {};
}

void StoreDatabase::RollBackWrites() {
    if (sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db_, kQueryMemory, nullptr, nullptr, nullptr);
}

Result<void> StoreDatabase::BeginReads() {
    if (sqlite3_get_autocommit(db_) == 0) {
        return platform::Error{"the store is in the middle of other work"};
    }
    sqlite3_exec(db_, kBulkReadMemory, nullptr, nullptr, nullptr);
    if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db_, kQueryMemory, nullptr, nullptr, nullptr);
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

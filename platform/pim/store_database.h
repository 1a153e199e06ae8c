#pragma once

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/pim/records.h"
#include "platform/pim/restriction.h"
#include "platform/result.h"

namespace pim {

using platform::Result;

// What a query over appointments asks for, before sorting.
struct AppointmentQuery {
    const Restriction* restriction = nullptr;  // none: every appointment
    bool expandRecurrences = false;
};

// A row of an appointment query: the stored item, or one occurrence of a series.
struct AppointmentHit {
    AppointmentRecord record;
    bool isOccurrence = false;
};

// The SQLite file behind the store. Every save or delete is one transaction; queries use the
// time indexes so that a window costs what it returns, not what the store holds.
class StoreDatabase {
public:
    static Result<std::shared_ptr<StoreDatabase>> Open(const std::filesystem::path& file,
                                                       std::chrono::milliseconds busyTimeout);
    ~StoreDatabase();
    StoreDatabase(const StoreDatabase&) = delete;
    StoreDatabase& operator=(const StoreDatabase&) = delete;

    Result<void> SaveAppointment(AppointmentRecord& record);
    Result<void> SaveTask(TaskRecord& record);
    Result<void> DeleteItem(int32_t oid);
    Result<AppointmentRecord> LoadAppointment(int32_t oid);
    Result<TaskRecord> LoadTask(int32_t oid);

    Result<std::vector<AppointmentHit>> QueryAppointments(const AppointmentQuery& query);
    enum class TaskOrder { ByObjectId, ByDueDate };
    Result<std::vector<TaskRecord>> QueryTasks(const Restriction* restriction,
                                               TaskOrder order = TaskOrder::ByObjectId);

    // Adds every record in one transaction (all or none), giving each its object id.
    Result<void> AddAll(std::vector<AppointmentRecord>& appointments,
                        std::vector<TaskRecord>& tasks);

private:
    explicit StoreDatabase(sqlite3* db) : db_(db) {}
    Result<void> CreateSchema();
    Result<void> Execute(const char* sql);
    Result<int32_t> NewObjectId(int kind);
    // One of the longest spans kept in store_info; 0 when nothing is stored yet.
    double StoredSpan(const char* key);
    Result<void> WriteAppointment(AppointmentRecord& record);
    Result<void> WriteTask(TaskRecord& record);
    platform::Error SqlError(const std::string& what) const;
    // A prepared statement for the text, made once per connection; null when it does not compile.
    sqlite3_stmt* Prepare(const std::string& sql);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

}  // namespace pim

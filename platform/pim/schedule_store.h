#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pim/records.h"
#include "platform/result.h"

namespace pim {

using platform::Result;

class StoreDatabase;
class Restriction;

// The default folders the store offers, numbered as the planner asks for them.
enum class FolderKind : int32_t { Calendar = 9, Tasks = 13 };

// Flags travel as the store's 16-bit truth values: -1 for true, 0 for false.
using StoreFlag = int16_t;
inline constexpr StoreFlag kTrue = -1;
inline constexpr StoreFlag kFalse = 0;

// The recurrence pattern of an appointment; only its type is read.
class RecurrencePattern {
public:
    explicit RecurrencePattern(RecurrenceType type) : type_(type) {}
    RecurrenceType Type() const { return type_; }

private:
    RecurrenceType type_;
};

// An appointment as handed out by the store: a copy of the stored item, or of one occurrence
// of a recurring series (its own start and end; the series' object id). Setters change the
// copy; Save writes it back in one transaction.
class Appointment {
public:
    Date Start() const { return record_.start; }
    Date End() const { return record_.end; }
    StoreFlag AllDayEvent() const { return record_.allDay ? kTrue : kFalse; }
    StoreFlag ReminderSet() const { return record_.reminderSet ? kTrue : kFalse; }
    const std::u16string& Subject() const { return record_.subject; }
    const std::u16string& Location() const { return record_.location; }
    const std::u16string& Body() const { return record_.body; }
    const std::u16string& Categories() const { return record_.categories; }
    int32_t Oid() const { return record_.oid; }
    Result<RecurrencePattern> GetRecurrencePattern() const;
    bool IsOccurrence() const { return isOccurrence_; }

    void SetSubject(std::u16string_view text) { record_.subject = text; }
    void SetLocation(std::u16string_view text) { record_.location = text; }
    void SetBody(std::u16string_view text) { record_.body = text; }
    void SetCategories(std::u16string_view text) { record_.categories = text; }
    void SetAllDayEvent(StoreFlag flag) { record_.allDay = flag != 0; }
    void SetReminderSet(StoreFlag flag) { record_.reminderSet = flag != 0; }
    // Moving a recurring series' start moves the whole series (its rule stays).
    void SetStart(Date start);
    void SetEnd(Date end) { record_.end = end; }

    // A new appointment gets its object id here.
    Result<void> Save();
    Result<void> Delete();

    const AppointmentRecord& Record() const { return record_; }

private:
    friend class Items;
    friend class Application;
    Appointment(std::shared_ptr<StoreDatabase> db, AppointmentRecord record, bool isOccurrence)
        : db_(std::move(db)), record_(std::move(record)), isOccurrence_(isOccurrence) {}

    std::shared_ptr<StoreDatabase> db_;
    AppointmentRecord record_;
    bool isOccurrence_ = false;
};

// A task as handed out by the store.
class Task {
public:
    Date DueDate() const { return record_.dueDate; }
    Date DateCompleted() const { return record_.dateCompleted; }
    StoreFlag Complete() const { return record_.complete ? kTrue : kFalse; }
    const std::u16string& Subject() const { return record_.subject; }
    const std::u16string& Body() const { return record_.body; }
    const std::u16string& Categories() const { return record_.categories; }
    int32_t Oid() const { return record_.oid; }

    void SetSubject(std::u16string_view text) { record_.subject = text; }
    void SetBody(std::u16string_view text) { record_.body = text; }
    void SetDueDate(Date due) { record_.dueDate = due; }
    // Completing a task stamps today as its completion date; reopening clears it.
    void SetComplete(StoreFlag flag);

    Result<void> Save();
    Result<void> Delete();

    const TaskRecord& Record() const { return record_; }

private:
    friend class Items;
    friend class Application;
    Task(std::shared_ptr<StoreDatabase> db, TaskRecord record)
        : db_(std::move(db)), record_(std::move(record)) {}

    std::shared_ptr<StoreDatabase> db_;
    TaskRecord record_;
};

// The items of one folder, possibly restricted, sorted and with recurring appointments
// expanded into their occurrences. The query runs when the collection is first counted or
// indexed; a restriction, sort or expansion change after that runs it again.
class Items {
public:
    // A new collection holding the items of this one that satisfy the restriction string.
    Result<Items> Restrict(std::u16string_view restriction) const;
    // "[Start]" (appointments) or "[DueDate]" (tasks); ties keep object id order.
    Result<void> Sort(std::u16string_view property, bool descending = false);
    // Each occurrence of a recurring appointment becomes an item of its own.
    void SetIncludeRecurrences(bool include);

    Result<int32_t> Count();
    // 1-based, as the planner walks collections; past the end is an error.
    Result<Appointment> AppointmentAt(int32_t index);
    Result<Task> TaskAt(int32_t index);

    // A new, unsaved item of the folder's kind.
    Appointment AddAppointment() const;
    Task AddTask() const;

    FolderKind Kind() const { return kind_; }

private:
    friend class Folder;
    Items(std::shared_ptr<StoreDatabase> db, FolderKind kind);
    Result<void> Run();

    enum class SortKey { None, Start, DueDate };

    std::shared_ptr<StoreDatabase> db_;
    FolderKind kind_;
    std::shared_ptr<const Restriction> restriction_;
    SortKey sortKey_ = SortKey::None;
    bool descending_ = false;
    bool includeRecurrences_ = false;
    bool ran_ = false;
    std::vector<AppointmentRecord> appointments_;
    std::vector<bool> occurrence_;
    std::vector<TaskRecord> tasks_;
};

class Folder {
public:
    FolderKind Kind() const { return kind_; }
    Result<Items> GetItems() const;

private:
    friend class Application;
    Folder(std::shared_ptr<StoreDatabase> db, FolderKind kind) : db_(std::move(db)), kind_(kind) {}

    std::shared_ptr<StoreDatabase> db_;
    FolderKind kind_;
};

// The store's application object: one logged-on connection to one store file.
class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // How long a write waits for another process (an import, say) to finish its own.
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    // Opens (creating if need be) the store file. A damaged store is an error, and so is a
    // write that finds the store locked for longer than the busy timeout.
    Result<void> LogOn(const std::filesystem::path& storeFile,
                       std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    void LogOff();
    bool IsLoggedOn() const { return db_ != nullptr; }

    Result<Folder> GetDefaultFolder(FolderKind kind) const;
    // An error result means no item has that object id (or the store is not logged on).
    Result<Appointment> GetAppointmentFromOid(int32_t oid) const;
    Result<Task> GetTaskFromOid(int32_t oid) const;

    // Whole-store access for import and export: every item, and adding many in one transaction.
    Result<std::vector<AppointmentRecord>> AllAppointments() const;
    Result<std::vector<TaskRecord>> AllTasks() const;
    // Stores all records or none; returns the object ids given, appointments first.
    Result<std::vector<int32_t>> AddAll(const std::vector<AppointmentRecord>& appointments,
                                        const std::vector<TaskRecord>& tasks);

private:
    std::shared_ptr<StoreDatabase> db_;
};

}  // namespace pim

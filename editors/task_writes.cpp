#include "editors/task_writes.h"

#include <optional>

#include "calendar/records.h"
#include "store/schedule_store.h"

namespace editors {
namespace {

// Which properties a write sets: completion alone, with the subject, or everything.
enum class TaskFields { Completion, SubjectAndCompletion, All };

// Start 0.0 is the record's only mark of a missing due date; the store has its own.
platform::Date StoredDueDate(const EditRecord& record) {
    return record.Start == 0.0 ? calendar::kNoDateValue : record.Start;
}

void SetFields(store::Task& task, const EditRecord& record, TaskFields fields,
               const platform::Clock& clock) {
    if (fields != TaskFields::Completion) {
        task.SetSubject(record.Subject);
    }
    if (fields == TaskFields::All) {
        task.SetDueDate(StoredDueDate(record));
    }
    // Completed at this moment by the planner's clock; the planner compares it by day.
    const std::optional<platform::Date> now = platform::FieldsToDate(clock.LocalTimeNow());
    task.SetComplete(record.Complete != 0 ? store::kTrue : store::kFalse,
                     now.value_or(calendar::kNoDateValue));
    if (fields == TaskFields::All) {
        task.SetBody(LimitedText(record.Body, kMaxBodyChars));
    }
}

WriteResult Create(const StoreWriteContext& context, const EditRecord& record, TaskFields fields) {
    auto items = DefaultFolderItems(context, store::FolderKind::Tasks);
    if (!items) {
        return Failure(WriteStatus::StoreFailed, items.error());
    }
    // A new task starts without due date and notes, so the undated create leaves them so.
    store::Task task = items->AddTask();
    task.SetCalendarId(record.CalendarId);
    SetFields(task, record, fields, context.clock);
    if (auto saved = task.Save(); !saved) {
        return Failure(WriteStatus::StoreFailed, saved.error());
    }
    return WriteResult{WriteStatus::Written, "", task.Oid()};
}

WriteResult Update(const StoreWriteContext& context, const EditRecord& record, TaskFields fields) {
    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return Failure(WriteStatus::StoreFailed, application.error());
    }
    auto task = (*application)->GetTaskFromOid(record.ItemOid);
    if (!task) {
        return Failure(WriteStatus::ItemMissing, task.error());
    }
    SetFields(*task, record, fields, context.clock);
    // Another calendar chosen in the editor: the task moves there with this save.
    if (fields == TaskFields::All && record.CalendarId != record.CalendarIdAtOpen) {
        task->SetCalendarId(record.CalendarId);
    }
    if (auto saved = task->Save(); !saved) {
        return Failure(WriteStatus::StoreFailed, saved.error());
    }
    return WriteResult{WriteStatus::Written, "", record.ItemOid};
}

}  // namespace

WriteResult CreateTask(const StoreWriteContext& context, const EditRecord& record) {
    return Create(context, record, TaskFields::All);
}

WriteResult CreateUndatedTask(const StoreWriteContext& context, const EditRecord& record) {
    return Create(context, record, TaskFields::SubjectAndCompletion);
}

WriteResult UpdateTask(const StoreWriteContext& context, const EditRecord& record) {
    return Update(context, record, TaskFields::All);
}

WriteResult UpdateUndatedTask(const StoreWriteContext& context, const EditRecord& record) {
    return Update(context, record, TaskFields::SubjectAndCompletion);
}

WriteResult SetTaskCompletion(const StoreWriteContext& context, const EditRecord& record) {
    return Update(context, record, TaskFields::Completion);
}

WriteResult DeleteTask(const StoreWriteContext& context, const EditRecord& record) {
    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return Failure(WriteStatus::StoreFailed, application.error());
    }
    auto task = (*application)->GetTaskFromOid(record.ItemOid);
    if (!task) {
        return Failure(WriteStatus::ItemMissing, task.error());
    }
    if (auto deleted = task->Delete(); !deleted) {
        return Failure(WriteStatus::StoreFailed, deleted.error());
    }
    return WriteResult{WriteStatus::Written, "", record.ItemOid};
}

WriteResult SaveEditedTask(const StoreWriteContext& context, const EditRecord& record) {
    // The dated writes store the notes and turn Start 0.0 into the store's no-date value.
    return record.ItemOid == 0 ? CreateTask(context, record) : UpdateTask(context, record);
}

}  // namespace editors

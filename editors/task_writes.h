#pragma once

#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "editors/write_result.h"

namespace editors {

// Task writes. Tasks carry no ink: Body is plain notes. Start is the due date, 0.0 for none;
// a task stored without due date holds the store's no-date value. Writes by object id report
// ItemMissing (and change nothing) for a task deleted elsewhere.

// A new task with subject, due date (none when Start is 0.0), completion and notes. Used by
// the clipboard's paste as task over the day list.
WriteResult CreateTask(const StoreWriteContext& context, const EditRecord& record);

// A new task without due date from subject and completion only; no notes. Used by the
// clipboard's paste as task over the corner panel.
WriteResult CreateUndatedTask(const StoreWriteContext& context, const EditRecord& record);

// Rewrites subject, due date (cleared when Start is 0.0), completion and notes of the task
// ItemOid. Used by the completion toggle over the day list.
WriteResult UpdateTask(const StoreWriteContext& context, const EditRecord& record);

// Rewrites only subject and completion of the task ItemOid; its due date and notes stay. Used by
// the completion toggle over the corner panel, whose list does not hold notes.
WriteResult UpdateUndatedTask(const StoreWriteContext& context, const EditRecord& record);

// Rewrites only the completion of the task ItemOid (the store keeps the day it was completed
// with it): subject, due date and notes stay as stored, however long. Used by the completion
// toggle, whose record holds the texts only as the day list shows them.
WriteResult SetTaskCompletion(const StoreWriteContext& context, const EditRecord& record);

// Deletes the task ItemOid. Used by the task editor's delete and the clipboard's cut.
WriteResult DeleteTask(const StoreWriteContext& context, const EditRecord& record);

// The task editor's save: creates the task when ItemOid is 0, else rewrites it, always with its
// notes and with the due date as the editor shows it, so a task saved without due date keeps its
// notes and an existing task whose due date was cleared really loses it.
WriteResult SaveEditedTask(const StoreWriteContext& context, const EditRecord& record);

}  // namespace editors

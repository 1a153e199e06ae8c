#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "editors/store_write_context.h"
#include "editors/write_result.h"
#include "platform/files/data_home.h"
#include "store/undo_step.h"

// Changes the user made, kept in the store so that they can be taken back and done again, also
// after a restart: an editor's save, a delete, a cut, a paste, a completion toggle, and the
// tessarinth-cli add and delete. Imports, syncs and the holidays the planner works out are not
// the user's changes and are never kept. A step holds the whole item as it was (its changed
// occurrences, and the bytes of its ink files), and is applied only while its item is still
// exactly as the step left it: a change made since (by a sync, another program, another data
// home) is never taken back unseen.
namespace editors {

// What a kept change did; the list of steps names it.
enum class ChangeKind : int32_t {
    Created = 1,
    Saved = 2,
    Deleted = 3,
    Cut = 4,
    Pasted = 5,
    Checked = 6,  // a task's completion ticked or cleared
};
// "create", "save", "delete", "cut", "paste", "check": tessarinth-cli's words for them.
std::string_view ChangeKindName(int32_t kind);

// What identifies the data home a step was kept in: steps of another home never apply.
std::string StepHome(const platform::DataHome& home);

// Runs `write`, a change of the item of that kind that `oidBefore` names (0 for an item it
// makes), and when it succeeds keeps it as the newest step, forgetting the steps that were taken
// back. A write that changed nothing of the item but its stamps is not kept. A step that cannot
// be kept costs the write nothing.
WriteResult RecordedWrite(const StoreWriteContext& context, ChangeKind change,
                          calendar::ItemKind kind, int32_t oidBefore,
                          const std::function<WriteResult()>& write);

struct [[nodiscard]] StepResult {
    enum class Status {
        Applied,
        NothingToApply,
        // The step's item changed since; nothing was written.
        ItemChanged,
        // What the step kept cannot be read (its record in the store is damaged): nothing was
        // written, and the step was set aside, so that the next one applies the step before it.
        Damaged,
        // The store or the data folder refused; nothing was written.
        Failed,
        // The item is, or would be returned to, a calendar that cannot be written here: nothing
        // was written, and the step stays where it is.
        ReadOnly,
    };
    Status status = Status::Failed;
    std::u16string subject;  // the step's item, as it was named when the step was kept
    ChangeKind change = ChangeKind::Saved;
    std::string detail;       // Failed: the store's or the file system's words
    std::u16string calendar;  // ReadOnly: the name of the calendar that cannot be written

    bool ok() const { return status == Status::Applied; }
};

// Takes the newest change back (StepDirection::Back), or does the oldest one taken back again
// (Again): the item is deleted, put back with its UID, texts, times, occurrences and ink, or
// returned to what it was; ink files nothing names any more go.
StepResult ApplyNextStep(const StoreWriteContext& context, store::StepDirection direction);

// The menu's item for taking the next step back or doing it again, from one read of the step's
// heading: its words name what it will do (元に戻す「会議」の削除); without a step to apply, the
// word alone, greyed.
struct NextStepMenuItem {
    std::u16string text;
    bool enabled = false;
};
NextStepMenuItem NextStepMenu(const StoreWriteContext& context, store::StepDirection direction);

// What the screen and tessarinth-cli say when a step's item changed since it was kept.
inline constexpr std::u16string_view kUndoCaption = u"元に戻す";
inline constexpr std::u16string_view kRedoCaption = u"やり直し";
std::u16string ItemChangedMessage(std::u16string_view subject);
// What they say when a step's record is damaged and was set aside.
std::u16string DamagedStepMessage(std::u16string_view subject);
// What the screen says when an item of a read-only calendar is not changed (a cut, a step taken
// back or done again).
std::u16string ReadOnlyCalendarMessage(std::u16string_view calendarName);

}  // namespace editors

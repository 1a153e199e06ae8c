#pragma once

#include <cstdint>
#include <string>

#include "editors/edit_record.h"
#include "platform/time/date_time.h"
#include "schedule/day_items.h"

namespace app {

// What was copied: an appointment, a task from the day list (it had a due date), or a task
// from the corner panel (it had none).
enum class ClipboardKind : int32_t {
    None = 0,
    Appointment = 1,
    DatedTask = 2,
    UndatedTask = 3,
};

// The planner's own clipboard for one item, which copy and cut fill and the pastes read; it
// has nothing to do with the desktop's clipboard. Empty (object id 0) from the main window's
// creation until the first copy or cut; after that it always holds the last item copied, and
// a cut keeps the deleted item's id as its not-empty mark.
struct ItemClipboard {
    ClipboardKind kind = ClipboardKind::None;
    int32_t objectId = 0;      // 0: empty
    platform::Date start = 0;  // an appointment's start or a task's due date
    platform::Date end = 0;
    std::u16string subject;
    std::u16string location;  // appointments only
    std::u16string body;      // an appointment's memo (typed text only), a task's notes
    schedule::InkRecords ink{};
    int32_t inkCount = 0;
    int32_t allDay = 0;
    int32_t reminder = 0;
    int32_t holiday = 0;
    int32_t complete = 0;  // tasks only, as the row or entry read it
};

// Copy: the item into the clipboard, with everything a paste needs (an appointment's whole
// stored memo, a handwritten one as its ink and its typed text; its stored start, not the start
// its row was listed from). False,
// and the clipboard as it was, for a recurring appointment, an empty day or an entry without an
// item.
bool CopyToClipboard(const schedule::DayItemRow& row, ItemClipboard& clipboard);
bool CopyToClipboard(const schedule::UndatedTask& entry, ItemClipboard& clipboard);

// The appointment a paste makes of the clipboard on `day`: the copied time of day and length
// for an appointment; for a task, the current hour `hour` to an hour later (past midnight when
// it starts at 23). Every other field as the clipboard holds it, as a new item.
void FillPastedAppointment(const ItemClipboard& clipboard, platform::Date day, int hour,
                           editors::EditRecord& record);

}  // namespace app

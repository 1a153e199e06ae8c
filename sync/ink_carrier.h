#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_io.h"
#include "store/schedule_store.h"

namespace calendar_sync {

// Handwriting on its way to and from the server. A memo the store marks handwritten names an ink
// file of the planner's data folder; the server carries the file's bytes as an attachment of our
// own media type, and only that attachment makes an item from the server a handwritten memo. The
// planner's side of it (its data folder, how it numbers ink files) is given to the sync from above
// through this interface.
class InkCarrier {
public:
    virtual ~InkCarrier() = default;

    // The bytes of the ink file a handwritten memo names, for an appointment being sent (asked
    // only for memos with the handwritten mark); nullopt when the file holds no handwriting.
    virtual std::optional<std::string> InkOf(std::u16string_view body) = 0;
    // Before an appointment from the server is stored: the handwriting it carried gets ink files
    // of its own, and the record's memos name them and are marked handwritten. `stored` is the
    // item it updates, if any. Handwriting that cannot be kept is left out with a line in `notes`.
    virtual void Receive(calendar::AppointmentRecord& record, const calendar::AppointmentInk& ink,
                         const calendar::AppointmentRecord* stored,
                         std::vector<std::string>& notes) = 0;
    // After the store write: the files written stay when it succeeded and go when it failed; the
    // files the new handwriting replaced go unless another item still names them.
    virtual void Finish(bool stored, const store::Application& store) = 0;
    // A handwritten memo that named this ink file is gone because the server's version said so
    // (the item deleted there, or its memo no longer handwriting): the file goes unless another
    // item still names it.
    virtual void Dropped(std::u16string_view inkName, const store::Application& store) = 0;
};

}  // namespace calendar_sync

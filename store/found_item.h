#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calendar/records.h"

namespace store {

using platform::Date;

// Which occurrence of a series a search names: the series is found once, at the first of its
// occurrences that holds the text on or after the day searched from, or, when every such
// occurrence lies before that day, at the last of them.
enum class SeriesOccurrence { NotASeries, Next, Last };

// One item a search found: an appointment (a series at one occurrence) or a task.
struct FoundItem {
    calendar::ItemKind kind = calendar::ItemKind::Appointment;
    int32_t oid = 0;
    // An appointment's (or the occurrence's) start and end, local wall-clock time (an all-day
    // one's first and last day at 00:00); a task's due date for both (kNoDateValue when it has
    // none).
    Date start = 0;
    Date end = 0;
    bool allDay = false;
    SeriesOccurrence occurrence = SeriesOccurrence::NotASeries;
    // The item's texts (an occurrence's own when it was changed on its own); tasks have no place.
    std::u16string subject;
    std::u16string location;
    bool complete = false;                        // tasks
    Date dateCompleted = calendar::kNoDateValue;  // tasks

    friend bool operator==(const FoundItem&, const FoundItem&) = default;
};

// What a search found, in the order of their dates (appointments before tasks on the same
// moment, then by object id); tasks without a due date come last. `more`: further items hold
// the text beyond the limit the search was given.
struct FoundItems {
    std::vector<FoundItem> items;
    bool more = false;
};

}  // namespace store

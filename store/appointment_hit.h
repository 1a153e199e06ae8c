#pragma once

#include <memory>

#include "calendar/records.h"

namespace store {

using platform::Date;

// A row of an appointment query: the stored item, or one occurrence of a series. The record is
// made once where it is read and then only shared (by the collection, and by the appointments
// it hands out), never moved or copied as the rows are ordered.
struct AppointmentHit {
    std::shared_ptr<calendar::AppointmentRecord> record;
    bool isOccurrence = false;
    // For an occurrence: its identity in the series (Occurrence::recurrenceId) and whether a
    // change of the series made it what it is.
    Date recurrenceId = 0;
    bool isChanged = false;
};

}  // namespace store

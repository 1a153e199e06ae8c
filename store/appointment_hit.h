#pragma once

#include <memory>

#include "calendar/records.h"

namespace store {

using platform::Date;

// What a query reads of each appointment. TimesAndMarks: its object id, times, all-day and
// reminder flags, categories, handwritten mark, calendar and recurrence (what the marks of a day
// and the places of the rows need), its other texts left empty and, for a single item, its zone
// unread; not for showing it in full or saving it.
enum class AppointmentParts { Whole, TimesAndMarks };

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
    // Read as AppointmentParts::TimesAndMarks: its texts but the categories left empty.
    bool readInPart = false;
};

}  // namespace store

#pragma once

#include <cstdint>

#include "platform/time/date_time.h"

namespace store {

using platform::Date;

// A reminder that has rung: one occurrence of an appointment at one reminder time. The store
// keeps these so that each rings once, whichever reminder service claims it first; moving an
// appointment gives it a new reminder time, and so a new reminder.
struct FiredReminder {
    int32_t oid = 0;
    // The occurrence's identity in its series (its recurrence id); 0 for a single appointment.
    Date occurrence = 0;
    Date ringAt = 0;  // when it was due, local time
    Date firedAt = 0;
    bool late = false;  // rung after a time when nothing was running to ring it

    bool SameReminder(const FiredReminder& other) const {
        return oid == other.oid && occurrence == other.occurrence && ringAt == other.ringAt;
    }
};

}  // namespace store

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calendar/records.h"
#include "platform/result.h"
#include "platform/time/date_time.h"
#include "store/schedule_store.h"

namespace reminders {

using platform::Date;

// How long before its appointment a reminder rings when nothing else says: a timed
// appointment's imported alarm gives its own time, else it rings 15 minutes before the start.
inline constexpr int kDefaultLeadMinutes = 15;
// An all-day appointment without an alarm of its own rings at 09:00 the day before: a whole
// day's plans are made the evening or morning ahead, not at midnight.
inline constexpr int kAllDayRingHour = 9;
// Reminders are looked for this far ahead of their appointments: an alarm set further ahead
// rings this long before.
inline constexpr int kLongestLeadDays = 31;

// One reminder: one occurrence of an appointment with its reminder set, and when it rings.
struct Reminder {
    int32_t oid = 0;
    // The occurrence's identity in its series; 0 for an appointment that does not recur.
    Date occurrence = 0;
    Date start = 0;
    Date end = 0;  // as the store keeps it: an all-day appointment's last day at 00:00
    bool allDay = false;
    std::u16string subject;
    std::u16string location;
    Date ringAt = 0;

    // The moment the appointment is over: for an all-day one, the end of its last day.
    Date EndsAt() const;
};

// When an appointment (or one occurrence, as the store hands it out) rings its reminder.
Date RingTimeOf(const calendar::AppointmentRecord& record);

// The reminders that ring before `ringBefore` of appointments (every occurrence of a series)
// that have not ended at `notEndedAt`, in order of ring time (then object id).
platform::Result<std::vector<Reminder>> CollectReminders(store::Application& store, Date notEndedAt,
                                                         Date ringBefore);

}  // namespace reminders

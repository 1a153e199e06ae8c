#include "reminders/reminder_schedule.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "store/alarm_trigger.h"

namespace reminders {
namespace {

using platform::DateToLinear;
using platform::LinearToDate;

constexpr double kMinutesPerDay = 24.0 * 60.0;
constexpr double kHoursPerDay = 24.0;

// Rounded onto the second, so that a ring time equals the same time written out.
Date AddDays(Date date, double days) {
    const Date moved = LinearToDate(DateToLinear(date) + days);
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(moved);
    return fields ? platform::FieldsToDate(*fields).value_or(moved) : moved;
}

// A moment as a restriction compares it: "2026/12/07 09:30:15".
std::string RestrictionTime(Date date) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return "9999/12/31 23:59:59";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", fields->Year, fields->Month,
                  fields->Day, fields->Hour, fields->Minute, fields->Second);
    return text;
}

std::string RestrictionDay(Date date) {
    return RestrictionTime(static_cast<Date>(platform::DayNumber(date))).substr(0, 10);
}

}  // namespace

Date Reminder::EndsAt() const {
    return allDay ? AddDays(static_cast<Date>(platform::DayNumber(end)), 1.0) : end;
}

Date RingTimeOf(const calendar::AppointmentRecord& record) {
    const Date endsAt = record.allDay
                            ? AddDays(static_cast<Date>(platform::DayNumber(record.end)), 1.0)
                            : record.end;
    Date ring;
    if (const auto trigger =
            store::EarliestAlarmTrigger(record.extraProperties, record.start, endsAt)) {
        ring = trigger->RingTime(record.start, endsAt);
    } else if (record.allDay) {
        ring = AddDays(static_cast<Date>(platform::DayNumber(record.start)),
                       -1.0 + kAllDayRingHour / kHoursPerDay);
    } else {
        ring = AddDays(record.start, -kDefaultLeadMinutes / kMinutesPerDay);
    }
    const Date earliest = AddDays(record.start, -kLongestLeadDays);
    return DateToLinear(ring) < DateToLinear(earliest) ? earliest : ring;
}

platform::Result<std::vector<Reminder>> CollectReminders(store::Application& store, Date notEndedAt,
                                                         Date ringBefore) {
    auto folder = store.GetDefaultFolder(store::FolderKind::Calendar);
    if (!folder) {
        return folder.error();
    }
    auto items = folder->GetItems();
    if (!items) {
        return items.error();
    }
    // Nothing rings earlier than the longest lead before its start; an all-day appointment's
    // end is its last day, so the end is compared by day and checked exactly below.
    const std::string restriction = "[ReminderSet] = TRUE and [Start] < \"" +
                                    RestrictionTime(AddDays(ringBefore, kLongestLeadDays)) +
                                    "\" and [End] >= \"" + RestrictionDay(notEndedAt) + "\"";
    auto found = items->Restrict(std::u16string(restriction.begin(), restriction.end()));
    if (!found) {
        return found.error();
    }
    found->SetIncludeRecurrences(true);
    auto count = found->Count();
    if (!count) {
        return count.error();
    }
    std::vector<Reminder> reminders;
    for (int32_t index = 1; index <= *count; ++index) {
        auto appointment = found->AppointmentAt(index);
        if (!appointment) {
            return appointment.error();
        }
        const calendar::AppointmentRecord& record = appointment->Record();
        Reminder reminder;
        reminder.oid = record.oid;
        reminder.occurrence = appointment->IsOccurrence() ? appointment->RecurrenceId() : 0.0;
        reminder.start = record.start;
        reminder.end = record.end;
        reminder.allDay = record.allDay;
        reminder.subject = record.subject;
        reminder.location = record.location;
        reminder.ringAt = RingTimeOf(record);
        if (DateToLinear(reminder.ringAt) < DateToLinear(ringBefore) &&
            DateToLinear(reminder.EndsAt()) > DateToLinear(notEndedAt)) {
            reminders.push_back(std::move(reminder));
        }
    }
    std::stable_sort(reminders.begin(), reminders.end(),
                     [](const Reminder& earlier, const Reminder& later) {
                         if (earlier.ringAt != later.ringAt) {
                             return DateToLinear(earlier.ringAt) < DateToLinear(later.ringAt);
                         }
                         return earlier.oid < later.oid;
                     });
    return reminders;
}

}  // namespace reminders

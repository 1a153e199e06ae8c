#pragma once

#include <string>

#include "reminders/reminder_schedule.h"

namespace reminders {

// What a reminder's notification says.
struct ReminderText {
    std::u16string title;
    std::u16string body;
};

// Whether a reminder rings at its time or after a time when nothing could ring it.
enum class Lateness { OnTime, Late };

// The title is the subject ("予定" for a handwritten memo without one, with "（遅れて通知）"
// after it when late); the body the time range and the place: "12/21(月) 10:00-11:00 @会議室B",
// "12/26(土)-1/3(日) 終日".
ReminderText TextOf(const Reminder& reminder, Lateness lateness);

}  // namespace reminders

#pragma once

#include "editors/repeat_rule.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/window.h"

namespace editors {

// What the repeat dialog starts from and gives back: how the appointment repeats, its start
// (for the weekday and day of the month the kinds name, and the first day the date picker
// offers for the last day), and the day the user is looking at.
struct RepeatChoice {
    Repeat repeat;
    platform::Date start = 0;
    platform::Date selectedDate = 0;
};

// The modal dialog "繰り返し": a radio button a kind (なし, 毎日, 毎週 on the start's weekday,
// 毎月 on its day of the month, 毎年), and 終了日 with the last day beside it, picked with the
// date picker. OK writes the choice into `choice` and returns kCommandOk; Cancel changes
// nothing.
int RunRepeatDialog(gui::DeviceScreen& screen, gui::Window& owner, RepeatChoice& choice);

}  // namespace editors

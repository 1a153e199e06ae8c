#pragma once

#include "platform/gui/device_screen.h"
#include "platform/gui/window.h"
#include "platform/time/date_time.h"

namespace controls {

// Which dates a pick changes: an appointment's or task's start (its end and the main window's
// selected date move to the same day), or an appointment's end alone.
enum class DatePickerVariant { StartDate, EndDate };

// The dates a pick may change. Only their year, month and day change; each keeps its time of
// day.
struct PickedDates {
    platform::Date start = 0;
    platform::Date end = 0;
    platform::Date selectedDate = 0;
};

// The date picker: dialog 104, full screen with a done button, its month calendar starting on the
// variant's date (the selected date when a task has no due date, 0.0), run modally over
// `owner`. On OK the variant's dates take the picked day. Returns the dialog's result: 1 for OK,
// 2 for Cancel (nothing changed), anything else when it went away unanswered.
int RunDatePicker(gui::DeviceScreen& screen, gui::Window& owner, DatePickerVariant variant,
                  PickedDates& dates);

// `date` moved to the day of `day`, keeping its own time of day; `date` unchanged when the
// result would lie outside the calendar.
platform::Date WithDayOf(platform::Date date, int year, int month, int day);

}  // namespace controls

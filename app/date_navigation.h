#pragma once

#include "platform/time/date_time.h"

namespace app {

// The selected date and today's date, as the main window keeps them. Every move writes
// `selectedDateFields` after `selectedDate`, so during a move the fields still hold the date
// before it; the month rules read their day from there.
struct SelectedDay {
    platform::Date selectedDate = 0;
    platform::CalendarFields selectedDateFields;
    platform::Date todayDate = 0;
};

// Today at 00:00 from the clock becomes both the selected date and today's date.
void MoveToToday(SelectedDay& day, const platform::Clock& clock);
// Whole days forward or back (1 for a day, 7 for a week).
void MoveByDays(SelectedDay& day, int days);
// The same day of the next or previous month, or that month's last day when it is shorter.
void MoveToNextMonth(SelectedDay& day);
void MoveToPreviousMonth(SelectedDay& day);
// Brings the fields in step with the selected date after a move.
void RefreshSelectedFields(SelectedDay& day);

}  // namespace app

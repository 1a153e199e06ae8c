#include "app/date_navigation.h"

#include <algorithm>

namespace app {
namespace {

using platform::CalendarFields;
using platform::Date;

// The calendar's first and last day: every move stops there instead of leaving the calendar.
const Date kFirstDay = *platform::MakeDate(platform::kMinYear, 1, 1);
const Date kLastDay = *platform::MakeDate(platform::kMaxYear, 12, 31);

CalendarFields FieldsOf(Date date) {
    return platform::DateToFields(date).value_or(CalendarFields{});
}

bool InLastMonth(Date date) {
    const CalendarFields fields = FieldsOf(date);
    return fields.Year == platform::kMaxYear && fields.Month == 12;
}

bool InFirstMonth(Date date) {
    const CalendarFields fields = FieldsOf(date);
    return fields.Year == platform::kMinYear && fields.Month == 1;
}

// Step 5 of the month rules: keep the day of the date before the move where the month has it.
Date KeepDayOfMonth(CalendarFields lastDay, const CalendarFields& before, Date fallback) {
    if (lastDay.Day > before.Day) {
        lastDay.Day = before.Day;
    }
    return platform::FieldsToDate(lastDay).value_or(fallback);
}

}  // namespace

void MoveToToday(SelectedDay& day, const platform::Clock& clock) {
    CalendarFields today = clock.LocalTimeNow();
    today.Hour = today.Minute = today.Second = today.Milliseconds = 0;
    day.selectedDateFields = today;
    day.selectedDate = platform::FieldsToDate(today).value_or(day.selectedDate);
    day.todayDate = day.selectedDate;
}

void MoveByDays(SelectedDay& day, int days) {
    day.selectedDate =
        std::clamp(day.selectedDate + static_cast<double>(days), kFirstDay, kLastDay);
}

void MoveToNextMonth(SelectedDay& day) {
    // There is no month after December 9999: the move ends on the calendar's last day.
    if (InLastMonth(day.selectedDate)) {
        day.selectedDate = kLastDay;
        return;
    }
    // Walks a day at a time: to the first of the next month, then to the first of the month
    // after, and back one day to the last day of the next month.
    const int month = FieldsOf(day.selectedDate).Month;
    do {
        day.selectedDate += 1.0;
    } while (FieldsOf(day.selectedDate).Month == month);
    const int nextMonth = FieldsOf(day.selectedDate).Month;
    do {
        day.selectedDate += 1.0;
    } while (FieldsOf(day.selectedDate).Month == nextMonth);
    day.selectedDate -= 1.0;
    day.selectedDate =
        KeepDayOfMonth(FieldsOf(day.selectedDate), day.selectedDateFields, day.selectedDate);
}

void MoveToPreviousMonth(SelectedDay& day) {
    if (InFirstMonth(day.selectedDate)) {
        day.selectedDate = kFirstDay;
        return;
    }
    const int month = FieldsOf(day.selectedDate).Month;
    do {
        day.selectedDate -= 1.0;
    } while (FieldsOf(day.selectedDate).Month == month);
    day.selectedDate =
        KeepDayOfMonth(FieldsOf(day.selectedDate), day.selectedDateFields, day.selectedDate);
}

void RefreshSelectedFields(SelectedDay& day) {
    day.selectedDateFields = FieldsOf(day.selectedDate);
}

}  // namespace app

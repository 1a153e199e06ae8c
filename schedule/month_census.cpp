#include "schedule/month_census.h"

#include <optional>
#include <string>

#include "schedule/store_values.h"
#include "store/schedule_store.h"

namespace schedule {
namespace {

using platform::Date;
using platform::Error;
using platform::Result;

constexpr int kHoursPerDay = 24;
constexpr int kLastHour = kHoursPerDay - 1;
constexpr int kMiddayFrom = 12;
constexpr int kAfternoonFrom = 15;
constexpr int kEveningFrom = 18;

uint8_t BandOfHour(int hour) {
    if (hour < kMiddayFrom) {
        return kBandMorning;
    }
    if (hour < kAfternoonFrom) {
        return kBandMidday;
    }
    if (hour < kEveningFrom) {
        return kBandAfternoon;
    }
    return kBandEvening;
}

int HourOf(Date date) {
    return platform::HourOfDate(date).value_or(0);
}

Date DayOf(Date date) {
    return static_cast<Date>(platform::DayNumber(date));
}

// The 1st of the month in the column of its weekday, each following day in the next cell.
void FillGrid(Date firstDay, int month, MonthGridDates& dates) {
    dates.fill(0);
    const std::optional<platform::CalendarFields> first = platform::DateToFields(firstDay);
    size_t column = first ? first->DayOfWeek : 0;
    size_t row = 0;
    for (Date day = firstDay; row < kGridRows; day += 1) {
        const std::optional<platform::CalendarFields> fields = platform::DateToFields(day);
        if (!fields || fields->Month != month) {
            break;
        }
        dates[row * kGridColumns + column] = day;
        if (++column == kGridColumns) {
            column = 0;
            ++row;
        }
    }
}

void MarkCell(size_t cell, Date cellDay, const store::Appointment& appointment, bool isHoliday,
              MonthCensus& census) {
    if (isHoliday) {
        census.holiday[cell] = 1;
    }
    if (appointment.AllDayEvent() != 0) {
        census.allDay[cell] = 1;
        return;
    }
    const Date start = appointment.Start();
    const Date end = appointment.End();
    const int fromHour = EarlierDay(start, cellDay) ? 0 : HourOf(start);
    const int toHour = EarlierDay(cellDay, end) ? kLastHour : HourOf(end);
    for (int hour = fromHour; hour < toHour; ++hour) {
        census.timeBands[cell] |= BandOfHour(hour);
    }
}

// Marks every cell from the appointment's first day to its last.
void MarkAppointment(const store::Appointment& appointment, const MonthGridDates& dates,
                     const settings::Settings& settings, MonthCensus& census) {
    const bool isHoliday = appointment.Categories() == settings.HoliDay;
    const Date firstDay = DayOf(appointment.Start());
    const Date lastDay = DayOf(appointment.End());
    for (size_t row = 0; row < kGridRows; ++row) {
        if (dates[row * kGridColumns] > lastDay) {
            break;
        }
        for (size_t column = 0; column < kGridColumns; ++column) {
            const size_t cell = row * kGridColumns + column;
            if (dates[cell] > lastDay) {
                break;
            }
            if (dates[cell] >= firstDay) {
                MarkCell(cell, dates[cell], appointment, isHoliday, census);
            }
        }
    }
}

void ForgetAppointments(MonthCensusState& state) {
    state.appointments.clear();
    state.firstDay = 0;
    state.lastDay = 0;
    state.readAt = store::ChangeMark{};
}


Result<void> TakeCensus(Date firstDay, Date lastDay, const MonthGridDates& dates,
                        const settings::Settings& settings, StoreSession& store,
                        MonthCensusState& state) {
    MonthCensus& census = state.census;
    census.allDay.fill(0);
    census.timeBands.fill(0);
    census.holiday.fill(0);

    const std::optional<std::u16string> first = RestrictionDate(firstDay);
    const std::optional<std::u16string> last = RestrictionDate(lastDay);
    if (!first || !last) {
        return Error{"the month lies outside the calendar"};
    }
    auto application = store.LoggedOnApplication();
    if (!application) {
        return application.error();
    }
    // Taken before the reading: a write while it reads makes the next look read again.
    auto readAt = (*application)->CurrentChangeMark();
    auto calendar = (*application)->GetDefaultFolder(store::FolderKind::Calendar);
    auto items = calendar ? calendar->GetItems() : Result<store::Items>(calendar.error());
    if (!items) {
        store.Release();
        return items.error();
    }
    items->SetIncludeRecurrences(true);
    // The marks need only each item's times, all-day flag and category.
    items->SetAppointmentParts(store::AppointmentParts::TimesAndMarks);
    // Every item that covers a day of the month, also one that began in an earlier month: a
    // break over the New Year belongs to January's days as much as to December's.
    auto month = items->Restrict(u"[Start] <= \"" + *last + u"\" and [End] >= \"" + *first + u"\"");
    if (!month) {
        store.Release();
        return month.error();
    }
    auto count = month->Count();
    if (!count) {
        return count.error();
    }
    state.appointments.reserve(static_cast<size_t>(*count));
    for (int32_t index = 1; index <= *count; ++index) {
        auto appointment = month->AppointmentAt(index);
        if (!appointment) {
            // What was read is not the whole month: no day list is placed from it.
            ForgetAppointments(state);
            return {};
        }
        MarkAppointment(*appointment, dates, settings, census);
        state.appointments.push_back(PlacementOf(*appointment));
    }
    if (readAt) {
        state.firstDay = firstDay;
        state.lastDay = lastDay;
        state.readAt = *readAt;
    } else {
        ForgetAppointments(state);
    }
    return {};
}

}  // namespace

AppointmentSpan PlacementOf(const store::Appointment& appointment) {
    AppointmentSpan read;
    read.objectId = appointment.Oid();
    read.start = appointment.Start();
    read.end = appointment.End();
    read.allDay = appointment.AllDayEvent() != 0;
    if (appointment.IsOccurrence()) {
        read.occurrence = appointment.RecurrenceId();
    }
    if (appointment.IsChangedOccurrence()) {
        read.changedOccurrence = appointment.RecurrenceId();
    }
    return read;
}

Result<void> RefreshMonthCensus(Date selectedDate, const settings::Settings& settings,
                                StoreSession& store, MonthCensusState& state) {
    const std::optional<platform::CalendarFields> selected = platform::DateToFields(selectedDate);
    if (!selected) {
        return Error{"the date lies outside the calendar"};
    }
    MonthCensus& census = state.census;
    if (selected->Year == census.cachedYear && selected->Month == census.cachedMonth) {
        return {};
    }
    census.cachedYear = selected->Year;
    census.cachedMonth = selected->Month;
    ForgetAppointments(state);

    const std::optional<Date> firstDay = platform::MakeDate(selected->Year, selected->Month, 1);
    const int nextYear = selected->Month == 12 ? selected->Year + 1 : selected->Year;
    const int nextMonth = selected->Month % 12 + 1;
    const std::optional<Date> nextFirst = platform::MakeDate(nextYear, nextMonth, 1);
    if (!firstDay) {
        state.dates.fill(0);
        return Error{"the month lies outside the calendar"};
    }
    FillGrid(*firstDay, selected->Month, state.dates);
    // The last day of December 9999 has no following month; its census asks up to that day.
    const Date lastDay = nextFirst ? *nextFirst - 1 : *firstDay + 30;
    return TakeCensus(*firstDay, lastDay, state.dates, settings, store, state);
}

void InvalidateMonthCensus(MonthCensusState& state) {
    state.census.cachedYear = 0;
    state.census.cachedMonth = 0;
    ForgetAppointments(state);
}

}  // namespace schedule

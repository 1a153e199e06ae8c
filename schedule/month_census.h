#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "store/schedule_store.h"

namespace schedule {

// The month grid: 7 rows of 7 columns, row-major, column 0 = Sunday.
inline constexpr size_t kGridColumns = 7;
inline constexpr size_t kGridRows = 7;
inline constexpr size_t kGridCells = kGridColumns * kGridRows;

// The date of each day of the shown month in its cell (the 1st in row 0, in its weekday's
// column); 0 in every other cell.
using MonthGridDates = std::array<platform::Date, kGridCells>;

// Time-band bits: the parts of a day that timed appointments occupy.
inline constexpr uint8_t kBandMorning = 1;    // hours 0 to 11
inline constexpr uint8_t kBandMidday = 2;     // hours 12 to 14
inline constexpr uint8_t kBandAfternoon = 4;  // hours 15 to 17
inline constexpr uint8_t kBandEvening = 8;    // hours 18 and later

// The marks of each cell of the grid, and the month they were built for.
struct MonthCensus {
    std::array<uint8_t, kGridCells> allDay{};     // 1: an all-day appointment covers the day
    std::array<uint8_t, kGridCells> timeBands{};  // kBand* bits
    std::array<uint8_t, kGridCells> holiday{};    // 1: a holiday-category appointment covers it
    // Year 0 and month 0: nothing built yet; the next refresh builds.
    int32_t cachedYear = 0;
    int32_t cachedMonth = 0;
};

// An appointment, or one occurrence of a series, as the census read it: what placing it in the
// day list takes, so that a day list whose days lie inside the month needs no second reading.
struct AppointmentSpan {
    int32_t objectId = 0;
    platform::Date start = 0;
    platform::Date end = 0;
    bool allDay = false;
    // An occurrence's identity in its series; and the same again when a change of the series
    // made it what it is.
    std::optional<platform::Date> occurrence;
    std::optional<platform::Date> changedOccurrence;
};

// What placing the appointment (or occurrence) the store handed out takes.
AppointmentSpan PlacementOf(const store::Appointment& appointment);

// What the month grid draws from; owned by the main window for the whole run.
struct MonthCensusState {
    MonthGridDates dates{};
    MonthCensus census;
    // Every appointment and occurrence that covers a day from `firstDay` to `lastDay` (the shown
    // month's), in the order the store gave them; both days 0 while none are read.
    std::vector<AppointmentSpan> appointments;
    platform::Date firstDay = 0;
    platform::Date lastDay = 0;
    // The store as it was when they were read: a later change of it leaves them out of date.
    store::ChangeMark readAt;
};

// Rebuilds the grid dates and the marks for the month of `selectedDate`, unless they were built
// for that month already. Reads HoliDay from `settings`. When the calendar's collection cannot
// be had, the session is released and the error returned: the dates are rebuilt, the marks 0.
platform::Result<void> RefreshMonthCensus(platform::Date selectedDate,
                                          const settings::Settings& settings, StoreSession& store,
                                          MonthCensusState& state);

// Marks the census stale, so that the next refresh rebuilds it whatever the month.
void InvalidateMonthCensus(MonthCensusState& state);

}  // namespace schedule

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/store_session.h"
#include "settings/settings.h"

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

// What the month grid draws from; owned by the main window for the whole run.
struct MonthCensusState {
    MonthGridDates dates{};
    MonthCensus census;
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

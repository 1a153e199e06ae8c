#pragma once

#include "platform/time/date_time.h"
#include "schedule/day_items.h"
#include "schedule/month_census.h"
#include "settings/settings.h"

namespace views {

// Everything the panels read, owned elsewhere (the main window, the day item collection, the
// month census and the settings store). Every paint recomputes what it draws from this.
struct ViewState {
    platform::Date selectedDate = 0;  // whole day
    platform::Date todayDate = 0;     // whole day
    const schedule::MonthCensusState& census;
    const schedule::DayItems& dayItems;
    const settings::Settings& settings;
};

}  // namespace views

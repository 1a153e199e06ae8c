#pragma once

#include "platform/files/data_home.h"
#include "schedule/month_census.h"
#include "schedule/store_session.h"
#include "settings/settings.h"

namespace editors {

// What the store writes read and change besides the edit record and the pad: the store
// connection, where the data folder lies, the settings (DataPath, HoliDay) and the month census,
// which a write involving the holiday category marks stale.
struct StoreWriteContext {
    schedule::StoreSession& store;
    const platform::DataHome& home;
    const settings::Settings& settings;
    schedule::MonthCensusState& census;
};

}  // namespace editors

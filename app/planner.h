#pragma once

#include <memory>

#include "controls/history.h"
#include "platform/files/data_home.h"
#include "platform/registry/registry.h"
#include "platform/time/date_time.h"
#include "schedule/day_items.h"
#include "schedule/month_census.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "views/day_list.h"

namespace app {

// What the planner keeps for its whole run, each piece with its owner named: start-up fills
// it, the main window and the editors read and write it.
struct Planner {
    Planner(platform::DataHome dataHome, platform::registry::Registry settingsRegistry,
            const platform::Clock& localClock)
        : clock(localClock),
          home(std::move(dataHome)),
          registry(std::move(settingsRegistry)),
          store(home.StorePath()),
          dayItems(std::make_unique<schedule::DayItems>()) {}

    const platform::Clock& clock;  // where "today" comes from
    platform::DataHome home;
    platform::registry::Registry registry;
    settings::Settings settings;                   // the settings store's
    schedule::StoreSession store;                  // the one store connection
    std::unique_ptr<schedule::DayItems> dayItems;  // the day item collection's
    schedule::MonthCensusState census;             // the month census's
    views::DayListIcons listIcons;                 // loaded at start-up
    controls::HistoryLists history;                // the editors' recent texts
};

}  // namespace app

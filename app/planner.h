#pragma once

#include <functional>

#include <memory>
#include <optional>

#include "controls/history.h"
#include "controls/pad_data.h"
#include "controls/summary_window.h"
#include "editors/appointment_editor.h"
#include "editors/edit_record.h"
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
          dayItems(std::make_unique<schedule::DayItems>()),
          editRecord(std::make_unique<editors::EditRecord>()),
          pad(std::make_unique<controls::PadData>()) {}

    const platform::Clock& clock;  // where "today" comes from
    platform::DataHome home;
    platform::registry::Registry registry;
    settings::Settings settings;                   // the settings store's
    schedule::StoreSession store;                  // the one store connection
    std::unique_ptr<schedule::DayItems> dayItems;  // the day item collection's
    schedule::MonthCensusState census;             // the month census's
    // The item an editor or a store write works on: the main window fills it, the editors
    // change it, the writes read it.
    std::unique_ptr<editors::EditRecord> editRecord;
    // The handwriting pad's ink and text: an editor fills it before its pad opens, the pad
    // edits it, the writes read it back.
    std::unique_ptr<controls::PadData> pad;
    views::DayListIcons listIcons;  // loaded at start-up
    // Drawn when the appointment editor first opens: the dial's faces take a third of a start-up.
    std::optional<editors::AppointmentEditorPictures> editorPictures;
    controls::HistoryLists history;  // the editors' recent texts
    // Told of each change saved on the screen: the running planner's own sync follows it
    // shortly. Not set where nothing syncs by itself (a planner driven off-screen).
    std::function<void()> afterOwnSave;
    // Told when the settings changed while the planner runs (the settings dialog confirmed, or
    // another program saved them): its own sync takes the new interval. Not set where nothing
    // syncs by itself.
    std::function<void()> afterSettingsChange;
    // What the summary pop-up says of those syncs; not set where nothing syncs by itself.
    controls::SyncMarkReader syncMark;
};

}  // namespace app

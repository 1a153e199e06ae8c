#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "controls/summary_window.h"
#include "platform/time/date_time.h"
#include "sync/background_sync.h"

namespace app {

// What the summary pop-up says of the planner's own syncs: nothing where no server is set up;
// else the time of the last good one (the day instead when it was not `today`), why the latest
// stopped, and how many conflicts it settled, kept in the folder named `keptIn`.
std::optional<controls::SyncMark> SyncMarkOf(const calendar_sync::BackgroundSyncStatus& status,
                                             const platform::CalendarFields& today,
                                             const std::u16string& keptIn);

// The few words the summary gives a trouble; empty for none.
std::u16string TroubleWords(calendar_sync::SyncTrouble trouble);

// Tells standard error (the desktop's journal) of the planner's own syncs: a trouble when it
// begins or changes, that syncs work again after one, and each conflict as it is settled.
class SyncStatusTeller {
public:
    explicit SyncStatusTeller(std::ostream& out) : out_(out) {}
    void Tell(const calendar_sync::BackgroundSyncStatus& status);

private:
    std::ostream& out_;
    calendar_sync::SyncTrouble told_ = calendar_sync::SyncTrouble::None;
    std::string toldFailure_;
};

}  // namespace app

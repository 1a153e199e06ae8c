// Following the store while the planner runs: another program (the CLI, a sync, a second
// reminder service) may write to it at any time, and the screen shows what it now holds.
#include "app/main_window.h"
#include "schedule/month_census.h"

namespace app {

void MainWindow::OnTimer(int timerId) {
    if (timerId != kStoreWatchTimer || !storeWatcher_.HasChanged()) {
        return;
    }
    // An editor works on the record it was opened with; the main window catches up when the
    // editor returns to it.
    if (OpenEditorWindow() != nullptr) {
        reloadOnReturn_ = true;
        return;
    }
    FollowStoreChange();
}

void MainWindow::FollowStoreChange() {
    // Any day of the month may have changed, so its marks are built again.
    schedule::InvalidateMonthCensus(planner_.census);
    RefreshAfterChange();
    ApplyUndoMenuState();
}

}  // namespace app

// Following the store and the settings while the planner runs: another program (the CLI, a
// sync, a second reminder service) may write to them at any time, and the screen shows what
// they now hold.
#include <iostream>

#include "app/main_window.h"
#include "schedule/month_census.h"
#include "settings/settings_store.h"

namespace app {

void MainWindow::OnTimer(int timerId) {
    if (timerId != kStoreWatchTimer) {
        return;
    }
    FollowSettingsFile();
    if (!storeWatcher_.HasChanged()) {
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

void MainWindow::FollowSettingsFile() {
    // An editor or a dialog works with the settings it opened with (the settings dialog saves its
    // own over them); the file is looked at again once the main window is alone.
    if (OpenEditorWindow() != nullptr || &Screen().LastActivePopup(*this) != this) {
        return;
    }
    const platform::Result<bool> followed = planner_.registry.FollowFile();
    if (!followed) {
        std::cerr << "tessarinth: " << followed.error().message << "\n";
        return;
    }
    if (!*followed) {
        return;
    }
    const settings::Settings before = planner_.settings;
    settings::LoadSettings(planner_.registry, planner_.settings);
    if (planner_.settings == before) {
        return;
    }
    TakeNewSettings(before);
    ApplyTaskSetting();
    RefreshAfterChange();
}

}  // namespace app

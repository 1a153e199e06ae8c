#include "app/main_window.h"
#include "settings/sync_dialog.h"

namespace app {

void MainWindow::ShowSyncDialog(gui::Window& over) {
    const int32_t minutesBefore = planner_.settings.SyncMinutes;
    settings::RunSyncDialog(over,
                            {planner_.home, planner_.store, planner_.settings, planner_.registry});
    // The interval is the sync dialog's to keep, whatever the settings dialog is closed with.
    if (planner_.settings.SyncMinutes != minutesBefore && planner_.afterSettingsChange) {
        planner_.afterSettingsChange();
    }
}

}  // namespace app

#pragma once

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/planner.h"
#include "platform/gui/device_screen.h"
#include "platform/time/date_time.h"

namespace app {

// What start-up readies before the first window: the month's marks marked stale, the list's
// icons, the settings, then the history lists from the data folder they name.
void PreparePlanner(Planner& planner);

// Creates the main window on `today`, fits it above its menu bar, shows and paints it.
MainWindow* OpenMainWindow(gui::DeviceScreen& screen, Planner& planner,
                           const platform::CalendarFields& today);

// Start-up once the planner's state and its screen exist, as the program and its scripted
// runs share it: the planner readied, the program's accelerators, and the main window opened
// on the planner's clock's today.
MainWindow* StartPlanner(gui::DeviceScreen& screen, Planner& planner);

// Start-up problems the user must hear of (a damaged registry, a store that cannot be opened or
// written), said one after another in the planner's own message box with OK, over the window in
// front; each was written to standard error when it was found.
void ShowStartupWarnings(gui::DeviceScreen& screen, const std::vector<std::string>& warnings);

// What ends a run after the message loop: the store connection let go.
void ShutDownPlanner(Planner& planner);

// What a second launch asks of the running copy: its open appointment editor, else its main
// window, comes forward as the newest pop-up that window owns (a modal dialog stays over it),
// and the screen comes up on the desktop.
void ComeForward(gui::DeviceScreen& screen);

// The planner from start to end: one copy per data home, the store, the settings, the main
// window, the message loop and the shutdown. Returns the exit code.
int RunPlanner(int argc, char** argv);

}  // namespace app

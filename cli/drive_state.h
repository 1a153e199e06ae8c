#pragma once

#include <ostream>

#include "app/main_window.h"
#include "app/planner.h"
#include "platform/gui/device_screen.h"

namespace cli {

// The planner's state as `key=value` lines, for scripts that check what a user's input did and
// for people reproducing a problem: the active window's class, the selected date and today,
// the corner panel's page, the pad, every field of the edit record and the item clipboard.
// Dates are "YYYY-MM-DD HH:MM"; texts are escaped as the agenda's tab-separated lines escape them.
void PrintDriveState(const gui::DeviceScreen& screen, const app::Planner& planner,
                     const app::MainWindow& mainWindow, std::ostream& out);

}  // namespace cli

#pragma once

#include <ostream>

#include "platform/gui/device_screen.h"

namespace app {

// Gives the screen its handwriting panel, on or off as the user left it, reading characters
// with Debian's Japanese model and the planner's own. When the recogniser or Debian's model
// cannot be had (a build without zinnia, no model installed), the screen keeps only the
// desktop's input method and one line on `err` says why; without the planner's own model the
// panel reads with Debian's alone, and one line says so.
void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err);

}  // namespace app

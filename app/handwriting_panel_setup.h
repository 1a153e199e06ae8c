#pragma once

#include <ostream>

#include "platform/gui/device_screen.h"

namespace app {

// Gives the screen its handwriting panel, on or off as the user left it, reading characters
// with the planner's model. When the recogniser or its model cannot be had (a build without
// zinnia, no model installed), the screen keeps only the desktop's input method and one line
// on `err` says why.
void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err);

}  // namespace app

#pragma once

#include "platform/gui/device_screen.h"
#include "platform/gui/window.h"

namespace gui {

// The shell's handling of activation and setting-change messages: each window keeps in its
// own record whether it had the input panel up, so the panel follows the window that is active;
// a window with text fields active for the first time has it as the user last chose.
void HandleActivation(DeviceScreen& screen, Activation state, ActivationRecord& record);
void HandleSettingChange(DeviceScreen& screen, ActivationRecord& record);

}  // namespace gui

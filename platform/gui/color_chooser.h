#pragma once

#include <optional>

#include "platform/gui/colors.h"

namespace gui {

class DeviceScreen;

// The colour chooser, modal over the screen, starting at `initial` and allowing any colour;
// its 16 custom colours start white each time and are not kept. The colour confirmed, or
// nothing when the user cancels. With a modal responder installed the responder answers.
std::optional<ColorRef> ChooseColor(DeviceScreen& screen, ColorRef initial);

}  // namespace gui

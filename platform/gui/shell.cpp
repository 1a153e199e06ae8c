#include "platform/gui/shell.h"

namespace gui {
namespace {

// Set in a record's flags once its window has been active: from then on the record says how the
// window had the input panel.
constexpr uint32_t kHasBeenActive = 1;

}  // namespace

void HandleActivation(DeviceScreen& screen, Activation state, ActivationRecord& record) {
    if (state == Activation::Inactive) {
        record.previousInputPanelShown = screen.IsInputPanelShown() ? 1 : 0;
        return;
    }
    if ((record.flags & kHasBeenActive) == 0) {
        // A window active for the first time: one with text fields opens with the panel as the
        // user last left it with the button; any other without it.
        record.flags |= kHasBeenActive;
        record.previousInputPanelShown =
            screen.IsInputPanelWanted() && screen.ActiveWindowTakesText() ? 1 : 0;
    }
    if (record.previousInputPanelShown != 0) {
        screen.ShowInputPanel();
    } else if (screen.IsInputPanelShown()) {
        screen.HideInputPanel();
    }
}

void HandleSettingChange(DeviceScreen& screen, ActivationRecord& record) {
    // A change of the screen (a turn) keeps the panel as the active window left it.
    record.previousInputPanelShown = screen.IsInputPanelShown() ? 1 : 0;
}

}  // namespace gui

#include "platform/gui/shell.h"

namespace gui {

void HandleActivation(DeviceScreen& screen, Activation state, ActivationRecord& record) {
    if (state == Activation::Inactive) {
        record.previousInputPanelShown = screen.IsInputPanelShown() ? 1 : 0;
        return;
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

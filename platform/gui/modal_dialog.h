#pragma once

#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/dialog_template.h"

namespace gui {

class DeviceScreen;

// Makes the dialog from the template, lets the handler initialise it, shows it over the owner
// and runs the desktop's events until the handler ends it; returns the result it was ended
// with (kDialogNotEnded when it went otherwise). With a modal responder installed the
// responder answers instead of a person, and nothing waits.
int RunModalDialog(DeviceScreen& screen, Window& owner, const DialogTemplate& dialogTemplate,
                   DialogHandler& handler);

// What a dialog asks the shell for while it is initialised: fill the work area, a done (OK)
// button in the navigation bar that sends command 1, and the input panel lowered.
void InitFullScreenDialog(Dialog& dialog);

}  // namespace gui

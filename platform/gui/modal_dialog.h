#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/modal_responder.h"

namespace gui {

class DeviceScreen;

// Makes the dialog from the template, lets the handler initialise it, shows it over the owner
// and runs the desktop's events until the handler ends it; returns the result it was ended
// with (kDialogNotEnded when it went otherwise). With a modal responder installed the
// responder answers instead of a person, and nothing waits.
int RunModalDialog(DeviceScreen& screen, Window& owner, const DialogTemplate& dialogTemplate,
                   DialogHandler& handler);

// The same run over `owner` (null: a dialog over no window), where a responder answers with
// `answer` (the command the dialog is sent) instead of its AnswerDialog.
int RunModalDialogAnswered(DeviceScreen& screen, Window* owner,
                           const DialogTemplate& dialogTemplate, DialogHandler& handler,
                           const std::function<uint16_t(ModalResponder&, Dialog&)>& answer);

// Runs the desktop's events until the dialog's handler has no work under way (or the dialog
// went), for at most `longest`; true when the work ended in time.
bool WaitForDialogWork(Dialog& dialog, std::chrono::milliseconds longest);

// What a dialog asks the shell for while it is initialised: fill the work area, a done (OK)
// button in the navigation bar that sends command 1, and the input panel lowered.
void InitFullScreenDialog(Dialog& dialog);

}  // namespace gui

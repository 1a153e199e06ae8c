#pragma once

#include <cstdint>

#include "platform/gui/window.h"

namespace gui {

class Dialog;

// What a dialog does: the procedure behind a dialog template.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // Before the dialog is shown, its controls made. True gives the keyboard to the first
    // control that takes it at the start.
    virtual bool OnInitDialog(Dialog& /*dialog*/) { return true; }
    // A button's command (the OK button's is 1); true when handled.
    virtual bool OnCommand(Dialog& dialog, uint16_t id) = 0;
    // The command Return gives while the control `focused` (of the dialog) has the keyboard, when
    // it is not the dialog's default: fields that belong with a button of their own (an account
    // and its 接続) press that one. 0: the default.
    virtual uint16_t ReturnCommand(Dialog& /*dialog*/, const Control& /*focused*/) { return 0; }
    virtual void OnControlNotify(Dialog& /*dialog*/, Control& /*control*/,
                                 ControlNotification /*code*/) {}
    // A day given to a dialog without a month calendar of its own, as the date picker it opens
    // would give it (a script answering the dialog); true when the dialog takes it.
    virtual bool TakePickedDay(Dialog& /*dialog*/, int /*year*/, int /*month*/, int /*day*/) {
        return false;
    }
    // The screen turned while the dialog was open: it has its new size, its controls their
    // template places. A dialog that lays out windows of its own to fill itself does it again.
    virtual void OnSettingChange(Dialog& /*dialog*/) {}
    // Work the dialog set off on its own (a request to a server on a worker thread) is still
    // under way; its end reaches the dialog as a queued event. A script answering the dialog
    // waits for it (WaitForDialogWork) before its next step.
    virtual bool IsWorking() const { return false; }
};

}  // namespace gui

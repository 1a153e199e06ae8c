// The main window's 元に戻す and やり直し.
#include "app/main_window.h"
#include "editors/undo_steps.h"

namespace app {

void MainWindow::ApplyNextStep(pim::StepDirection direction) {
    const editors::StepResult result = editors::ApplyNextStep(WriteContext(), direction);
    if (result.status == editors::StepResult::Status::ItemChanged) {
        Screen().ShowMessageBox(editors::ItemChangedMessage(result.subject), editors::kUndoCaption,
                                gui::MessageBoxButtons::Ok);
        return;
    }
    if (result.ok()) {
        ReloadAfterClipboardWrite(true);
    }
}

}  // namespace app

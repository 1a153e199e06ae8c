// The main window's 元に戻す and やり直し.
#include <utility>

#include "app/main_window.h"
#include "editors/undo_steps.h"
#include "resources/resource_ids.h"

namespace app {

void MainWindow::ApplyNextStep(store::StepDirection direction) {
    const editors::StepResult result = editors::ApplyNextStep(WriteContext(), direction);
    if (result.status == editors::StepResult::Status::ItemChanged ||
        result.status == editors::StepResult::Status::Damaged) {
        const bool changed = result.status == editors::StepResult::Status::ItemChanged;
        Screen().ShowMessageBox(changed ? editors::ItemChangedMessage(result.subject)
                                        : editors::DamagedStepMessage(result.subject),
                                editors::kUndoCaption, gui::MessageBoxButtons::Ok);
        ApplyUndoMenuState();
        return;
    }
    if (result.status == editors::StepResult::Status::ReadOnly) {
        Screen().ShowMessageBox(
            editors::ReadOnlyCalendarMessage(result.calendar),
            direction == store::StepDirection::Back ? editors::kUndoCaption : editors::kRedoCaption,
            gui::MessageBoxButtons::Ok);
        return;
    }
    if (result.ok()) {
        ReloadAfterClipboardWrite(true);
    }
}

void MainWindow::ApplyUndoMenuState() {
    if (!menuBar_) {
        return;
    }
    if (gui::PopupMenu* menu = menuBar_->SubMenu(resources::kCommandGoTo)) {
        // Each says what it will take back or do again.
        const editors::StoreWriteContext context = WriteContext();
        for (const auto& [command, direction] :
             {std::pair(resources::kCommandUndo, store::StepDirection::Back),
              std::pair(resources::kCommandRedo, store::StepDirection::Again)}) {
            editors::NextStepMenuItem item = editors::NextStepMenu(context, direction);
            menu->EnableItem(command, item.enabled);
            menu->SetItemText(command, std::move(item.text));
        }
    }
}

}  // namespace app

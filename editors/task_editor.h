#pragma once

#include "editors/calendar_line.h"
#include "editors/editor_host.h"
#include "platform/gui/check_box.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/label.h"
#include "platform/gui/window.h"

namespace editors {

// The task editor ("TaskWindow"): subject with the recent task subjects, due date with its
// picker and "Clr", completion, with several calendars in the store the task's calendar ("."
// changes it), and notes. It edits the planner's edit record; OK writes the task, remembers the
// subject and closes; "←" closes without writing; "削除" deletes after asking. A task of a
// read-only calendar opens without OK and "削除". Closing always returns to the main window.
class TaskEditor final : public gui::Window {
public:
    TaskEditor(gui::DeviceScreen& screen, EditorHost& host);

    void OnCreate() override;
    void OnActivate(gui::Activation state) override;
    void OnSettingChange() override;
    void OnPaint(gui::Surface& surface) override;

    // Whether the task opened may only be looked at (its calendar is read-only).
    bool LookOnly() const { return calendar_.ReadOnly(); }
    bool OnCommand(uint16_t command) override;

private:
    void SaveAndClose();
    void DeleteAndClose();
    void PickDueDate();
    void Close();

    EditorHost& host_;
    gui::ActivationRecord activation_;
    gui::ComboBox* subject_ = nullptr;
    gui::Label* dueDate_ = nullptr;
    gui::CheckBox* complete_ = nullptr;
    gui::EditBox* notes_ = nullptr;
    CalendarLine calendar_;
};

}  // namespace editors

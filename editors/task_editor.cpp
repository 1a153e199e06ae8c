#include "editors/task_editor.h"

#include "controls/date_picker.h"
#include "editors/editor_labels.h"
#include "editors/task_writes.h"
#include "editors/undo_steps.h"
#include "platform/gui/push_button.h"
#include "platform/gui/shell.h"
#include "platform/gui/surface.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"

namespace editors {
namespace {

using gui::RectAt;
using namespace resources;

// The layout, in the editor's own pixels.
constexpr gui::Rect kSubjectLabel = RectAt(0, 0, 30, 20);
constexpr gui::Rect kSubjectBox = RectAt(30, 0, 210, 150);  // the height takes in the list
constexpr gui::Rect kDueLabel = RectAt(0, 25, 30, 20);
constexpr gui::Rect kDueDateLabel = RectAt(30, 25, 85, 16);
constexpr gui::Rect kDueDateButton = RectAt(115, 27, 10, 12);
constexpr gui::Rect kClearButton = RectAt(130, 27, 20, 12);
constexpr gui::Rect kCompleteLabel = RectAt(0, 50, 30, 20);
constexpr gui::Rect kCompleteBox = RectAt(81, 50, 16, 16);
// The task's calendar, beside the completion box, when the store has more than one.
constexpr gui::Rect kCalendarLine = RectAt(104, 50, 134, 16);
constexpr gui::Rect kNotesField = RectAt(0, 75, 240, 100);
// What a paint covers: the editor in either orientation.
constexpr gui::Rect kPaintArea{0, 0, 320, 270};

constexpr std::u16string_view kDeleteQuestion = u"削除してよろしいですか";
constexpr std::u16string_view kDeleteCaption = u"確認";

}  // namespace

TaskEditor::TaskEditor(gui::DeviceScreen& screen, EditorHost& host)
    : gui::Window(screen, u"TaskWindow", u"Tessarinth", gui::kWhite), host_(host) {}

void TaskEditor::OnCreate() {
    gui::DeviceScreen& screen = Screen();
    EditRecord& record = host_.Record();
    activation_ = gui::ActivationRecord{};
    calendar_.Create(screen, *this, kCalendarLine, schedule::ItemKindOfCalendar::Task, record,
                     host_.WriteContext().store);
    screen.CreateMenuBar(*this, calendar_.ReadOnly() ? LookOnlyMenuBar(MenuBarButtons(kTaskMenu))
                                                     : MenuBarButtons(kTaskMenu));

    screen.CreateChild<gui::Label>(*this, kSubjectLabel, 0, u"件名");
    subject_ = screen.CreateChild<gui::ComboBox>(*this, kSubjectBox, 0);
    screen.CreateChild<gui::Label>(*this, kDueLabel, 0, u"期日");
    dueDate_ = screen.CreateChild<gui::Label>(*this, kDueDateLabel, 0, u"");
    screen.CreateChild<gui::PushButton>(*this, kDueDateButton, kCommandStartDate, u".");
    screen.CreateChild<gui::PushButton>(*this, kClearButton, kCommandClearDueDate, u"Clr");
    screen.CreateChild<gui::Label>(*this, kCompleteLabel, 0, u"完了");
    complete_ = screen.CreateChild<gui::CheckBox>(*this, kCompleteBox, kCommandToggleComplete, u"");
    complete_->SetChecked(record.Complete != 0);
    notes_ = screen.CreateChild<gui::EditBox>(
        *this, kNotesField, 0, gui::EditStyle{.multiLine = true, .verticalScrollBar = true});
    subject_->LimitText(static_cast<int>(kMaxEditedSubjectChars));
    notes_->LimitText(static_cast<int>(kMaxBodyChars));

    // The recent task subjects, most recent first, then the record's own texts.
    subject_->ClearItems();
    for (const std::u16string& text : host_.History().TaskHistory.Texts()) {
        subject_->AddItem(text);
    }
    subject_->SetText(record.Subject);
    notes_->SetText(record.Body);
    if (!calendar_.ReadOnly()) {
        screen.ShowOkButton(*this);
    }
}

void TaskEditor::OnActivate(gui::Activation state) {
    gui::HandleActivation(Screen(), state, activation_);
}

void TaskEditor::OnSettingChange() {
    gui::HandleSettingChange(Screen(), activation_);
}

void TaskEditor::OnPaint(gui::Surface& surface) {
    surface.FillRect(kPaintArea.left, kPaintArea.top, kPaintArea.right, kPaintArea.bottom,
                     gui::kWhite);
    const platform::Date due = host_.Record().Start;
    dueDate_->SetText(due == 0.0 ? std::u16string() : EditorDateText(due));
}

bool TaskEditor::OnCommand(uint16_t command) {
    // A task that may only be looked at is neither saved nor deleted, whatever sends the
    // command (Ctrl+Q, a script).
    const bool lookOnly = calendar_.ReadOnly();
    switch (command) {
        case kCommandOk:
            if (!lookOnly) {
                SaveAndClose();
            }
            return true;
        case kCommandCancel:
        case kCommandBack:
            Close();
            return true;
        case kCommandDelete:
            if (!lookOnly) {
                DeleteAndClose();
            }
            return true;
        case kCommandChooseCalendar:
            if (calendar_.Choose(Screen(), *this, host_.Record())) {
                InvalidateAll(true);
            }
            return true;
        case kCommandStartDate:
            PickDueDate();
            return true;
        case kCommandClearDueDate:
            host_.Record().Start = 0.0;
            InvalidateAll(true);
            return true;
        case kCommandToggleComplete:
            host_.Record().Complete = complete_->IsChecked() ? 1 : 0;
            InvalidateAll(true);
            return true;
        default:
            return false;
    }
}

void TaskEditor::SaveAndClose() {
    EditRecord& record = host_.Record();
    // The box limits what is typed; a longer stored subject that was not changed is kept whole.
    record.Subject = subject_->Text();
    // The notes are kept whole, up to what the record holds: opening and saving a task never
    // shortens them.
    record.Body = LimitedText(notes_->Text(), kMaxBodyChars);
    const WriteResult written = RecordedWrite(
        host_.WriteContext(), record.ItemOid == 0 ? ChangeKind::Created : ChangeKind::Saved,
        calendar::ItemKind::Task, record.ItemOid,
        [&] { return SaveEditedTask(host_.WriteContext(), record); });
    controls::RememberHistoryText(host_.History().TaskHistory, record.Subject);
    (void)controls::SaveTaskHistory(host_.History(), host_.Home(), host_.Settings().DataPath);
    host_.ReloadAfterWrite(written.ok());
    Close();
}

void TaskEditor::DeleteAndClose() {
    const EditRecord& record = host_.Record();
    if (record.ItemOid != 0) {
        if (Screen().ShowMessageBox(kDeleteQuestion, kDeleteCaption,
                                    gui::MessageBoxButtons::YesNo) != gui::MessageBoxAnswer::Yes) {
            return;
        }
        const WriteResult deleted =
            RecordedWrite(host_.WriteContext(), ChangeKind::Deleted, calendar::ItemKind::Task,
                          record.ItemOid, [&] { return DeleteTask(host_.WriteContext(), record); });
        host_.ReloadAfterWrite(deleted.ok());
    }
    Close();
}

void TaskEditor::PickDueDate() {
    EditRecord& record = host_.Record();
    controls::PickedDates dates{record.Start, record.End, host_.SelectedDate()};
    if (controls::RunDatePicker(Screen(), *this, controls::DatePickerVariant::StartDate, dates) ==
        kCommandOk) {
        record.Start = dates.start;
        record.End = dates.end;
        host_.MoveSelectedDate(dates.selectedDate);
    }
    InvalidateAll(true);
}

void TaskEditor::Close() {
    host_.ReturnToMainWindow();
    Destroy();
}

}  // namespace editors

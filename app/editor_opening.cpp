// Opening an editor over the main window, and what the editors reach of the planner while they
// are open.
#include "app/main_window.h"
#include "editors/appointment_editor.h"
#include "editors/task_editor.h"
#include "schedule/month_census.h"

namespace app {

void MainWindow::OpenEditor(EditorKind kind) {
    if (OpenEditorWindow() != nullptr) {
        return;
    }
    selectedAtEditorOpen_ = day_.selectedDate;
    editors::EditorHost& host = *this;
    gui::Window* editor = nullptr;
    switch (kind) {
        case EditorKind::Task:
            editor = Screen().CreateTopLevel<editors::TaskEditor>(host);
            break;
        case EditorKind::Appointment:
            if (!planner_.editorPictures) {
                planner_.editorPictures = editors::LoadAppointmentEditorPictures();
            }
            editor =
                Screen().CreateTopLevel<editors::AppointmentEditor>(host, *planner_.editorPictures);
            break;
    }
    editor_ = editor;
    editorAlive_ = Screen().IsAlive(editor);
    // Always fitted above the menu bar, whether or not this window has one.
    FitAboveMenuBar(*editor);
    editor->Show();
    editor->PaintNow();
    Hide();
}

gui::Window* MainWindow::OpenEditorWindow() const {
    return editorAlive_ && editorAlive_() ? editor_ : nullptr;
}

void MainWindow::NewAppointment() {
    editors::FillForNewAppointment(*planner_.editRecord, day_.selectedDate);
    OpenEditor(EditorKind::Appointment);
}

void MainWindow::NewTask() {
    editors::FillForNewTask(*planner_.editRecord, day_.selectedDate);
    OpenEditor(EditorKind::Task);
}

editors::EditRecord& MainWindow::Record() {
    return *planner_.editRecord;
}

controls::PadData& MainWindow::Pad() {
    return *planner_.pad;
}

controls::HistoryLists& MainWindow::History() {
    return planner_.history;
}

const platform::DataHome& MainWindow::Home() const {
    return planner_.home;
}

const settings::Settings& MainWindow::Settings() const {
    return planner_.settings;
}

editors::StoreWriteContext MainWindow::WriteContext() {
    return {planner_.store, planner_.home, planner_.settings, planner_.census, planner_.clock};
}

void MainWindow::MoveSelectedDate(platform::Date day) {
    day_.selectedDate = static_cast<platform::Date>(platform::DayNumber(day));
    RefreshSelectedFields(day_);
}

void MainWindow::ReloadAfterWrite(bool written) {
    // A write the month's marks may not know of: they are built again, not only when the month
    // changes.
    if (written) {
        schedule::InvalidateMonthCensus(planner_.census);
        if (planner_.afterOwnSave) {
            planner_.afterOwnSave();
        }
    }
    (void)schedule::RefreshMonthCensus(day_.selectedDate, planner_.settings, planner_.store,
                                       planner_.census);
    (void)schedule::LoadDayItems(day_.selectedDate, planner_.settings, planner_.home,
                                 planner_.store, *planner_.dayItems, &planner_.census);
    ApplyUndoMenuState();
}

void MainWindow::ReturnToMainWindow() {
    Show();
    // Another program changed the store while the editor was open: shown now.
    if (reloadOnReturn_) {
        reloadOnReturn_ = false;
        ReloadAfterWrite(true);
    }
    // A date picked in the editor moved the selected day: the grid, its marks and the list
    // follow it as after any move of the date.
    if (day_.selectedDate != selectedAtEditorOpen_) {
        FinishMove();
    }
    Repaint();
    PaintNow();
}

}  // namespace app

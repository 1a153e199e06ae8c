#include "app/main_window.h"

#include <QCoreApplication>

#include <string>

#include "controls/find_dialog.h"
#include "controls/history.h"
#include "controls/summary_window.h"
#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/shell.h"
#include "platform/gui/surface.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "resources/strings.h"
#include "schedule/month_census.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "views/corner_panel.h"
#include "views/date_header.h"
#include "views/day_list.h"
#include "views/day_strip.h"
#include "views/month_grid.h"
#include "views/view_font.h"

namespace app {
namespace {

using namespace resources;

uint16_t CommandForKey(gui::Key key) {
    switch (key) {
        case gui::Key::Return:
            return kCommandToday;
        case gui::Key::Left:
            return kCommandPreviousWeek;
        case gui::Key::Up:
            return kCommandPreviousDay;
        case gui::Key::Right:
            return kCommandNextWeek;
        case gui::Key::Down:
            return kCommandNextDay;
        default:
            return 0;
    }
}

platform::Date DayOf(const platform::CalendarFields& today) {
    return platform::MakeDate(today.Year, today.Month, today.Day).value_or(0.0);
}

}  // namespace

MainWindow::MainWindow(gui::DeviceScreen& screen, Planner& planner, platform::CalendarFields today)
    : gui::Window(screen, std::u16string(String(kClassNameString)),
                  std::u16string(String(kTitleString)), gui::kGray),
      planner_(planner),
      storeWatcher_(planner.home.StorePath()) {
    // Today at midnight is both the selected date and today's date.
    today.Hour = today.Minute = today.Second = today.Milliseconds = 0;
    day_.selectedDateFields = today;
    day_.selectedDate = DayOf(today);
    day_.todayDate = day_.selectedDate;
}

void MainWindow::OnCreate() {
    menuBar_ = Screen().CreateMenuBar(*this, MenuBarButtons(kMainMenu));
    activation_ = gui::ActivationRecord{};
    ApplyTaskSetting();
    ApplyUndoMenuState();
    // A store that cannot be read leaves empty rows and marks; the next load tries again. The
    // census first: the rows of days inside its month are placed from what it read.
    (void)schedule::RefreshMonthCensus(day_.selectedDate, planner_.settings, planner_.store,
                                       planner_.census);
    (void)schedule::LoadDayItems(day_.selectedDate, planner_.settings, planner_.home,
                                 planner_.store, *planner_.dayItems, &planner_.census);
    keyCommandPending_ = false;
    holdHandled_ = false;
    clipboard_.objectId = 0;
    (void)storeWatcher_.HasChanged();  // what is loaded now is the starting point
    SetTimer(kStoreWatchTimer, kStoreWatchMilliseconds);
}

void MainWindow::OnDestroy() {
    menuBar_ = nullptr;
    // The planner ends with its main window.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void MainWindow::OnActivate(gui::Activation state) {
    gui::HandleActivation(Screen(), state, activation_);
}

void MainWindow::OnSettingChange() {
    gui::HandleSettingChange(Screen(), activation_);
}

void FitAboveMenuBar(gui::Window& window) {
    const gui::Rect rect = window.ScreenRect();
    window.Move(rect.left, rect.top, rect.right, rect.bottom - gui::kBarHeight, false);
}

bool MainWindow::IsPortrait() const {
    const gui::Rect rect = ScreenRect();
    return rect.right < rect.bottom;
}

void MainWindow::Repaint() {
    Invalidate(kFullRepaintRect, true);
}

views::ViewState MainWindow::ViewStateNow() const {
    return views::ViewState{day_.selectedDate, day_.todayDate, planner_.census, *planner_.dayItems,
                            planner_.settings};
}

void MainWindow::OnPaint(gui::Surface& surface) {
    const views::ViewState state = ViewStateNow();
    cornerMarks_ =
        views::DrawCornerPanel(surface, kCornerPanelOrigin.x, kCornerPanelOrigin.y, state);
    views::DrawMonthGrid(surface, kMonthGridOrigin.x, kMonthGridOrigin.y, state);
    if (!IsPortrait()) {
        // The header prints in the grid's small face, which it would find on a surface the
        // grid had just drawn with; it is chosen here so the header never depends on that.
        const gui::Font headerFont = views::CreateViewFont(views::kGridTextHeight, state.settings);
        const gui::Font previous = surface.SelectFont(headerFont);
        views::DrawDateHeader(surface, kDateHeaderOrigin.x, kDateHeaderOrigin.y,
                              state.selectedDate);
        surface.SelectFont(previous);
        views::DrawDayStrip(surface, kDayStripOrigin.x, kDayStripOrigin.y, state);
    }
    views::DrawDayList(surface, ScreenRect(), state, planner_.listIcons);
    keyCommandPending_ = false;
}

void MainWindow::OnKeyDown(gui::Key key) {
    const uint16_t command = CommandForKey(key);
    // A held key moves one step per repaint: repeats before the next paint are dropped.
    if (command == 0 || keyCommandPending_) {
        return;
    }
    PostCommand(command);
    keyCommandPending_ = true;
}

bool MainWindow::OnCommand(uint16_t command) {
    switch (command) {
        case kCommandAbout:
            ShowAboutBox();
            return true;
        case kCommandToday:
            GoToday();
            return true;
        case kCommandNextMonth:
            GoNextMonth();
            return true;
        case kCommandPreviousWeek:
            GoPreviousWeek();
            return true;
        case kCommandPreviousMonth:
            GoPreviousMonth();
            return true;
        case kCommandPreviousDay:
            GoPreviousDay();
            return true;
        case kCommandNextDay:
            GoNextDay();
            return true;
        case kCommandNextWeek:
            GoNextWeek();
            return true;
        case kCommandNewAppointment:
            NewAppointment();
            return true;
        case kCommandSettings:
            ShowSettings();
            return true;
        case kCommandCut:
            CutItem();
            return true;
        case kCommandCopy:
            CopyItem();
            return true;
        case kCommandPasteAsTask:
            PasteAsTask();
            return true;
        case kCommandNewTask:
            NewTask();
            return true;
        case kCommandToggleComplete:
            ToggleComplete();
            return true;
        case kCommandNewTaskHere:
            NewTaskFromContextMenu();
            return true;
        case kCommandSummary:
            ShowSummary();
            return true;
        case kCommandPasteAsAppointment:
            PasteAsAppointment();
            return true;
        case kCommandUndo:
            ApplyNextStep(store::StepDirection::Back);
            return true;
        case kCommandRedo:
            ApplyNextStep(store::StepDirection::Again);
            return true;
        case kCommandFind:
            OpenFindDialog();
            return true;
        default:
            return false;  // Ctrl+Q's command 1 among them: it does nothing here
    }
}

void MainWindow::ApplyTaskSetting() {
    if (!menuBar_) {
        return;
    }
    if (gui::PopupMenu* menu = menuBar_->SubMenu(kCommandNew)) {
        menu->EnableItem(kCommandNewTask, settings::IsOn(planner_.settings.bTask));
    }
}

void MainWindow::RefreshAfterChange() {
    (void)schedule::RefreshMonthCensus(day_.selectedDate, planner_.settings, planner_.store,
                                       planner_.census);
    (void)schedule::LoadDayItems(day_.selectedDate, planner_.settings, planner_.home,
                                 planner_.store, *planner_.dayItems, &planner_.census);
    Repaint();
}

namespace {

// The About box: full screen with a done button; its OK ends it.
class AboutBoxHandler final : public gui::DialogHandler {
public:
    bool OnInitDialog(gui::Dialog& dialog) override {
        gui::InitFullScreenDialog(dialog);
        return true;
    }
    bool OnCommand(gui::Dialog& dialog, uint16_t command) override {
        if (command != kCommandOk) {
            return false;
        }
        dialog.End(1);
        return true;
    }
};

}  // namespace

void MainWindow::FinishMove() {
    RefreshSelectedFields(day_);
    RefreshAfterChange();
}

void MainWindow::SelectDay(platform::Date day) {
    day_.selectedDate = static_cast<platform::Date>(platform::DayNumber(day));
    FinishMove();
}

void MainWindow::GoToday() {
    MoveToToday(day_, planner_.clock);
    RefreshAfterChange();
}

void MainWindow::GoPreviousDay() {
    MoveByDays(day_, -1);
    FinishMove();
}

void MainWindow::GoNextDay() {
    MoveByDays(day_, 1);
    FinishMove();
}

void MainWindow::GoPreviousWeek() {
    MoveByDays(day_, -7);
    FinishMove();
}

void MainWindow::GoNextWeek() {
    MoveByDays(day_, 7);
    FinishMove();
}

void MainWindow::GoNextMonth() {
    MoveToNextMonth(day_);
    FinishMove();
}

void MainWindow::GoPreviousMonth() {
    MoveToPreviousMonth(day_);
    FinishMove();
}

void MainWindow::ShowSummary() {
    controls::OpenSummaryWindow(
        *this, [this] { return ViewStateNow(); }, planner_.syncMark);
}

void MainWindow::OpenFindDialog() {
    const controls::FindContext context{planner_.store, day_.todayDate, planner_.settings,
                                        planner_.listIcons.recurring};
    if (const std::optional<platform::Date> day =
            controls::RunFindDialog(Screen(), *this, context)) {
        SelectDay(*day);
    }
}

void MainWindow::ShowAboutBox() {
    AboutBoxHandler handler;
    gui::RunModalDialog(Screen(), *this, DialogTemplateOf(kAboutDialog), handler);
}

void MainWindow::ShowSettings() {
    const settings::Settings before = planner_.settings;
    if (settings::RunSettingsDialog(*this, planner_.settings, planner_.registry,
                                    [this](gui::Window& over) { ShowSyncDialog(over); }) ==
        settings::SettingsDialogResult::Confirmed) {
        TakeNewSettings(before);
    }
    // Whichever button closed it, as the task switch may have changed.
    ApplyTaskSetting();
    RefreshAfterChange();
}

void MainWindow::TakeNewSettings(const settings::Settings& before) {
    // A new holiday category changes which days of the month shown now are holidays; a
    // refresh within the same month would otherwise keep the old marks.
    schedule::InvalidateMonthCensus(planner_.census);
    if (planner_.settings.DataPath != before.DataPath) {
        // The editors save their lists into the data folder: they start from that folder's
        // own, or their next save would write the old folder's lists over them.
        controls::LoadSubjectLocationHistory(planner_.history, planner_.home,
                                             planner_.settings.DataPath);
        controls::LoadTaskHistory(planner_.history, planner_.home, planner_.settings.DataPath);
    }
    if (planner_.settings.SyncMinutes != before.SyncMinutes && planner_.afterSettingsChange) {
        planner_.afterSettingsChange();
    }
}

}  // namespace app

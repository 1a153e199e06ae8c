// The main window's "設定" command: the settings dialog over the real planner, and what the
// screen shows after it closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/planner.h"
#include "app/startup.h"
#include "controls/history.h"
#include "controls/pad_data.h"
#include "editors/appointment_writes.h"
#include "editors/edit_record.h"
#include "editors/task_writes.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/dialog.h"
#include "platform/gui/push_button.h"
#include "resources/resource_ids.h"
#include "settings/calendar_list_window.h"
#include "settings/settings_dialog.h"
#include "tests/support/temp_folder.h"

namespace settings {
namespace {

using namespace resources;

platform::Date At(int y, int m, int d, int h = 0) {
    return *platform::MakeDate(y, m, d, h);
}

gui::Point Middle(const gui::Rect& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Where the task editor's subject field and the navigation bar's OK button lie.
constexpr gui::Point kTaskSubjectField{100, 26 + 9};
constexpr gui::Point kOkButton{230, 12};

// The planner started on a fresh home as the program starts it, on Monday 7 December 2026.
class MainWindowSettingsTest : public ::testing::Test {
protected:
    MainWindowSettingsTest() {
        EXPECT_TRUE(home_.EnsureFolders().ok());
        screen_.UseManualTimers();
        screen_.SetModalResponder(&responder_);
        main_ = app::StartPlanner(screen_, planner_);
        screen_.ProcessPending();
    }
    ~MainWindowSettingsTest() override { app::ShutDownPlanner(planner_); }

    void Tap(gui::Point point) {
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
    }
    void TapItem(gui::Dialog& dialog, uint16_t id) { Tap(Middle(dialog.Item(id)->ScreenRect())); }
    void Type(const QString& text) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(screen_.FocusWindow()->ScreenWidget(), &commit);
    }
    // "設定" with the dialog worked by `act`, then closed with OK or キャンセル.
    void OpenSettings(const std::function<void(gui::Dialog&)>& act, uint16_t close) {
        responder_.dialogAnswers.push_back({[this, act, close](gui::Dialog& dialog) {
                                                if (act) {
                                                    act(dialog);
                                                }
                                                TapItem(dialog, close);
                                            },
                                            gui::kCancelCommand});
        main_->SendCommand(kCommandSettings);
        screen_.ProcessPending();
        screen_.PaintPending();
    }

    const schedule::DayItemRow& Row(size_t index) const { return planner_.dayItems->table[index]; }
    bool NewTaskItemEnabled() const {
        return main_->MenuBar()->SubMenu(kCommandNew)->IsEnabled(kCommandNewTask);
    }
    // How many pixels of the month grid's cell for `day` are in `colour`.
    int PixelsInDayCell(platform::Date day, gui::ColorRef colour) const {
        const schedule::MonthGridDates& dates = planner_.census.dates;
        const auto found = std::find(dates.begin(), dates.end(), day);
        EXPECT_NE(found, dates.end());
        const int cell = static_cast<int>(found - dates.begin());
        // Cells of 16 x 10 below the weekday row, one pixel in from the grid's lines.
        const int left = app::kMonthGridOrigin.x + 16 * (cell % 7) + 1;
        const int top = app::kMonthGridOrigin.y + 10 * (cell / 7 + 1) + 1;
        int count = 0;
        for (int y = top; y < top + 10; ++y) {
            for (int x = left; x < left + 16; ++x) {
                count += gui::FromQRgb(main_->Pixels().pixel(x, y)) == colour ? 1 : 0;
            }
        }
        return count;
    }
    editors::StoreWriteContext Writes(const Settings& settings,
                                      schedule::MonthCensusState& census) {
        return {planner_.store, home_, settings, census, clock_};
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    platform::FixedClock clock_{platform::CalendarFields{2026, 12, 1, 7, 9, 30, 0, 0}};
    app::Planner planner_{home_, platform::registry::Registry::Open(home_.RegistryPath()), clock_};
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    app::MainWindow* main_ = nullptr;
};

TEST_F(MainWindowSettingsTest, CancelStillReloadsTheDayAndStoresNothing) {
    // A task written behind the main window's back: only a reload shows it.
    editors::EditRecord record;
    editors::FillForNewTask(record, At(2026, 12, 7));
    record.Subject = u"年賀状";
    schedule::MonthCensusState scratch;
    ASSERT_TRUE(editors::CreateTask(Writes(planner_.settings, scratch), record).ok());
    ASSERT_NE(Row(0).subject, u"年賀状");
    const Settings before = planner_.settings;
    const std::string fileBefore = testing_support::ReadBytes(home_.RegistryPath());

    responder_.colorAnswers = {gui::Rgb(0, 0xFF, 0)};
    OpenSettings(
        [this](gui::Dialog& dialog) {
            TapItem(dialog, kTodayButton);
            TapItem(dialog, kDatedTasksBox);
        },
        gui::kCancelCommand);

    EXPECT_EQ(responder_.dialogsShown, std::vector<std::u16string>{u"設定"});
    EXPECT_EQ(Row(0).subject, u"年賀状");
    EXPECT_EQ(planner_.settings, before);
    EXPECT_EQ(testing_support::ReadBytes(home_.RegistryPath()), fileBefore);
    EXPECT_TRUE(NewTaskItemEnabled());
    EXPECT_EQ(screen_.ActiveWindow(), main_);
}

// 同期 over the settings dialog: the calendar hidden there leaves the day as the dialogs close,
// and the new interval reaches the planner's own sync even when 設定 is cancelled.
TEST_F(MainWindowSettingsTest, TheSyncDialogUnderSettingsHidesACalendarAndSetsTheInterval) {
    editors::EditRecord record;
    editors::FillForNewTask(record, At(2026, 12, 7));
    record.Subject = u"年賀状";
    ASSERT_TRUE(editors::CreateTask(Writes(planner_.settings, planner_.census), record).ok());
    main_->SendCommand(kCommandToday);
    ASSERT_EQ(Row(0).subject, u"年賀状");
    int intervalsTold = 0;
    planner_.afterSettingsChange = [&intervalsTold] { ++intervalsTold; };

    responder_.dialogAnswers.push_back(
        {[this](gui::Dialog& dialog) { TapItem(dialog, resources::kCommandSyncSetup); },
         gui::kCancelCommand});
    responder_.dialogAnswers.push_back(
        {[this](gui::Dialog& dialog) {
             dialog.SetItemText(resources::kSyncMinutes, u"5");
             for (gui::Window* child : dialog.Children()) {
                 if (auto* list = dynamic_cast<CalendarListWindow*>(child)) {
                     const gui::Rect box = list->BoxRect(0, CalendarListWindow::Box::Shown);
                     const gui::Rect outer = list->ScreenRect();
                     Tap(Middle(box.Offset(outer.left, outer.top)));
                 }
             }
         },
         gui::kOkCommand});
    main_->SendCommand(kCommandSettings);
    screen_.ProcessPending();

    EXPECT_EQ(responder_.dialogsShown, (std::vector<std::u16string>{u"設定", u"同期"}));
    EXPECT_EQ(planner_.settings.SyncMinutes, 5);
    EXPECT_EQ(intervalsTold, 1);
    EXPECT_NE(Row(0).subject, u"年賀状") << "calendar 1 hidden: its task left the day";
    EXPECT_EQ(screen_.ActiveWindow(), main_);
}

TEST_F(MainWindowSettingsTest, DatedTasksSwitchedOffGreyTheNewTaskItemAndLeaveTheList) {
    editors::EditRecord record;
    editors::FillForNewTask(record, At(2026, 12, 7));
    record.Subject = u"年賀状";
    ASSERT_TRUE(editors::CreateTask(Writes(planner_.settings, planner_.census), record).ok());
    main_->SendCommand(kCommandToday);
    ASSERT_EQ(Row(0).subject, u"年賀状");
    ASSERT_TRUE(NewTaskItemEnabled());

    OpenSettings([this](gui::Dialog& dialog) { TapItem(dialog, kDatedTasksBox); }, gui::kOkCommand);
    EXPECT_EQ(planner_.settings.bTask, 0);
    EXPECT_FALSE(NewTaskItemEnabled());
    EXPECT_NE(Row(0).subject, u"年賀状");
}

TEST_F(MainWindowSettingsTest, ANewHolidayCategoryColoursTheGridsDaysAtOnce) {
    // An all-day appointment on Tuesday the 15th in the category "休日", written as another
    // program would: the planner's marks of December are not told of it.
    Settings otherCategory = planner_.settings;
    otherCategory.HoliDay = u"休日";
    schedule::MonthCensusState scratch;
    editors::EditRecord record;
    editors::FillForNewAppointment(record, At(2026, 12, 15));
    record.Subject = u"創立記念日";
    record.AllDay = 1;
    record.Holiday = 1;
    controls::PadData pad;
    ASSERT_TRUE(editors::CreateAppointment(Writes(otherCategory, scratch), record, pad, u"").ok());
    main_->SendCommand(kCommandNextDay);  // within the month: the marks stay as they were
    screen_.ProcessPending();
    screen_.PaintPending();
    const gui::ColorRef green = gui::Rgb(0, 0xA0, 0);
    ASSERT_EQ(PixelsInDayCell(At(2026, 12, 15), green), 0);

    responder_.colorAnswers = {green};
    OpenSettings(
        [](gui::Dialog& dialog) {
            dialog.SetItemText(kHolidayEdit, u"休日");
            dialog.ItemAs<gui::PushButton>(kHoliDayButton)->Click();
        },
        gui::kOkCommand);

    EXPECT_EQ(planner_.settings.HoliDay, u"休日");
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 8));
    EXPECT_GT(PixelsInDayCell(At(2026, 12, 15), green), 5);
    // The day beside it keeps its weekday colour.
    EXPECT_EQ(PixelsInDayCell(At(2026, 12, 16), green), 0);
}

TEST_F(MainWindowSettingsTest, ANewDataFolderShowsItsOwnHistoryInTheNextEditor) {
    // The old folder's lists, in memory and on disk, as the editors left them.
    controls::RememberHistoryText(planner_.history.TaskHistory, u"古い仕事");
    controls::RememberHistoryText(planner_.history.SubjectHistory, u"古い件名");
    ASSERT_TRUE(controls::SaveTaskHistory(planner_.history, home_, u"\\My Documents").ok());
    // The new folder's, kept there by an earlier run.
    std::filesystem::create_directories(home_.DeviceRoot() / "Other");
    controls::HistoryLists other;
    controls::RememberHistoryText(other.TaskHistory, u"別の仕事");
    controls::RememberHistoryText(other.SubjectHistory, u"別の件名");
    ASSERT_TRUE(controls::SaveTaskHistory(other, home_, u"\\Other").ok());
    ASSERT_TRUE(controls::SaveSubjectLocationHistory(other, home_, u"\\Other").ok());

    OpenSettings([](gui::Dialog& dialog) { dialog.SetItemText(kDataPathEdit, u"\\Other"); },
                 gui::kOkCommand);
    ASSERT_EQ(planner_.settings.DataPath, u"\\Other");
    EXPECT_EQ(planner_.history.SubjectHistory.Texts(), std::vector<std::u16string>{u"別の件名"});

    // The next task editor offers the new folder's subjects, and its save keeps them.
    main_->SendCommand(kCommandNewTask);
    screen_.ProcessPending();
    gui::Window* editor = main_->OpenEditorWindow();
    ASSERT_NE(editor, nullptr);
    std::vector<std::u16string> offered;
    for (gui::Window* child : editor->Children()) {
        if (auto* combo = dynamic_cast<gui::ComboBox*>(child)) {
            for (int i = 0; i < combo->ItemCount(); ++i) {
                offered.push_back(combo->ItemText(i));
            }
        }
    }
    EXPECT_EQ(offered, std::vector<std::u16string>{u"別の仕事"});
    Tap(kTaskSubjectField);
    Type(QStringLiteral("牛乳"));
    Tap(kOkButton);
    ASSERT_EQ(main_->OpenEditorWindow(), nullptr);

    controls::HistoryLists saved;
    controls::LoadTaskHistory(saved, home_, u"\\Other");
    EXPECT_EQ(saved.TaskHistory.Texts(), (std::vector<std::u16string>{u"牛乳", u"別の仕事"}));
    controls::LoadTaskHistory(saved, home_, u"\\My Documents");
    EXPECT_EQ(saved.TaskHistory.Texts(), std::vector<std::u16string>{u"古い仕事"});
}

TEST_F(MainWindowSettingsTest, AnUnchangedDataFolderKeepsTheListsInMemory) {
    // Remembered but not yet saved (a folder that could not be written, say): OK on the
    // settings must not swap the list for the file's.
    controls::RememberHistoryText(planner_.history.TaskHistory, u"未保存");
    OpenSettings(nullptr, gui::kOkCommand);
    EXPECT_EQ(planner_.history.TaskHistory.Texts(), std::vector<std::u16string>{u"未保存"});
}

}  // namespace
}  // namespace settings

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "app/startup.h"
#include "editors/task_writes.h"
#include "editors/undo_steps.h"
#include "platform/gui/dialog.h"
#include "platform/gui/modal_responder.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "tests/support/temp_folder.h"

namespace app {
namespace {

using namespace resources;

// A main window whose command handlers write down that they were reached.
class RecordingMainWindow : public MainWindow {
public:
    using MainWindow::MainWindow;
    std::vector<std::string> reached;

protected:
    // A date move repaints, as every move does.
    void Moved(const char* what) {
        reached.push_back(what);
        Repaint();
    }
    void ShowAboutBox() override { reached.push_back("about"); }
    void GoToday() override { Moved("today"); }
    void GoNextMonth() override { reached.push_back("next month"); }
    void GoPreviousWeek() override { Moved("previous week"); }
    void GoPreviousMonth() override { reached.push_back("previous month"); }
    void GoPreviousDay() override { Moved("previous day"); }
    void GoNextDay() override { Moved("next day"); }
    void GoNextWeek() override { Moved("next week"); }
    void NewAppointment() override { reached.push_back("new appointment"); }
    void ShowSettings() override { reached.push_back("settings"); }
    void CutItem() override { reached.push_back("cut"); }
    void CopyItem() override { reached.push_back("copy"); }
    void PasteAsTask() override { reached.push_back("paste as task"); }
    void NewTask() override { reached.push_back("new task"); }
    void ToggleComplete() override { reached.push_back("toggle complete"); }
    void NewTaskFromContextMenu() override { reached.push_back("new task here"); }
    void ShowSummary() override { reached.push_back("summary"); }
    void PasteAsAppointment() override { reached.push_back("paste as appointment"); }
    void OpenFindDialog() override { reached.push_back("find"); }
};

platform::CalendarFields Today() {
    platform::CalendarFields f;
    f.Year = 2026;
    f.Month = 12;
    f.Day = 7;
    f.DayOfWeek = 1;
    f.Hour = 9;
    f.Minute = 41;
    return f;
}

class MainWindowTest : public ::testing::Test {
protected:
    RecordingMainWindow* Create(int32_t bTask = 1) {
        planner_.settings.bTask = bTask;
        screen_.SetAccelerators(Accelerators(kMainAccelerators));
        auto* window = screen_.CreateTopLevel<RecordingMainWindow>(planner_, Today());
        FitAboveMenuBar(*window);
        window->Show();
        return window;
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    platform::FixedClock clock_{Today()};
    Planner planner_{home_, platform::registry::Registry::Open(home_.RegistryPath()), clock_};
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
};

TEST_F(MainWindowTest, StartsOnTodayAtMidnightWithItsDayLoaded) {
    auto* window = Create();
    EXPECT_EQ(window->SelectedDate(), *platform::MakeDate(2026, 12, 7));
    EXPECT_EQ(window->TodayDate(), window->SelectedDate());
    EXPECT_EQ(window->SelectedDateFields().Hour, 0);
    EXPECT_EQ(window->SelectedDateFields().Day, 7);
    EXPECT_EQ(planner_.dayItems->window[0], window->SelectedDate());
    EXPECT_EQ(planner_.census.census.cachedMonth, 12);
}

TEST_F(MainWindowTest, FitsAboveTheMenuBarAndTellsItsOrientation) {
    auto* window = Create();
    EXPECT_EQ(window->ScreenRect(), (gui::Rect{0, 26, 240, 294}));
    EXPECT_TRUE(window->IsPortrait());
    screen_.Rotate();
    EXPECT_EQ(window->ScreenRect(), (gui::Rect{0, 26, 320, 214}));
    EXPECT_FALSE(window->IsPortrait());
}

// What start-up could not do is said on the screen, in the planner's own boxes over the main
// window, one after another.
TEST_F(MainWindowTest, StartUpWarningsAreThePlannersOwnBoxesOverTheMainWindow) {
    auto* window = Create();
    gui::ScriptedResponder responder;
    responder.messageBoxAnswers = {gui::MessageBoxAnswer::Ok, gui::MessageBoxAnswer::Ok};
    std::vector<std::u16string> titles;
    std::vector<const gui::Window*> owners;
    responder.whileMessageBoxOpen = [&](gui::Dialog& box) {
        titles.push_back(box.Title());
        owners.push_back(screen_.ActiveWindow() == &box ? box.Owner() : nullptr);
    };
    screen_.SetModalResponder(&responder);
    ShowStartupWarnings(screen_, {"the registry is damaged", "the store cannot be opened: 予定"});
    EXPECT_EQ(responder.messageBoxTexts,
              (std::vector<std::u16string>{u"the registry is damaged",
                                           u"the store cannot be opened: 予定"}));
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"Tessarinth", u"Tessarinth"}));
    EXPECT_EQ(owners, (std::vector<const gui::Window*>{window, window}));
    EXPECT_EQ(screen_.ActiveWindow(), window);
    screen_.SetModalResponder(nullptr);
}

TEST_F(MainWindowTest, EveryCommandOfTheTableReachesItsHandler) {
    auto* window = Create();
    const std::vector<std::pair<uint16_t, std::string>> table = {
        {kCommandAbout, "about"},
        {kCommandToday, "today"},
        {kCommandNextMonth, "next month"},
        {kCommandPreviousWeek, "previous week"},
        {kCommandPreviousMonth, "previous month"},
        {kCommandPreviousDay, "previous day"},
        {kCommandNextDay, "next day"},
        {kCommandNextWeek, "next week"},
        {kCommandNewAppointment, "new appointment"},
        {kCommandSettings, "settings"},
        {kCommandCut, "cut"},
        {kCommandCopy, "copy"},
        {kCommandPasteAsTask, "paste as task"},
        {kCommandNewTask, "new task"},
        {kCommandToggleComplete, "toggle complete"},
        {kCommandNewTaskHere, "new task here"},
        {kCommandSummary, "summary"},
        {kCommandPasteAsAppointment, "paste as appointment"},
        {kCommandFind, "find"},
    };
    for (const auto& [command, handler] : table) {
        window->reached.clear();
        EXPECT_TRUE(window->OnCommand(command)) << command;
        EXPECT_EQ(window->reached, std::vector<std::string>{handler}) << command;
    }
    window->reached.clear();
    EXPECT_FALSE(window->OnCommand(kCommandOk));
    EXPECT_FALSE(window->OnCommand(40999));
    EXPECT_TRUE(window->reached.empty());
}

TEST_F(MainWindowTest, AHeldKeyMovesOneStepPerPaint) {
    auto* window = Create();
    screen_.ProcessPending();
    window->OnKeyDown(gui::Key::Down);
    window->OnKeyDown(gui::Key::Down);
    window->OnKeyDown(gui::Key::Down);
    EXPECT_TRUE(window->KeyCommandPending());
    screen_.ProcessPending();
    EXPECT_EQ(window->reached, std::vector<std::string>{"next day"});
    EXPECT_FALSE(window->KeyCommandPending());  // the paint after the command cleared it

    window->reached.clear();
    window->OnKeyDown(gui::Key::Return);
    window->OnKeyDown(gui::Key::Left);
    window->PaintNow();  // nothing invalid: no paint, the flag stays
    window->Repaint();
    window->PaintNow();
    window->OnKeyDown(gui::Key::Up);
    window->OnKeyDown(gui::Key::Other);
    screen_.ProcessPending();
    EXPECT_EQ(window->reached, (std::vector<std::string>{"today", "previous day"}));
}

TEST_F(MainWindowTest, NewTaskItemFollowsTheTaskSetting) {
    auto* shown = Create(1);
    ASSERT_NE(shown->MenuBar(), nullptr);
    EXPECT_TRUE(shown->MenuBar()->SubMenu(kCommandNew)->IsEnabled(kCommandNewTask));
    shown->Destroy();
    auto* greyed = Create(0);
    EXPECT_FALSE(greyed->MenuBar()->SubMenu(kCommandNew)->IsEnabled(kCommandNewTask));
    EXPECT_TRUE(greyed->MenuBar()->SubMenu(kCommandNew)->IsEnabled(kCommandNewAppointment));
}

TEST_F(MainWindowTest, CtrlAOpensTheAboutBoxAndCtrlQDoesNothing) {
    auto* window = Create();
    QKeyEvent ctrlQ(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
    QApplication::sendEvent(&screen_, &ctrlQ);
    screen_.ProcessPending();
    EXPECT_TRUE(window->reached.empty());
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(&screen_, &ctrlA);
    screen_.ProcessPending();
    EXPECT_EQ(window->reached, std::vector<std::string>{"about"});
}

TEST_F(MainWindowTest, MenuBarDropDownsSendTheirItemsToTheWindow) {
    gui::ScriptedResponder responder;
    screen_.SetModalResponder(&responder);
    auto* window = Create();
    responder.popupCommands = {kCommandNextMonth};
    // "移動" is the second button of the bar.
    const auto buttons = MenuBarButtons(kMainMenu);
    ASSERT_EQ(buttons.size(), 5u);
    EXPECT_EQ(buttons[1].text, u"移動");
    screen_.PenDown({60, 310});
    screen_.ProcessPending();
    ASSERT_EQ(responder.popupsShown.size(), 1u);
    // The seven moves, then 元に戻す and やり直し after a separator, and 検索 after another.
    ASSERT_EQ(responder.popupsShown[0].size(), 12u);
    EXPECT_EQ(responder.popupsShown[0][8].command, kCommandUndo);
    EXPECT_EQ(responder.popupsShown[0][9].command, kCommandRedo);
    EXPECT_EQ(window->reached, std::vector<std::string>{"next month"});
}

// 元に戻す and やり直し are greyed while there is nothing to take back or to do again, and follow
// each change taken back.
TEST_F(MainWindowTest, TheUndoItemsSayWhetherThereIsAChangeToTakeBackOrToDoAgain) {
    gui::ScriptedResponder responder;
    screen_.SetModalResponder(&responder);
    auto* window = Create();
    const auto goToItems = [&] {
        responder.popupCommands = {0};
        screen_.PenDown({60, 310});
        screen_.ProcessPending();
        EXPECT_FALSE(responder.popupsShown.empty());
        const auto items = responder.popupsShown.back();
        return std::pair(items.at(8).enabled, items.at(9).enabled);
    };
    EXPECT_EQ(goToItems(), std::pair(false, false));

    editors::StoreWriteContext context{planner_.store, planner_.home, planner_.settings,
                                       planner_.census, planner_.clock};
    editors::EditRecord record;
    editors::FillForNewTask(record, 0.0);
    record.Subject = u"買い物";
    ASSERT_TRUE(editors::RecordedWrite(context, editors::ChangeKind::Created,
                                       calendar::ItemKind::Task, 0,
                                       [&] { return editors::SaveEditedTask(context, record); }));
    window->SendCommand(kCommandUndo);
    EXPECT_EQ(goToItems(), std::pair(false, true));
    window->SendCommand(kCommandRedo);
    EXPECT_EQ(goToItems(), std::pair(true, false));

    // Each item names what it will take back or do again; a long subject is shortened.
    const auto goToTexts = [&] {
        (void)goToItems();
        const auto items = responder.popupsShown.back();
        return std::pair(items.at(8).text, items.at(9).text);
    };
    EXPECT_EQ(goToTexts(),
              std::pair(std::u16string(u"元に戻す「買い物」の作成"), std::u16string(u"やり直し")));
    editors::FillForNewTask(record, 0.0);
    record.Subject = u"とても長い件名の仕事";
    ASSERT_TRUE(editors::RecordedWrite(context, editors::ChangeKind::Created,
                                       calendar::ItemKind::Task, 0,
                                       [&] { return editors::SaveEditedTask(context, record); }));
    window->SendCommand(kCommandUndo);
    EXPECT_EQ(goToTexts(), std::pair(std::u16string(u"元に戻す「買い物」の作成"),
                                     std::u16string(u"やり直し「とても長い…」の作成")));
    window->SendCommand(kCommandUndo);
    EXPECT_EQ(goToTexts(),
              std::pair(std::u16string(u"元に戻す"), std::u16string(u"やり直し「買い物」の作成")));
}

TEST_F(MainWindowTest, AboutBoxFillsTheScreenAndItsOkEndsIt) {
    gui::ScriptedResponder responder;
    screen_.SetModalResponder(&responder);
    planner_.settings.bTask = 1;
    auto* window = screen_.CreateTopLevel<MainWindow>(planner_, Today());
    window->Show();
    std::u16string version;
    gui::Rect rect;
    responder.dialogAnswers.push_back({[&](gui::Dialog& dialog) {
                                           version = dialog.Title();
                                           rect = dialog.ScreenRect();
                                       },
                                       kCommandOk});
    window->SendCommand(kCommandAbout);
    ASSERT_EQ(responder.dialogsShown.size(), 1u);
    EXPECT_EQ(version, u"About Tessarinth");
    EXPECT_EQ(rect, screen_.WorkArea());
    EXPECT_EQ(screen_.ActiveWindow(), window);
}

TEST_F(MainWindowTest, NextDayAcrossTheMonthEndMovesTheGridAndTheDay) {
    auto* window = screen_.CreateTopLevel<MainWindow>(planner_, Today());
    window->Show();
    window->SendCommand(kCommandNextMonth);  // 7 December -> 7 January
    for (int i = 0; i < 24; ++i) {
        window->SendCommand(kCommandNextDay);
    }
    EXPECT_EQ(window->SelectedDate(), *platform::MakeDate(2027, 1, 31));
    window->SendCommand(kCommandNextDay);
    EXPECT_EQ(window->SelectedDateFields().Month, 2);
    EXPECT_EQ(window->SelectedDateFields().Day, 1);
    EXPECT_EQ(planner_.census.census.cachedMonth, 2);
    EXPECT_EQ(planner_.dayItems->window[0], window->SelectedDate());
    EXPECT_EQ(window->TodayDate(), *platform::MakeDate(2026, 12, 7));
    window->SendCommand(kCommandToday);
    EXPECT_EQ(window->SelectedDate(), window->TodayDate());
    EXPECT_EQ(planner_.census.census.cachedMonth, 12);
}

TEST_F(MainWindowTest, PaintsItsPanelsAndTheHeaderOnlyWhenTurned) {
    auto* window = Create();
    // Five undated tasks: the corner panel shows four and its "next page" mark.
    for (int i = 0; i < 5; ++i) {
        planner_.dayItems->undatedTasks[static_cast<size_t>(i)].objectId = 100 + i;
        planner_.dayItems->undatedTasks[static_cast<size_t>(i)].subject = u"用事";
    }
    window->Repaint();
    window->PaintNow();
    const auto pixel = [window](int x, int y) {
        return gui::FromQRgb(window->Pixels().pixel(x, y));
    };
    EXPECT_EQ(window->CornerMarks().moreBelow, 1);
    EXPECT_EQ(pixel(0, 40), gui::kGray);      // the window's own background at the edge
    EXPECT_EQ(pixel(2, 2), gui::kBlack);      // corner panel's frame
    EXPECT_EQ(pixel(127, 40), gui::kBlack);   // month grid's left line
    EXPECT_EQ(pixel(120, 200), gui::kWhite);  // day list
    EXPECT_EQ(pixel(50, 200), gui::kBlack);   // the day list's date column line
    EXPECT_EQ(window->Pixels().width(), 240);

    screen_.Rotate();
    window->PaintNow();
    ASSERT_FALSE(window->IsPortrait());
    EXPECT_EQ(pixel(241, 40), gui::kBlack);      // date header's left line
    EXPECT_EQ(pixel(280, 2), gui::kBlack);       // and its top line
    EXPECT_EQ(pixel(242 + 5, 26), gui::kBlack);  // the first hour box of the strip
    EXPECT_EQ(pixel(316, 150), gui::kWhite);     // the day list runs the whole width
    EXPECT_EQ(pixel(318, 150), gui::kGray);
}

TEST_F(MainWindowTest, SummaryCommandOpensTheCountsOverTheWindow) {
    auto* window = screen_.CreateTopLevel<MainWindow>(planner_, Today());
    FitAboveMenuBar(*window);
    window->Show();
    window->SendCommand(kCommandSummary);
    gui::Window* summary = screen_.OkButtonTarget();
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->ClassName(), u"InfoWindow");
    EXPECT_EQ(summary->Parent(), window);
    EXPECT_EQ(summary->ScreenRect(), (gui::Rect{80, 76, 160, 176}));
    EXPECT_TRUE(window->IsVisible());
}

TEST_F(MainWindowTest, ASecondLaunchBringsForwardTheDialogThatIsUpNotTheWindowUnderIt) {
    gui::ScriptedResponder responder;
    screen_.SetModalResponder(&responder);
    auto* window = screen_.CreateTopLevel<MainWindow>(planner_, Today());
    window->Show();
    std::u16string activeAfter;
    // The request arrives while the About box is open: it must stay on top and keep the pen.
    responder.dialogAnswers.push_back({[&](gui::Dialog&) {
                                           ComeForward(screen_);
                                           activeAfter = screen_.ActiveWindow()->ClassName();
                                       },
                                       kCommandOk});
    window->SendCommand(kCommandAbout);
    EXPECT_EQ(activeAfter, u"Dialog");
    EXPECT_EQ(screen_.ActiveWindow(), window);

    // With nothing over it the main window itself comes forward, over a window that was not
    // the planner's.
    auto* other = screen_.CreateTopLevel<gui::Window>(u"Other", u"Other", gui::kWhite);
    other->Show();
    ComeForward(screen_);
    EXPECT_EQ(screen_.ActiveWindow(), window);
}

}  // namespace
}  // namespace app

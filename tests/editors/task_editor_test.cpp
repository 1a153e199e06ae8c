#include "editors/task_editor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "app/main_window.h"
#include "app/planner.h"
#include "app/startup.h"
#include "editors/task_writes.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/dialog.h"
#include "platform/gui/month_calendar.h"
#include "resources/resource_ids.h"
#include "store/schedule_store.h"
#include "tests/editors/editor_layout.h"
#include "tests/editors/editors_fixture.h"
#include "tests/support/temp_folder.h"

namespace editors {
namespace {

using namespace resources;

// Where the editor's controls lie on the screen: its own layout moved down by the
// navigation bar.
constexpr gui::Point kDueDateButton{119, 26 + 33};
constexpr gui::Point kClearButton{139, 26 + 33};
constexpr gui::Point kCompleteBox{88, 26 + 58};
constexpr gui::Point kNotesField{100, 26 + 120};
constexpr gui::Point kOkButton{230, 12};
constexpr gui::Point kNewButton{10, 310};  // 新規 on the main window's menu bar

// The planner started on a fresh home as the program starts it, on Monday 7 December 2026.
class TaskEditorTest : public ::testing::Test {
protected:
    TaskEditorTest() {
        EXPECT_TRUE(home_.EnsureFolders().ok());
        screen_.UseManualTimers();
        screen_.SetModalResponder(&responder_);
        main_ = app::StartPlanner(screen_, planner_);
    }
    ~TaskEditorTest() override { app::ShutDownPlanner(planner_); }

    void Tap(gui::Point point) {
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
        screen_.PaintPending();
    }
    // Text as the desktop's input method commits it into the control with the keyboard.
    void Type(const QString& text) {
        gui::Window* focus = screen_.FocusWindow();
        ASSERT_NE(focus, nullptr);
        ASSERT_NE(focus->ScreenWidget(), nullptr);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(focus->ScreenWidget(), &commit);
    }
    void NewTaskFromTheMenu() {
        responder_.popupCommands.push_back(kCommandNewTask);
        Tap(kNewButton);
        ASSERT_NE(Editor(), nullptr);
    }
    TaskEditor* Editor() const { return dynamic_cast<TaskEditor*>(main_->OpenEditorWindow()); }

    // The task as the store holds it now.
    store::Task Stored(int32_t oid) {
        auto application = planner_.store.LoggedOnApplication();
        EXPECT_TRUE(application.ok());
        auto task = (*application)->GetTaskFromOid(oid);
        EXPECT_TRUE(task.ok()) << oid;
        return std::move(*task);
    }
    const schedule::DayItemRow& Row(size_t index) const { return planner_.dayItems->table[index]; }
    StoreWriteContext Writes() {
        return {planner_.store, home_, planner_.settings, planner_.census, clock_};
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    platform::FixedClock clock_{platform::CalendarFields{2026, 12, 1, 7, 9, 30, 0, 0}};
    app::Planner planner_{home_, platform::registry::Registry::Open(home_.RegistryPath()), clock_};
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    app::MainWindow* main_ = nullptr;
};

TEST_F(TaskEditorTest, ANewTaskFromTheMenuIsDueOnTheSelectedDayAndRemembersItsSubject) {
    NewTaskFromTheMenu();
    EXPECT_EQ(screen_.ActiveWindow(), Editor());
    EXPECT_FALSE(main_->IsVisible());
    EXPECT_EQ(Editor()->ScreenRect(), (gui::Rect{0, 26, 240, 294}));
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 7));
    Tap(kSubjectField);
    Type(QStringLiteral("牛乳"));
    Tap(kNotesField);
    Type(QStringLiteral("2本\n低脂肪"));
    Tap(kOkButton);

    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_TRUE(main_->IsVisible());
    EXPECT_EQ(screen_.ActiveWindow(), main_);
    ASSERT_EQ(Row(0).kind, schedule::DayItemKind::DatedTask);
    EXPECT_EQ(Row(0).subject, u"牛乳");
    EXPECT_EQ(Row(0).start, At(2026, 12, 7));
    EXPECT_EQ(Stored(Row(0).objectId).Body(), u"2本\r\n低脂肪");

    // The subject leads the task history, in memory and in Task.DAT.
    controls::HistoryLists read;
    controls::LoadTaskHistory(read, home_, planner_.settings.DataPath);
    ASSERT_FALSE(read.TaskHistory.Texts().empty());
    EXPECT_EQ(read.TaskHistory.Texts()[0], u"牛乳");
    EXPECT_EQ(planner_.history.TaskHistory.Texts()[0], u"牛乳");
}

TEST_F(TaskEditorTest, ClearingTheDueDateMakesAnUndatedTaskThatKeepsItsNotes) {
    NewTaskFromTheMenu();
    Tap(kSubjectField);
    Type(QStringLiteral("年賀状"));
    Tap(kNotesField);
    Type(QStringLiteral("百枚"));
    Tap(kClearButton);
    Tap(kCompleteBox);
    EXPECT_EQ(planner_.editRecord->Start, 0.0);
    EXPECT_EQ(planner_.editRecord->Complete, 1);
    Tap(kOkButton);
    const schedule::UndatedTask& entry = planner_.dayItems->undatedTasks[0];
    ASSERT_NE(entry.objectId, 0);
    EXPECT_EQ(entry.subject, u"年賀状");
    const store::Task stored = Stored(entry.objectId);
    EXPECT_EQ(stored.DueDate(), calendar::kNoDateValue);
    EXPECT_EQ(stored.Body(), u"百枚");
    EXPECT_NE(stored.Complete(), 0);
}

TEST_F(TaskEditorTest, AnOpenedTaskLosesItsDueDateAndKeepsLongTextsWhole) {
    EditRecord record;
    FillForNewTask(record, At(2026, 12, 8));
    // An imported subject past what the box lets anyone type.
    record.Subject = std::u16string(253, u'報') + u"🎍" + std::u16string(40, u'告');
    record.Body = std::u16string(5000, u'字');
    const WriteResult created = CreateTask(Writes(), record);
    ASSERT_TRUE(created.ok()) << created.detail;
    main_->SendCommand(kCommandNextDay);
    screen_.ProcessPending();
    ASSERT_EQ(Row(0).kind, schedule::DayItemKind::DatedTask);

    FillFromTaskRow(*planner_.editRecord, Row(0));
    main_->OpenEditor(app::MainWindow::EditorKind::Task);
    ASSERT_NE(Editor(), nullptr);
    Tap(kOkButton);  // open and save: nothing is cut
    EXPECT_EQ(Stored(created.itemOid).Body().size(), 5000u);
    EXPECT_EQ(Stored(created.itemOid).Subject(), record.Subject);
    EXPECT_EQ(Stored(created.itemOid).DueDate(), At(2026, 12, 8));

    FillFromTaskRow(*planner_.editRecord, Row(0));
    main_->OpenEditor(app::MainWindow::EditorKind::Task);
    Tap(kClearButton);
    Tap(kOkButton);
    EXPECT_EQ(Stored(created.itemOid).DueDate(), calendar::kNoDateValue);
    EXPECT_EQ(Stored(created.itemOid).Body().size(), 5000u);
}

TEST_F(TaskEditorTest, PickingADueDateMovesTheSelectedDayEvenWhenTheEditorIsLeft) {
    NewTaskFromTheMenu();
    responder_.dialogAnswers.push_back(
        {[](gui::Dialog& dialog) {
             dialog.ItemAs<gui::MonthCalendar>(kDatePickerCalendar)->Pick({2026, 12, 24});
         },
         kCommandOk});
    Tap(kDueDateButton);
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 24));
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 24));
    EXPECT_EQ(main_->SelectedDateFields().Day, 24);
    EXPECT_EQ(main_->SelectedDateFields().DayOfWeek, 4);

    // Left with "←": nothing is written, but the main window shows the picked day.
    Editor()->SendCommand(kCommandBack);
    screen_.ProcessPending();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(planner_.dayItems->window[0], At(2026, 12, 24));
    EXPECT_EQ(Row(0).kind, schedule::DayItemKind::EmptyDay);
    main_->SendCommand(kCommandNextMonth);
    EXPECT_EQ(main_->SelectedDate(), At(2027, 1, 24));
}

TEST_F(TaskEditorTest, DeleteAsksOnlyForAStoredTask) {
    NewTaskFromTheMenu();
    Tap(kDeleteButton);
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_TRUE(responder_.messageBoxTexts.empty());

    EditRecord record;
    FillForNewTask(record, At(2026, 12, 7));
    record.Subject = u"消す";
    ASSERT_TRUE(CreateTask(Writes(), record));
    main_->SendCommand(kCommandToday);
    ASSERT_EQ(Row(0).subject, u"消す");
    FillFromTaskRow(*planner_.editRecord, Row(0));
    main_->OpenEditor(app::MainWindow::EditorKind::Task);

    responder_.messageBoxAnswers.push_back(gui::MessageBoxAnswer::No);
    Tap(kDeleteButton);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(responder_.messageBoxTexts, std::vector<std::u16string>{u"削除してよろしいですか"});
    responder_.messageBoxAnswers.push_back(gui::MessageBoxAnswer::Yes);
    Tap(kDeleteButton);
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(Row(0).kind, schedule::DayItemKind::EmptyDay);
}

TEST_F(TaskEditorTest, CtrlQInTheNotesSavesAndOnlyOneEditorOpens) {
    NewTaskFromTheMenu();
    gui::Window* first = Editor();
    main_->OpenEditor(app::MainWindow::EditorKind::Task);
    EXPECT_EQ(Editor(), first);
    Tap(kNotesField);
    Type(QStringLiteral("メモ"));
    QKeyEvent ctrlQ(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
    QApplication::sendEvent(screen_.FocusWindow()->ScreenWidget(), &ctrlQ);
    screen_.ProcessPending();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    ASSERT_EQ(Row(0).kind, schedule::DayItemKind::DatedTask);
    EXPECT_EQ(Stored(Row(0).objectId).Body(), u"メモ");
}

}  // namespace
}  // namespace editors

#include "platform/gui/device_screen.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "platform/gui/surface.h"

namespace gui {
namespace {

// A window that writes down what reaches it.
class RecordingWindow : public Window {
public:
    RecordingWindow(DeviceScreen& screen, std::u16string className = u"Test")
        : Window(screen, std::move(className), u"Tessarinth", kWhite) {}

    void OnCreate() override { log.push_back("create"); }
    void OnDestroy() override { log.push_back("destroy"); }
    void OnActivate(Activation state) override {
        log.push_back(state == Activation::Active ? "active" : "inactive");
    }
    void OnPaint(Surface& surface) override {
        ++paints;
        surface.FillRect(0, 0, 4, 4, Rgb(255, 0, 0));
    }
    void OnKeyDown(Key key) override { keys.push_back(key); }
    void OnPenDown(Point p) override { pens.push_back({'d', p}); }
    void OnPenMove(Point p) override { pens.push_back({'m', p}); }
    void OnPenUp(Point p) override { pens.push_back({'u', p}); }
    bool OnCommand(uint16_t command) override {
        commands.push_back(command);
        if (command == 900) {
            // A command that posts another: it runs after this one is done.
            PostCommand(901);
            commands.push_back(902);
        }
        return true;
    }
    void OnTimer(int id) override { timers.push_back(id); }

    std::vector<std::string> log;
    std::vector<uint16_t> commands;
    std::vector<Key> keys;
    std::vector<std::pair<char, Point>> pens;
    std::vector<int> timers;
    int paints = 0;
};

class DeviceScreenTest : public ::testing::Test {
protected:
    DeviceScreen screen_{Orientation::Portrait, 1};
    ScriptedResponder responder_;
};

TEST_F(DeviceScreenTest, TopLevelWindowsStartInTheWorkArea) {
    EXPECT_EQ(screen_.WorkArea(), (Rect{0, 26, 240, 294}));
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    EXPECT_EQ(window->ScreenRect(), (Rect{0, 26, 240, 294}));
    EXPECT_EQ(window->log, std::vector<std::string>{"create"});
    // The fit above the menu bar: same left and top, width = right, height = bottom - 26.
    const Rect r = window->ScreenRect();
    window->Move(r.left, r.top, r.right, r.bottom - 26, false);
    EXPECT_EQ(window->ScreenRect(), (Rect{0, 26, 240, 294}));
    EXPECT_EQ(window->ClientRect(), (Rect{0, 0, 240, 268}));

    screen_.Rotate();
    EXPECT_EQ(screen_.WorkArea(), (Rect{0, 26, 320, 214}));
    EXPECT_EQ(window->ScreenRect(), (Rect{0, 26, 320, 214}));
}

TEST_F(DeviceScreenTest, PostedCommandsWaitForTheCurrentOneSentOnesDoNot) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->SendCommand(900);
    EXPECT_EQ(window->commands, (std::vector<uint16_t>{900, 902}));
    screen_.ProcessPending();
    EXPECT_EQ(window->commands, (std::vector<uint16_t>{900, 902, 901}));
}

TEST_F(DeviceScreenTest, InvalidatedWindowsPaintOnceInTheNextCycle) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    screen_.ProcessPending();
    EXPECT_EQ(window->paints, 1);
    window->Invalidate({0, 0, 10, 10}, true);
    window->Invalidate({5, 5, 20, 20}, false);
    EXPECT_EQ(window->paints, 1);
    screen_.ProcessPending();
    EXPECT_EQ(window->paints, 2);
    window->Invalidate({0, 0, 10, 10}, true);
    window->PaintNow();
    EXPECT_EQ(window->paints, 3);
    // What the window painted is what the screen shows, below the navigation bar.
    const QImage shot = screen_.Render(1);
    EXPECT_EQ(shot.size(), QSize(240, 320));
    EXPECT_EQ(FromQRgb(shot.pixel(0, 26)), Rgb(255, 0, 0));
    EXPECT_EQ(FromQRgb(shot.pixel(4, 26)), kWhite);
    EXPECT_EQ(FromQRgb(shot.pixel(0, 30)), kWhite);
    EXPECT_NE(FromQRgb(shot.pixel(0, 25)), kWhite);
}

TEST_F(DeviceScreenTest, HiddenWindowsDoNotPaint) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Invalidate({0, 0, 10, 10}, true);
    screen_.ProcessPending();
    EXPECT_EQ(window->paints, 0);
}

TEST_F(DeviceScreenTest, PenGoesToTheTopmostWindowAndStaysWithIt) {
    auto* main = screen_.CreateTopLevel<RecordingWindow>();
    main->Show();
    auto* child = screen_.CreateChild<RecordingWindow>(*main, Rect{80, 50, 160, 150});
    child->Show();
    screen_.PenDown({100, 100});  // screen (100, 100) = main (100, 74) = child (20, 24)
    screen_.PenMove({10, 200});
    screen_.PenUp({11, 201});
    ASSERT_EQ(child->pens.size(), 3u);
    EXPECT_EQ(child->pens[0].second, (Point{20, 24}));
    EXPECT_EQ(child->pens[2].second, (Point{11 - 80, 201 - 76}));
    EXPECT_TRUE(main->pens.empty());
    screen_.PenDown({10, 40});
    ASSERT_EQ(main->pens.size(), 1u);
    EXPECT_EQ(main->pens[0].second, (Point{10, 14}));
}

TEST_F(DeviceScreenTest, ShowingATopLevelWindowActivatesItAndHidingGivesItBack) {
    auto* main = screen_.CreateTopLevel<RecordingWindow>(u"TESSARINTH");
    main->Show();
    auto* editor = screen_.CreateTopLevel<RecordingWindow>(u"TimeWindow");
    editor->Show();
    main->Hide();
    EXPECT_EQ(screen_.ActiveWindow(), editor);
    EXPECT_EQ(screen_.FindTopLevel(u"TimeWindow", u"Tessarinth"), editor);
    EXPECT_EQ(screen_.FindTopLevel(u"TimeWindow", u"Other"), nullptr);
    main->Show();
    editor->Destroy();
    EXPECT_EQ(screen_.ActiveWindow(), main);
    EXPECT_EQ(main->log, (std::vector<std::string>{"create", "active", "inactive", "active"}));
    EXPECT_EQ(screen_.FindTopLevel(u"TimeWindow", u"Tessarinth"), nullptr);
}

TEST_F(DeviceScreenTest, DestroyingAParentEndsItsChildrenAndTimers) {
    auto* main = screen_.CreateTopLevel<RecordingWindow>();
    auto* child = screen_.CreateChild<RecordingWindow>(*main, Rect{0, 0, 10, 10});
    auto childAlive = screen_.IsAlive(child);
    child->SetTimer(1, 0);
    child->PostCommand(5);
    main->Destroy();
    EXPECT_FALSE(childAlive());
    screen_.ProcessPending();  // neither the timer nor the posted command reaches a dead window
}

TEST_F(DeviceScreenTest, TimersFireUntilKilled) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->SetTimer(1, 0);
    screen_.ProcessPending();
    EXPECT_FALSE(window->timers.empty());
    window->KillTimer(1);
    const size_t fired = window->timers.size();
    screen_.ProcessPending();
    EXPECT_EQ(window->timers.size(), fired);
}

TEST_F(DeviceScreenTest, ManualTimersFireAsTheirTimeComesAndRestartFromNow) {
    screen_.UseManualTimers();
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->SetTimer(1, 5000);
    window->SetTimer(2, 1500);
    screen_.AdvanceTimers(4000);
    EXPECT_EQ(window->timers, (std::vector<int>{2, 2}));  // at 1.5 s and 3 s
    window->SetTimer(1, 5000);                            // restarted at 4 s: due at 9 s
    window->KillTimer(2);
    screen_.AdvanceTimers(4999);
    EXPECT_EQ(window->timers.size(), 2u);
    EXPECT_TRUE(screen_.IsTimerRunning(*window, 1));
    screen_.AdvanceTimers(1);
    EXPECT_EQ(window->timers, (std::vector<int>{2, 2, 1}));
    window->Destroy();
    EXPECT_FALSE(screen_.IsTimerRunning(*window, 1));
}

TEST_F(DeviceScreenTest, MenuBarButtonsAndDropDownsSendTheirCommands) {
    screen_.SetModalResponder(&responder_);
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    MenuBar* bar = screen_.CreateMenuBar(
        *window, {MenuBarButton{u"新規", 40072, true, false,
                                PopupMenu({{u"予定", 40045}, {u"仕事", 40073}})},
                  MenuBarButton{u"？", 40076, false, false, {}}});
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->SubMenu(40072), nullptr);
    EXPECT_EQ(bar->SubMenu(40076), nullptr);
    EXPECT_TRUE(bar->SubMenu(40072)->EnableItem(40073, false));
    EXPECT_FALSE(bar->SubMenu(40072)->IsEnabled(40073));

    responder_.popupCommands.push_back(40045);
    screen_.PenDown({5, 310});  // the drop-down starts at the left edge of the menu bar
    screen_.ProcessPending();
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_FALSE(responder_.popupsShown[0][1].enabled);
    EXPECT_EQ(window->commands, std::vector<uint16_t>{40045});
}

TEST_F(DeviceScreenTest, OkButtonSendsCommandOne) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    screen_.PenDown({235, 10});
    screen_.ProcessPending();
    EXPECT_TRUE(window->commands.empty());
    screen_.ShowOkButton(*window);
    screen_.PenDown({235, 10});
    screen_.ProcessPending();
    EXPECT_EQ(window->commands, std::vector<uint16_t>{kOkCommand});
}

TEST_F(DeviceScreenTest, AcceleratorsBecomeCommandsOfTheWindowWithTheKeyboard) {
    screen_.SetAccelerators({{true, Qt::Key_A, 40003}, {true, Qt::Key_Q, 1}});
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(&screen_, &ctrlA);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&screen_, &down);
    screen_.ProcessPending();
    EXPECT_EQ(window->commands, std::vector<uint16_t>{40003});
    EXPECT_EQ(window->keys, std::vector<Key>{Key::Down});
}

TEST_F(DeviceScreenTest, APressReleasedEarlyIsATapWhosePenUpStillArrives) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    screen_.SetHoldMilliseconds(60000);
    QTimer::singleShot(0, &screen_, [this] {
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(30, 40), QPointF(30, 40), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&screen_, &up);
    });
    screen_.PenDown({30, 40});
    EXPECT_EQ(screen_.RecognizeHold({30, 40}), 0);
    screen_.ProcessPending();
    ASSERT_EQ(window->pens.size(), 2u);
    EXPECT_EQ(window->pens[1].first, 'u');
}

TEST_F(DeviceScreenTest, APressKeptDownBecomesAHold) {
    screen_.SetHoldMilliseconds(1);
    EXPECT_EQ(screen_.RecognizeHold({30, 40}), kHoldGesture);
    screen_.SetModalResponder(&responder_);
    responder_.holds = {true, false};
    EXPECT_EQ(screen_.RecognizeHold({30, 40}), kHoldGesture);
    EXPECT_EQ(screen_.RecognizeHold({30, 40}), 0);
}

TEST_F(DeviceScreenTest, ZoomScalesTheWholeScreen) {
    screen_.SetZoom(3);
    EXPECT_EQ(screen_.size(), QSize(720, 960));
    EXPECT_EQ(screen_.Render(3).size(), QSize(720, 960));
    screen_.Rotate();
    EXPECT_EQ(screen_.Render(1).size(), QSize(320, 240));
}

// A dialog-like pop-up: a top-level window that belongs to another.
class OwnedWindow : public RecordingWindow {
public:
    OwnedWindow(DeviceScreen& screen, Window* owner) : RecordingWindow(screen), owner_(owner) {}
    Window* Owner() const override { return owner_; }

private:
    Window* owner_;
};

TEST_F(DeviceScreenTest, ARepaintOfAWindowRepaintsTheChildrenItCovers) {
    auto* parent = screen_.CreateTopLevel<RecordingWindow>();
    auto* covered = screen_.CreateChild<RecordingWindow>(*parent, Rect{80, 50, 160, 150});
    auto* apart = screen_.CreateChild<RecordingWindow>(*parent, Rect{0, 200, 40, 240});
    auto* hidden = screen_.CreateChild<RecordingWindow>(*parent, Rect{80, 50, 160, 150});
    parent->Show();
    covered->Show();
    apart->Show();
    screen_.PaintPending();
    ASSERT_EQ(covered->paints, 1);
    ASSERT_EQ(apart->paints, 1);

    parent->Invalidate({0, 0, 100, 100}, true);
    screen_.PaintPending();
    EXPECT_EQ(parent->paints, 2);
    EXPECT_EQ(covered->paints, 2);
    EXPECT_EQ(apart->paints, 1);
    EXPECT_EQ(hidden->paints, 0);
    EXPECT_EQ(parent->Children(), (std::vector<Window*>{covered, apart, hidden}));
    apart->Destroy();
    EXPECT_EQ(parent->Children(), (std::vector<Window*>{covered, hidden}));
}

TEST_F(DeviceScreenTest, AWindowDrawsIntoItselfOutsideItsPaintOnlyWhileShown) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->DrawNow([](Surface& surface) { surface.SetPixel(5, 5, kBlack); });
    window->Show();
    screen_.PaintPending();
    EXPECT_EQ(FromQRgb(window->Pixels().pixel(5, 5)), kWhite);
    window->DrawNow([](Surface& surface) { surface.SetPixel(5, 5, kBlack); });
    EXPECT_EQ(FromQRgb(window->Pixels().pixel(5, 5)), kBlack);
    EXPECT_EQ(window->paints, 1);
    EXPECT_EQ(FromQRgb(screen_.Render(1).pixel(5, 26 + 5)), kBlack);
}

TEST_F(DeviceScreenTest, TheNewestPopUpAWindowOwnsIsTheOneToBringForward) {
    auto* main = screen_.CreateTopLevel<RecordingWindow>();
    auto* other = screen_.CreateTopLevel<RecordingWindow>();
    main->Show();
    other->Show();
    EXPECT_EQ(&screen_.LastActivePopup(*main), main);
    auto* dialog = screen_.CreateTopLevel<OwnedWindow>(main);
    auto* picker = screen_.CreateTopLevel<OwnedWindow>(dialog);
    dialog->Show();
    EXPECT_EQ(&screen_.LastActivePopup(*main), dialog);
    picker->Show();
    EXPECT_EQ(&screen_.LastActivePopup(*main), picker);
    EXPECT_EQ(&screen_.LastActivePopup(*other), other);
    picker->Hide();
    EXPECT_EQ(&screen_.LastActivePopup(*main), dialog);
}

TEST_F(DeviceScreenTest, ProcessingRunsEveryPostUntilNothingWaits) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    std::function<void(int)> chain = [&](int left) {
        window->commands.push_back(static_cast<uint16_t>(left));
        if (left > 0) {
            screen_.Post([&chain, left] { chain(left - 1); });
        }
    };
    screen_.Post([&] { chain(40); });
    screen_.ProcessPending();
    ASSERT_EQ(window->commands.size(), 41u);
    EXPECT_EQ(window->commands.back(), 0);
}

}  // namespace
}  // namespace gui

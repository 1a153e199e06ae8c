#include "platform/gui/device_screen.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/gui/recording_window.h"

namespace gui {
namespace {

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

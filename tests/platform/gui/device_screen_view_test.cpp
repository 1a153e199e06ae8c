#include "platform/gui/device_screen.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "tests/platform/gui/recording_window.h"

namespace gui {
namespace {

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

TEST_F(DeviceScreenTest, TheFirstPaintIsToldOnce) {
    int told = 0;
    screen_.SetFirstPaintHandler([&told] { ++told; });
    screen_.CreateTopLevel<RecordingWindow>()->Show();
    QCoreApplication::processEvents();
    EXPECT_EQ(told, 0);  // the screen itself is not shown yet
    screen_.show();
    QElapsedTimer waited;
    waited.start();
    while (told == 0 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(told, 1);
    screen_.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(told, 1);
}

TEST_F(DeviceScreenTest, ZoomScalesTheWholeScreen) {
    screen_.SetZoom(3);
    EXPECT_EQ(screen_.size(), QSize(720, 960));
    EXPECT_EQ(screen_.Render(3).size(), QSize(720, 960));
    screen_.Rotate();
    EXPECT_EQ(screen_.Render(1).size(), QSize(320, 240));
}

}  // namespace
}  // namespace gui

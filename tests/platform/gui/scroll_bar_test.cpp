#include "platform/gui/scroll_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWheelEvent>

#include <vector>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

// A window that paints a list of its own, with the bar along its right edge.
class PaintedList : public Window {
public:
    explicit PaintedList(DeviceScreen& screen) : Window(screen, u"List", u"", kWhite) {}
};

class ScrollBarTest : public ::testing::Test {
protected:
    ScrollBarTest() {
        top_ = screen_.CreateTopLevel<PaintedList>();
        top_->Show();
        list_ = screen_.CreateChild<PaintedList>(*top_, Rect{10, 20, 110, 120});
        list_->Show();
        bar_ = screen_.CreateChild<ScrollBar>(*list_, Rect{87, 0, 100, 100}, uint16_t{0});
        bar_->SetRange(20, 5, 1);
        bar_->SetScrolledHandler([this](int value) { told_.push_back(value); });
    }

    // The wheel turned one notch towards the user at a device point of the screen.
    void Wheel(Point at) {
        const int zoom = screen_.Zoom();
        const QPointF position(at.x * zoom, at.y * zoom);
        QWheelEvent wheel(position, screen_.mapToGlobal(position), QPoint(0, 0), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&screen_, &wheel);
    }

    DeviceScreen screen_{Orientation::Portrait, 2};
    PaintedList* top_ = nullptr;
    PaintedList* list_ = nullptr;
    ScrollBar* bar_ = nullptr;
    std::vector<int> told_;
};

TEST_F(ScrollBarTest, TheProgramsOwnValueTellsNobody) {
    bar_->SetValue(3);
    EXPECT_EQ(bar_->Value(), 3);
    EXPECT_EQ(bar_->Maximum(), 20);
    EXPECT_TRUE(told_.empty());
    bar_->SetRange(2, 5, 1);
    EXPECT_EQ(bar_->Value(), 2);
    EXPECT_TRUE(told_.empty());
}

TEST_F(ScrollBarTest, TheWheelOverTheListScrollsItWhileItsWindowIsOnTop) {
    // The list's screen rectangle: 10..110 across, 20 + 26 .. 120 + 26 down.
    Wheel({40, 80});
    ASSERT_FALSE(told_.empty());
    EXPECT_GT(bar_->Value(), 0);
    EXPECT_EQ(told_.back(), bar_->Value());
    const int value = bar_->Value();
    Wheel({5, 80});    // beside the list
    Wheel({40, 150});  // below it
    EXPECT_EQ(bar_->Value(), value);
    // Another window on top takes the wheel from it.
    auto* other = screen_.CreateTopLevel<PaintedList>();
    other->Show();
    Wheel({40, 80});
    EXPECT_EQ(bar_->Value(), value);
}

TEST_F(ScrollBarTest, AHiddenBarLeavesTheWheelToTheWindowOnTop) {
    // A second list over the first, its bar made later: that bar, watching the screen since
    // later, hears the wheel first and must pass it on while its window is underneath.
    auto* under = screen_.CreateTopLevel<PaintedList>();
    under->Show();
    auto* underList = screen_.CreateChild<PaintedList>(*under, Rect{10, 20, 110, 120});
    underList->Show();
    auto* underBar = screen_.CreateChild<ScrollBar>(*underList, Rect{87, 0, 100, 100}, uint16_t{0});
    underBar->SetRange(20, 5, 1);
    screen_.BringToFront(*top_);
    Wheel({40, 80});
    EXPECT_GT(bar_->Value(), 0);
    EXPECT_EQ(underBar->Value(), 0);
    screen_.BringToFront(*under);
    const int value = bar_->Value();
    Wheel({40, 80});
    EXPECT_EQ(bar_->Value(), value);
    EXPECT_GT(underBar->Value(), 0);
}

TEST_F(ScrollBarTest, AScriptsPenPagesOnTheTrack) {
    const Rect rect = bar_->ScreenRect();
    const Point track{rect.left + 6, rect.bottom - 20};
    screen_.PenDown(track);
    screen_.PenUp(track);
    EXPECT_EQ(bar_->Value(), 5);
    EXPECT_EQ(told_, std::vector<int>{5});
}

}  // namespace
}  // namespace gui

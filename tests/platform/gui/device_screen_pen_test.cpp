#include "platform/gui/device_screen.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include "tests/platform/gui/recording_window.h"

namespace gui {
namespace {

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

}  // namespace
}  // namespace gui

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

#include <functional>
#include <optional>

#include "platform/gui/device_screen.h"
#include "platform/gui/popup_placement.h"

namespace gui {
namespace {

// The device screen at a zoom, in the widget's pixels.
Rect ScreenAt(Orientation orientation, int zoom) {
    return orientation == Orientation::Portrait ? Rect{0, 0, kShortSide * zoom, kLongSide * zoom}
                                                : Rect{0, 0, kLongSide * zoom, kShortSide * zoom};
}

TEST(PopupPlacementTest, ABarSubMenuRisesFromItsButtonToTheBarsTop) {
    for (int zoom : {1, 2}) {
        SCOPED_TRACE(zoom);
        const Rect screen = ScreenAt(Orientation::Portrait, zoom);
        const Point buttonTopLeft{44 * zoom, (kLongSide - kBarHeight) * zoom};
        const Rect placed =
            PlacePopup({60 * zoom, 150 * zoom}, buttonTopLeft, screen, PopupOpening::Upward);
        EXPECT_EQ(placed, RectAt(44 * zoom, 144 * zoom, 60 * zoom, 150 * zoom));
    }
}

TEST(PopupPlacementTest, AContextMenuThatFitsHasItsCornerAtThePen) {
    for (int zoom : {1, 2}) {
        SCOPED_TRACE(zoom);
        const Rect placed =
            PlacePopup({100 * zoom, 130 * zoom}, {60 * zoom, 80 * zoom},
                       ScreenAt(Orientation::Portrait, zoom), PopupOpening::Downward);
        EXPECT_EQ(placed, RectAt(60 * zoom, 80 * zoom, 100 * zoom, 130 * zoom));
    }
}

TEST(PopupPlacementTest, AMenuPastTheRightOrBottomEdgeMovesBackOntoTheScreen) {
    for (int zoom : {1, 2}) {
        SCOPED_TRACE(zoom);
        const Size size{100 * zoom, 130 * zoom};
        const Rect upright = ScreenAt(Orientation::Portrait, zoom);
        // Past the right edge only: it moves left and keeps its top at the pen.
        EXPECT_EQ(PlacePopup(size, {230 * zoom, 80 * zoom}, upright, PopupOpening::Downward),
                  RectAt(140 * zoom, 80 * zoom, 100 * zoom, 130 * zoom));
        // Past the bottom only: it moves up and keeps its left edge.
        EXPECT_EQ(PlacePopup(size, {60 * zoom, 300 * zoom}, upright, PopupOpening::Downward),
                  RectAt(60 * zoom, 190 * zoom, 100 * zoom, 130 * zoom));
        // Past the bottom-right corner of the turned screen: both.
        EXPECT_EQ(PlacePopup(size, {319 * zoom, 239 * zoom}, ScreenAt(Orientation::Landscape, zoom),
                             PopupOpening::Downward),
                  RectAt(220 * zoom, 110 * zoom, 100 * zoom, 130 * zoom));
    }
}

TEST(PopupPlacementTest, AMenuTooBigForTheRoomKeepsItsTopAndLeftOnTheScreen) {
    const Rect screen = ScreenAt(Orientation::Landscape, 1);
    // A sub-menu taller than the room above its button comes down over the bar instead.
    EXPECT_EQ(PlacePopup({80, 200}, {250, 214}, screen, PopupOpening::Upward),
              RectAt(240, 14, 80, 200));
    EXPECT_EQ(PlacePopup({80, 300}, {250, 214}, screen, PopupOpening::Upward),
              RectAt(240, 0, 80, 300));
    EXPECT_EQ(PlacePopup({400, 100}, {10, 10}, screen, PopupOpening::Downward),
              RectAt(0, 10, 400, 100));
}

// A menu the screen opened, as it stood on the desktop once shown.
struct OpenedMenu {
    QRect geometry;  // in the screen widget's pixels
    int fontPixels = 0;
};

// Runs `open`, which shows a menu and waits in it, and notes and closes the menu as soon as its
// loop runs.
std::optional<OpenedMenu> NoteMenuOpenedBy(const DeviceScreen& screen,
                                           const std::function<void()>& open) {
    std::optional<OpenedMenu> noted;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* menu = qobject_cast<QMenu*>(widget);
            if (menu == nullptr || !menu->isVisible()) {
                continue;
            }
            noted = OpenedMenu{
                QRect(screen.mapFromGlobal(menu->geometry().topLeft()), menu->geometry().size()),
                menu->font().pixelSize()};
            menu->close();
        }
    });
    open();
    return noted;
}

// The real window's menus on the turned screen at zoom 2 (640 x 480, within the offscreen
// desktop, which would otherwise move a menu by itself).
class PopupMenuOnScreenTest : public ::testing::Test {
protected:
    static constexpr int kZoom = 2;

    PopupMenuOnScreenTest() {
        window_ = screen_.CreateTopLevel<Window>(u"TESSARINTH", u"Tessarinth", kGray);
        window_->Show();
        screen_.CreateMenuBar(*window_, {MenuBarButton{u"新規", 40072, true, false, Menu()},
                                         MenuBarButton{u"移動", 40007, true, false, Menu()}});
        screen_.show();
    }

    static PopupMenu Menu() {
        return PopupMenu({{u"前月", 40021},
                          {u"先週", 40020},
                          {u"前日", 40042},
                          {u"当日", 40012},
                          {u"", 0, true},
                          {u"翌日", 40043},
                          {u"翌週", 40044},
                          {u"翌月", 40019}});
    }

    QRect ScreenRect() const { return QRect(0, 0, screen_.width(), screen_.height()); }

    DeviceScreen screen_{Orientation::Landscape, kZoom};
    Window* window_ = nullptr;
};

TEST_F(PopupMenuOnScreenTest, TheSecondBarButtonsSubMenuRisesFromItToTheBarsTop) {
    const Point press{60, kShortSide - 10};  // on "移動", right of "新規"
    const auto opened = NoteMenuOpenedBy(screen_, [&] { screen_.PenDown(press); });
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->fontPixels, 12 * kZoom);
    EXPECT_EQ(opened->geometry.bottom() + 1, (kShortSide - kBarHeight) * kZoom);
    // It starts at its own button, not at the bar's left end.
    EXPECT_GT(opened->geometry.left(), 0);
    EXPECT_LE(opened->geometry.left(), press.x * kZoom);
    EXPECT_TRUE(ScreenRect().contains(opened->geometry));
}

TEST_F(PopupMenuOnScreenTest, AContextMenuNearTheRightOrBottomEdgeStaysOnTheScreen) {
    const auto nearRight = NoteMenuOpenedBy(screen_, [&] {
        screen_.TrackPopupMenu(Menu(), {kLongSide - 5, 60});
    });
    ASSERT_TRUE(nearRight.has_value());
    EXPECT_EQ(nearRight->fontPixels, 12 * kZoom);
    EXPECT_EQ(nearRight->geometry.right() + 1, screen_.width());
    EXPECT_EQ(nearRight->geometry.top(), 60 * kZoom);

    const auto nearBottom = NoteMenuOpenedBy(screen_, [&] {
        screen_.TrackPopupMenu(Menu(), {100, 200});
    });
    ASSERT_TRUE(nearBottom.has_value());
    EXPECT_EQ(nearBottom->geometry.left(), 100 * kZoom);
    EXPECT_EQ(nearBottom->geometry.bottom() + 1, screen_.height());
}

TEST_F(PopupMenuOnScreenTest, TheTitleBarMenuIsDrawnAtTheZoomAndStaysOnTheScreen) {
    const QPoint nearRight((kLongSide - 4) * kZoom, 10 * kZoom);
    const auto opened = NoteMenuOpenedBy(screen_, [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, nearRight,
                                screen_.mapToGlobal(nearRight));
        QApplication::sendEvent(&screen_, &event);
    });
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->fontPixels, 12 * kZoom);
    EXPECT_TRUE(ScreenRect().contains(opened->geometry));
    EXPECT_EQ(opened->geometry.top(), nearRight.y());
}

}  // namespace
}  // namespace gui

#pragma once

#include <QScrollBar>

#include <cstdint>
#include <functional>

#include "platform/gui/control.h"

namespace gui {

// A vertical scroll bar beside a list a window paints itself: Qt's own, as wide as the other
// controls' bars. The user's scrolling (the arrows, the track, the thumb, the mouse wheel turned
// over the bar's parent window while its top-level window is the one on top) is told to the
// handler; the program's own SetValue tells nobody. The pen of a script reaches it through the
// screen and is handed on to the widget as the mouse, as a tap or a stroke by hand would be.
class ScrollBar : public Control {
public:
    ScrollBar(DeviceScreen& screen, uint16_t id);
    ~ScrollBar() override;

    // Values run from 0 to `maximum`; a page and a step as given.
    void SetRange(int maximum, int page, int step);
    int Value() const { return bar_->value(); }
    int Maximum() const { return bar_->maximum(); }
    void SetValue(int value);
    void SetScrolledHandler(std::function<void(int)> handler) { scrolled_ = std::move(handler); }

    void OnPenDown(Point point) override;
    void OnPenMove(Point point) override;
    void OnPenUp(Point point) override;

private:
    class WheelFilter;
    void SendMouse(int type, Point point);
    // Whether the wheel turned at this point of the screen widget is the bar's to take.
    bool TakesWheelAt(QPoint widgetPoint) const;

    QScrollBar* bar_;
    WheelFilter* wheelFilter_;
    std::function<void(int)> scrolled_;
};

}  // namespace gui

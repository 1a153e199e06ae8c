#include "platform/gui/scroll_bar.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>

#include "platform/gui/device_screen.h"

namespace gui {

// Hands the wheel turned over the bar's parent window (drawn by the screen widget itself, not
// by a widget of its own) on to the bar.
class ScrollBar::WheelFilter final : public QObject {
public:
    explicit WheelFilter(ScrollBar& owner) : owner_(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel || forwarding_) {
            return QObject::eventFilter(watched, event);
        }
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (!owner_.TakesWheelAt(wheel->position().toPoint())) {
            return QObject::eventFilter(watched, event);
        }
        forwarding_ = true;
        QCoreApplication::sendEvent(owner_.bar_, event);
        forwarding_ = false;
        return true;
    }

private:
    ScrollBar& owner_;
    bool forwarding_ = false;
};

ScrollBar::ScrollBar(DeviceScreen& screen, uint16_t id)
    : Control(screen, u"SCROLLBAR", id),
      bar_(new QScrollBar(Qt::Vertical, &screen)),
      wheelFilter_(new WheelFilter(*this)) {
    bar_->setFocusPolicy(Qt::NoFocus);
    QObject::connect(bar_, &QScrollBar::valueChanged, bar_, [this](int value) {
        if (scrolled_) {
            scrolled_(value);
        }
    });
    screen.installEventFilter(wheelFilter_);
    Attach(bar_);
}

ScrollBar::~ScrollBar() {
    delete wheelFilter_;
}

void ScrollBar::SetRange(int maximum, int page, int step) {
    const QSignalBlocker quiet(bar_);
    bar_->setRange(0, std::max(0, maximum));
    bar_->setPageStep(page);
    bar_->setSingleStep(step);
}

void ScrollBar::SetValue(int value) {
    const QSignalBlocker quiet(bar_);
    bar_->setValue(value);
}

bool ScrollBar::TakesWheelAt(QPoint widgetPoint) const {
    // A bar whose window is not the one on top is hidden (as every control is), and takes
    // nothing.
    const Window* parent = Parent();
    if (parent == nullptr || IsDestroyed() || parent->IsDestroyed() || bar_->isHidden()) {
        return false;
    }
    const int zoom = Screen().Zoom();
    const Rect area = parent->ScreenRect();
    const QRect zoomed(area.left * zoom, area.top * zoom, area.Width() * zoom,
                       area.Height() * zoom);
    return zoomed.contains(widgetPoint);
}

void ScrollBar::OnPenDown(Point point) {
    SendMouse(QEvent::MouseButtonPress, point);
}

void ScrollBar::OnPenMove(Point point) {
    SendMouse(QEvent::MouseMove, point);
}

void ScrollBar::OnPenUp(Point point) {
    SendMouse(QEvent::MouseButtonRelease, point);
}

void ScrollBar::SendMouse(int type, Point point) {
    SendPenAsMouse(*bar_, Screen().Zoom(), static_cast<QEvent::Type>(type), point);
}

}  // namespace gui

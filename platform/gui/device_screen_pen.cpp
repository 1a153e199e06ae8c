#include "platform/gui/device_screen.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cstdlib>

#include "platform/gui/input_panel.h"

namespace gui {
namespace {

// How far a held pen may wander (device pixels) and still count as held.
constexpr int kHoldSlop = 4;

Key ToKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return Key::Return;
        case Qt::Key_Escape:
            return Key::Escape;
        case Qt::Key_Left:
            return Key::Left;
        case Qt::Key_Up:
            return Key::Up;
        case Qt::Key_Right:
            return Key::Right;
        case Qt::Key_Down:
            return Key::Down;
        default:
            return Key::Other;
    }
}

}  // namespace

int DeviceScreen::RecognizeHold(Point screenPoint) {
    if (responder_) {
        return responder_->IsHold(screenPoint) ? kHoldGesture : 0;
    }
    HoldWatch watch;
    watch.start = screenPoint;
    holdWatch_ = &watch;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(holdMilliseconds_);
    // The pen's own events end the wait early: see the mouse handlers.
    while (!watch.ended && timer.isActive()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeSocketNotifiers);
    }
    holdWatch_ = nullptr;
    if (watch.released) {
        // The press ended as a tap: its pen up still reaches the window, after this handler.
        const Point up = watch.releasePoint;
        Post([this, up] { PenUp(up); });
    }
    return watch.ended ? 0 : kHoldGesture;
}

Point DeviceScreen::ToDevice(const QPoint& widgetPoint) const {
    return {widgetPoint.x() / zoom_, widgetPoint.y() / zoom_};
}

Window* DeviceScreen::WindowAt(Point screenPoint) const {
    // The active window and what lies on it take the pen; a window behind it does not.
    if (!active_ || !active_->ScreenRect().Contains(screenPoint)) {
        return nullptr;
    }
    Window* hit = active_;
    bool descended = true;
    while (descended) {
        descended = false;
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
            Window* child = it->get();
            if (child->parent_ == hit && child->visible_ && !child->destroyed_ &&
                child->ScreenRect().Contains(screenPoint)) {
                hit = child;
                descended = true;
                break;
            }
        }
    }
    return hit;
}

Point DeviceScreen::ToClient(const Window& window, Point screenPoint) const {
    const Rect rect = window.ScreenRect();
    return {screenPoint.x - rect.left, screenPoint.y - rect.top};
}

void DeviceScreen::PenDown(Point screenPoint) {
    if (IsHandwritingPanelShown()) {
        const Rect band = InputPanelRect();
        const Rect panel{band.left, band.top, band.left + InputPanel::kWidth, band.bottom};
        if (panel.Contains(screenPoint)) {
            panelCapture_ = true;
            panel_->PenDown({screenPoint.x - panel.left, screenPoint.y - panel.top});
            return;
        }
        // The pen went elsewhere: the character being written is finished.
        panel_->CommitPending();
    }
    if (PressOnBars(screenPoint)) {
        return;
    }
    Window* target = WindowAt(screenPoint);
    capture_ = target;
    if (target) {
        target->OnPenDown(ToClient(*target, screenPoint));
    }
}

void DeviceScreen::PenMove(Point screenPoint) {
    if (panelCapture_) {
        const Rect band = InputPanelRect();
        if (panel_ != nullptr) {
            panel_->PenMove({screenPoint.x - band.left, screenPoint.y - band.top});
        }
        return;
    }
    if (capture_ && !capture_->destroyed_) {
        capture_->OnPenMove(ToClient(*capture_, screenPoint));
    }
}

void DeviceScreen::PenUp(Point screenPoint) {
    if (panelCapture_) {
        panelCapture_ = false;
        const Rect band = InputPanelRect();
        if (panel_ != nullptr) {
            panel_->PenUp({screenPoint.x - band.left, screenPoint.y - band.top});
        }
        return;
    }
    Window* target = capture_;
    capture_ = nullptr;
    if (target && !target->destroyed_) {
        target->OnPenUp(ToClient(*target, screenPoint));
    }
}

void DeviceScreen::KeyDown(Key key) {
    Window* target = focus_ && !focus_->destroyed_ ? focus_ : active_;
    if (target) {
        target->OnKeyDown(key);
    }
}

void DeviceScreen::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        PenDown(ToDevice(event->position().toPoint()));
    }
}

void DeviceScreen::mouseMoveEvent(QMouseEvent* event) {
    const Point p = ToDevice(event->position().toPoint());
    if (holdWatch_) {
        if (std::abs(p.x - holdWatch_->start.x) > kHoldSlop ||
            std::abs(p.y - holdWatch_->start.y) > kHoldSlop) {
            holdWatch_->ended = true;
        }
        return;
    }
    if (event->buttons() & Qt::LeftButton) {
        PenMove(p);
    }
}

void DeviceScreen::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Point p = ToDevice(event->position().toPoint());
    if (holdWatch_) {
        holdWatch_->ended = true;
        holdWatch_->released = true;
        holdWatch_->releasePoint = p;
        return;
    }
    PenUp(p);
}

void DeviceScreen::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->key() == Qt::Key_R) {
            Rotate();
            return;
        }
        if (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal) {
            SetZoom(zoom_ + 1);
            return;
        }
        if (event->key() == Qt::Key_Minus) {
            SetZoom(zoom_ - 1);
            return;
        }
    }
    KeyDown(ToKey(event->key()));
}

bool DeviceScreen::eventFilter(QObject* watched, QEvent* event) {
    // A control's widget taking the keyboard on the desktop makes its window the focus window,
    // as a tap through the screen does.
    if (event->type() == QEvent::FocusIn) {
        if (Window* window = WindowOfWidget(watched); window != nullptr && window != focus_) {
            window->SetFocus();
        }
    }
    // The pen pressed on a control's widget: whatever is being written in the panel is
    // finished, as by a press through the screen.
    if (event->type() == QEvent::MouseButtonPress && panel_ != nullptr && watched->isWidgetType() &&
        watched != panel_ && !panel_->isAncestorOf(static_cast<QWidget*>(watched))) {
        if (WindowOfWidget(watched) != nullptr) {
            panel_->CommitPending();
        }
    }
    // Accelerators turn a key into a command for the window that has the keyboard, whichever
    // of the screen's widgets holds the focus.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        (watched == this || isAncestorOf(static_cast<QWidget*>(watched)))) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool control = (key->modifiers() & Qt::ControlModifier) != 0;
        // A modal dialog runs its own loop, which knows nothing of the program's accelerators.
        const bool dialogActive = active_ && active_->ClassName() == u"Dialog";
        for (const Accelerator& accelerator :
             dialogActive ? std::vector<Accelerator>{} : accelerators_) {
            if (accelerator.control == control && accelerator.qtKey == key->key()) {
                Window* target = focus_ && !focus_->destroyed_ ? focus_ : active_;
                while (target && target->parent_) {
                    target = target->parent_;
                }
                if (target) {
                    target->PostCommand(accelerator.command);
                }
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace gui

#include "platform/gui/device_screen.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <utility>

#include "platform/gui/input_panel.h"
#include "platform/gui/input_panel_button.h"

namespace gui {

int DeviceScreen::Width() const {
    return orientation_ == Orientation::Portrait ? kShortSide : kLongSide;
}

int DeviceScreen::Height() const {
    return orientation_ == Orientation::Portrait ? kLongSide : kShortSide;
}

Rect DeviceScreen::WorkArea() const {
    return {0, kBarHeight, Width(), Height() - kBarHeight};
}

void DeviceScreen::SetZoom(int zoom) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    FitWidget();
    PlaceScreenWidgets();
    PlaceInputPanel();
    update();
    if (viewChanged_) {
        viewChanged_();
    }
}

void DeviceScreen::FitWidget() {
    setFixedSize(Width() * zoom_, Height() * zoom_);
}

void DeviceScreen::Rotate() {
    const Rect oldWork = WorkArea();
    orientation_ =
        orientation_ == Orientation::Portrait ? Orientation::Landscape : Orientation::Portrait;
    FitWidget();
    // Top-level windows keep their top-left corner and their distance from the bottom of the
    // work area, as the shell re-lays them on a turn; then they hear of the change.
    const Rect work = WorkArea();
    for (Window* window : stack_) {
        const Rect old = window->rect_;
        const int bottomGap = oldWork.bottom - old.bottom;
        window->Move(old.left, old.top, work.right - old.left, work.bottom - bottomGap - old.top,
                     true);
    }
    for (Window* window : std::vector<Window*>(stack_)) {
        if (!window->destroyed_) {
            window->OnSettingChange();
        }
    }
    PlaceScreenWidgets();
    PlaceInputPanel();
    update();
    if (viewChanged_) {
        viewChanged_();
    }
}

void DeviceScreen::contextMenuEvent(QContextMenuEvent* event) {
    // The screen's own menu (on the navigation bar): turn it and change its size.
    if (ToDevice(event->pos()).y >= kBarHeight) {
        return;
    }
    QMenu menu(this);
    QAction* rotate = menu.addAction(QStringLiteral("画面を回転 (Ctrl+R)"));
    QAction* larger = menu.addAction(QStringLiteral("拡大 (Ctrl++)"));
    QAction* smaller = menu.addAction(QStringLiteral("縮小 (Ctrl+-)"));
    larger->setEnabled(zoom_ < kMaxZoom);
    smaller->setEnabled(zoom_ > kMinZoom);
    // Only a screen that has the handwriting panel offers to turn it off.
    QAction* handwriting = nullptr;
    if (HasHandwritingPanel()) {
        menu.addSeparator();
        handwriting = menu.addAction(QStringLiteral("手書き入力パネル"));
        handwriting->setCheckable(true);
        handwriting->setChecked(panelOn_);
    }
    QAction* chosen = ExecMenu(menu, event->pos(), PopupOpening::Downward);
    if (chosen != nullptr && chosen == handwriting) {
        SetHandwritingPanelOn(!panelOn_);
    } else if (chosen == rotate) {
        Rotate();
    } else if (chosen == larger) {
        SetZoom(zoom_ + 1);
    } else if (chosen == smaller) {
        SetZoom(zoom_ - 1);
    }
}

void DeviceScreen::DrawWindowTree(QImage& target, const Window& window, Point origin) const {
    QPainter painter(&target);
    painter.drawImage(origin.x + window.rect_.left, origin.y + window.rect_.top, window.pixels_);
    painter.end();
    const Point inner{origin.x + window.rect_.left, origin.y + window.rect_.top};
    for (const auto& child : windows_) {
        if (child->parent_ == &window && child->visible_ && !child->destroyed_) {
            DrawWindowTree(target, *child, inner);
        }
    }
}

void DeviceScreen::PlaceScreenWidgets() {
    // By index: a window's placing must not be disturbed by the list growing under it.
    for (size_t i = 0; i < windows_.size(); ++i) {
        Window* window = windows_[i].get();
        if (!window->destroyed_) {
            window->PlaceScreenWidget();
        }
    }
    // Controls made after the panel came up would otherwise lie over it.
    if (panel_ != nullptr && !panel_->isHidden()) {
        panel_->raise();
    }
}

void DeviceScreen::DrawScreenWidgets(QPainter& painter, int zoom) const {
    for (const auto& window : windows_) {
        QWidget* widget = window->destroyed_ ? nullptr : window->ScreenWidget();
        if (!widget || widget->isHidden()) {
            continue;
        }
        // The widget lies at the screen's own zoom; a screenshot at another zoom scales it.
        const QRect placed = widget->geometry();
        if (zoom == zoom_) {
            widget->render(&painter, placed.topLeft());
            continue;
        }
        const QRect target(placed.x() * zoom / zoom_, placed.y() * zoom / zoom_,
                           placed.width() * zoom / zoom_, placed.height() * zoom / zoom_);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawPixmap(target, widget->grab());
        painter.restore();
    }
}

QImage DeviceScreen::Render(int zoom) const {
    return Compose(zoom, true);
}

QImage DeviceScreen::Compose(int zoom, bool withWidgets) const {
    QImage device(Width(), Height(), QImage::Format_RGB32);
    device.fill(Qt::black);
    for (const Window* window : stack_) {
        if (window->visible_ && !window->destroyed_) {
            DrawWindowTree(device, *window, {0, 0});
        }
    }
    QImage out = zoom == 1 ? device
                           : device.scaled(device.width() * zoom, device.height() * zoom,
                                           Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter painter(&out);
    if (withWidgets) {
        DrawScreenWidgets(painter, zoom);
        // The panel lies over the program's widgets, as it does on the desktop.
        if (IsHandwritingPanelShown()) {
            const Rect band = InputPanelRect();
            painter.save();
            painter.translate(band.left * zoom, band.top * zoom);
            panel_->Paint(painter, zoom);
            painter.restore();
        }
    }
    DrawBars(painter, zoom);
    // The shell's input panel button at the right end of the menu bar, over whatever of the
    // window's buttons reaches there, as it takes the pen there first.
    DrawInputPanelButton(painter, InputPanelButtonRect(Width(), Height()), zoom, inputPanelShown_);
    return out;
}

void DeviceScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The control widgets draw themselves over this.
    painter.drawImage(0, 0, Compose(zoom_, false));
    if (firstPaint_) {
        // Told from the event loop, not from inside the paint.
        QMetaObject::invokeMethod(this, std::exchange(firstPaint_, nullptr), Qt::QueuedConnection);
    }
}

}  // namespace gui

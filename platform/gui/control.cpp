#include "platform/gui/control.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include "platform/gui/control_look.h"
#include "platform/gui/device_screen.h"

namespace gui {

Control::Control(DeviceScreen& screen, std::u16string className, uint16_t id)
    : Window(screen, std::move(className), u"", kWhite),
      id_(id),
      fontPixels_(kDefaultControlFontPixels) {}

Control::~Control() {
    if (widget_) {
        // The widget may be inside one of its own signals when its window goes (it was hidden
        // when the window was destroyed; the screen itself may be going now).
        widget_->disconnect();
        widget_->deleteLater();
    }
}

void Control::Attach(QWidget* widget) {
    widget_ = widget;
    widget_->hide();
    widget_->setAutoFillBackground(true);
}

void Control::OnCreate() {
    Show();
}

void Control::OnDestroy() {
    if (widget_) {
        widget_->disconnect();
        widget_->hide();
    }
}

void Control::OnKeyDown(Key key) {
    if (Window* parent = Parent(); parent && !parent->IsDestroyed()) {
        parent->OnKeyDown(key);
    }
}

void Control::OnPenDown(Point /*point*/) {
    pressed_ = IsEnabled();
    if (pressed_ && (widget_->focusPolicy() & Qt::ClickFocus) != 0) {
        Focus();
    }
}

void Control::OnPenUp(Point point) {
    const bool tapped = pressed_ && IsEnabled() && ClientRect().Contains(point);
    pressed_ = false;
    if (tapped) {
        OnTapped();
    }
}

void Control::SetText(std::u16string_view text) {
    text_ = std::u16string(text);
}

std::u16string Control::Text() const {
    return text_;
}

void Control::Enable(bool enabled) {
    if (widget_) {
        widget_->setEnabled(enabled);
    }
}

bool Control::IsEnabled() const {
    return widget_ && widget_->isEnabled();
}

void Control::Focus() {
    SetFocus();
    if (widget_) {
        widget_->setFocus(Qt::OtherFocusReason);
    }
}

bool Control::HasFocus() const {
    return Screen().FocusWindow() == this;
}

void Control::SetFontPixelSize(int pixelSize) {
    fontPixels_ = pixelSize;
    Restyle();
}

void Control::Restyle() {
    styledZoom_ = 0;
    PlaceScreenWidget();
}

QString Control::StyleSheet(int zoom) const {
    const Window* parent = Parent();
    return ControlStyleSheet(zoom, parent ? parent->BackgroundColor() : BackgroundColor());
}

void Control::PlaceScreenWidget() {
    if (!widget_ || IsDestroyed()) {
        return;
    }
    const int zoom = Screen().Zoom();
    if (styledZoom_ != zoom) {
        styledZoom_ = zoom;
        widget_->setFont(ControlFont(fontPixels_, zoom));
        widget_->setStyleSheet(StyleSheet(zoom));
        ApplyZoom(zoom);
    }
    const Rect rect = ScreenRect();
    widget_->setGeometry(rect.left * zoom, rect.top * zoom, rect.Width() * zoom,
                         rect.Height() * zoom);
    // Shown while the whole chain up to the top-level window is visible and that window is
    // the one on top: a window underneath must not show its controls through.
    bool shown = IsVisible();
    const Window* top = this;
    for (const Window* up = Parent(); up != nullptr && shown; up = up->Parent()) {
        shown = up->IsVisible() && !up->IsDestroyed();
        top = up;
    }
    shown = shown && top == Screen().ActiveWindow();
    if (widget_->isHidden() == shown) {
        widget_->setVisible(shown);
    }
}

void Control::CommandParent() {
    if (Window* parent = Parent(); parent && !IsDestroyed()) {
        parent->SendCommand(id_);
    }
}

void Control::NotifyParent(ControlNotification code) {
    if (Window* parent = Parent(); parent && !IsDestroyed() && !parent->IsDestroyed()) {
        parent->OnControlNotify(*this, code);
    }
}

QString Control::ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void SendPenAsMouse(QWidget& widget, int zoom, QEvent::Type type, Point point) {
    const QPointF local((point.x + 0.5) * zoom, (point.y + 0.5) * zoom);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, widget.mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace gui

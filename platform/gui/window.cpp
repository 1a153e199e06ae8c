#include "platform/gui/window.h"

#include <QPainter>

#include <algorithm>

#include "platform/gui/device_screen.h"
#include "platform/gui/surface.h"

namespace gui {

Window::Window(DeviceScreen& screen, std::u16string className, std::u16string title,
               uint32_t backgroundColor)
    : screen_(screen),
      className_(std::move(className)),
      title_(std::move(title)),
      background_(backgroundColor) {}

Window::~Window() = default;

void Window::OnClose() {
    Destroy();
}

Rect Window::ScreenRect() const {
    Rect rect = rect_;
    for (const Window* up = parent_; up != nullptr; up = up->parent_) {
        rect.left += up->rect_.left;
        rect.right += up->rect_.left;
        rect.top += up->rect_.top;
        rect.bottom += up->rect_.top;
    }
    return rect;
}

void Window::Move(int x, int y, int width, int height, bool repaint) {
    rect_ = {x, y, x + std::max(0, width), y + std::max(0, height)};
    QImage resized(std::max(1, rect_.Width()), std::max(1, rect_.Height()), QImage::Format_RGB32);
    resized.fill(ToQColor(background_));
    pixels_ = std::move(resized);
    // New pixels have never been painted, so the whole window waits for its next paint.
    invalid_ = ClientRect();
    eraseInvalid_ = true;
    if (repaint) {
        screen_.SchedulePaint();
    }
    screen_.update();
    screen_.PlaceScreenWidgets();
}

void Window::Show() {
    if (visible_ || destroyed_) {
        return;
    }
    visible_ = true;
    screen_.WindowShown(*this);
}

void Window::Hide() {
    if (!visible_) {
        return;
    }
    visible_ = false;
    screen_.WindowHidden(*this);
}

std::vector<Window*> Window::Children() const {
    std::vector<Window*> children;
    for (const auto& window : screen_.windows_) {
        if (window->parent_ == this && !window->destroyed_) {
            children.push_back(window.get());
        }
    }
    return children;
}

void Window::Invalidate(const Rect& rect, bool erase) {
    const Rect client = ClientRect();
    const Rect clipped{std::max(rect.left, client.left), std::max(rect.top, client.top),
                       std::min(rect.right, client.right), std::min(rect.bottom, client.bottom)};
    if (clipped.IsEmpty()) {
        return;
    }
    invalid_ = invalid_.Union(clipped);
    eraseInvalid_ = eraseInvalid_ || erase;
    screen_.SchedulePaint();
    // A window paints under its children, so what of them lies in the part it repaints is
    // painted again after it, as a pop-up over the main window must show the day it shows now.
    for (Window* child : Children()) {
        if (!child->visible_) {
            continue;
        }
        const Rect inChild{clipped.left - child->rect_.left, clipped.top - child->rect_.top,
                           clipped.right - child->rect_.left, clipped.bottom - child->rect_.top};
        child->Invalidate(inChild, erase);
    }
}

void Window::PaintNow() {
    if (visible_ && !invalid_.IsEmpty()) {
        PaintInvalid();
        screen_.update();
    }
}

void Window::DrawNow(const std::function<void(Surface&)>& draw) {
    if (!visible_ || destroyed_) {
        return;
    }
    Surface surface(pixels_);
    draw(surface);
    screen_.update();
}

void Window::PaintInvalid() {
    const Rect invalid = invalid_;
    const bool erase = eraseInvalid_;
    invalid_ = {};
    eraseInvalid_ = false;
    if (erase) {
        QPainter painter(&pixels_);
        painter.fillRect(invalid.left, invalid.top, invalid.Width(), invalid.Height(),
                         ToQColor(background_));
    }
    Surface surface(pixels_);
    surface.SetClip(invalid.left, invalid.top, invalid.right, invalid.bottom);
    OnPaint(surface);
}

void Window::SendCommand(uint16_t command) {
    if (!destroyed_) {
        OnCommand(command);
    }
}

void Window::PostCommand(uint16_t command) {
    screen_.Post([this, command, alive = screen_.IsAlive(this)] {
        if (alive()) {
            SendCommand(command);
        }
    });
}

void Window::SetTimer(int timerId, int milliseconds) {
    screen_.StartTimer(*this, timerId, milliseconds);
}

void Window::KillTimer(int timerId) {
    screen_.StopTimer(*this, timerId);
}

void Window::SetFocus() {
    screen_.focus_ = this;
    screen_.FocusMayHaveMoved();
}

void Window::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    OnDestroy();
    screen_.WindowDestroyed(*this);
}

}  // namespace gui

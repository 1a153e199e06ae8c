#pragma once

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/geometry.h"

class QWidget;

namespace gui {

class Control;
class DeviceScreen;
class Surface;

// Keys the planner's windows react to, named as the handheld names them.
enum class Key { Other, Return, Escape, Left, Up, Right, Down };

// The 12-byte record a window hands to the shell with every activation and setting change;
// the shell keeps its own bookkeeping for that window in it.
struct ActivationRecord {
    uint32_t size = 12;
    uint32_t previousInputPanelShown = 0;
    uint32_t flags = 0;
};

// Whether a window was just activated or deactivated, as the activation message tells it.
enum class Activation { Inactive, Active };

// What a control tells its parent besides a command: the user picked another entry of a combo
// box's list (or another day of a month calendar), or changed the text of an edit field.
enum class ControlNotification { SelectionChanged, EditChanged };

// A window of the device screen: a top-level window (main window, editors) stacked in the work
// area, or a child window inside another (the summary pop-up, the handwriting pad, controls).
// Subclasses override the handlers they need; the rest fall back to default handling.
// Coordinates handed to handlers are the window's own (client) coordinates.
class Window {
public:
    Window(DeviceScreen& screen, std::u16string className, std::u16string title,
           uint32_t backgroundColor);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // ---- handlers ----
    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnActivate(Activation /*state*/) {}
    virtual void OnSettingChange() {}
    virtual void OnPaint(Surface& /*surface*/) {}
    virtual void OnKeyDown(Key /*key*/) {}
    virtual void OnPenDown(Point /*point*/) {}
    virtual void OnPenMove(Point /*point*/) {}
    virtual void OnPenUp(Point /*point*/) {}
    // True when the command was handled; false gives it default handling (nothing).
    virtual bool OnCommand(uint16_t /*command*/) { return false; }
    virtual void OnTimer(int /*timerId*/) {}
    // A close request; the default destroys the window.
    virtual void OnClose();
    // A child control's notification (a button or check box sends OnCommand with its id).
    virtual void OnControlNotify(Control& /*control*/, ControlNotification /*code*/) {}

    // ---- desktop widget (controls) ----
    // A window drawn by a desktop widget laid over the screen returns it here; the screen then
    // renders it into screenshots.
    virtual QWidget* ScreenWidget() const { return nullptr; }
    // Called whenever the window may have moved, been shown or hidden, or come out from under
    // another window, directly or through an ancestor, and when the zoom or orientation
    // changes: a window with a desktop widget puts it where the window now is.
    virtual void PlaceScreenWidget() {}

    // ---- services ----
    DeviceScreen& Screen() const { return screen_; }
    const std::u16string& ClassName() const { return className_; }
    const std::u16string& Title() const { return title_; }
    Window* Parent() const { return parent_; }
    bool IsTopLevel() const { return parent_ == nullptr; }
    // The window a top-level pop-up belongs to (a dialog's owner), or null. A second launch
    // brings forward the newest pop-up a window owns rather than the window itself.
    virtual Window* Owner() const { return nullptr; }
    // The child windows, in the order they were created; destroyed ones are left out.
    std::vector<Window*> Children() const;
    bool IsVisible() const { return visible_; }
    bool IsDestroyed() const { return destroyed_; }

    // The window's rectangle in screen coordinates, and its client rectangle (0, 0, w, h).
    Rect ScreenRect() const;
    Rect ClientRect() const { return {0, 0, rect_.Width(), rect_.Height()}; }
    // Moves the window; the position is in its parent's coordinates (the screen's for a
    // top-level window).
    void Move(int x, int y, int width, int height, bool repaint);
    void Show();
    void Hide();
    // Marks a part of the window for the next paint, optionally erased with the background.
    void Invalidate(const Rect& rect, bool erase);
    void InvalidateAll(bool erase) { Invalidate(ClientRect(), erase); }
    // Paints what is invalid at once instead of at the next paint cycle.
    void PaintNow();
    // Draws into the window at once, outside its paint, as a stroke being written must: `draw`
    // gets a surface on the window's own pixels, and the screen shows them at its next refresh.
    // Nothing is drawn while the window is hidden. A later paint may draw over it.
    void DrawNow(const std::function<void(Surface&)>& draw);
    // A command handled now, or queued behind what is already waiting.
    void SendCommand(uint16_t command);
    void PostCommand(uint16_t command);
    void SetTimer(int timerId, int milliseconds);
    void KillTimer(int timerId);
    void SetFocus();
    // Ends the window: its destroy handler runs now, the object goes once the current message
    // is handled.
    void Destroy();

    // The window's pixels as last painted (what the screen shows).
    const QImage& Pixels() const { return pixels_; }
    uint32_t BackgroundColor() const { return background_; }

private:
    friend class DeviceScreen;
    void PaintInvalid();

    DeviceScreen& screen_;
    uint64_t serial_ = 0;  // tells a live window from a destroyed one at the same address
    std::u16string className_;
    std::u16string title_;
    uint32_t background_;
    Window* parent_ = nullptr;
    Rect rect_;  // in the parent's coordinates
    bool visible_ = false;
    bool destroyed_ = false;
    Rect invalid_;
    bool eraseInvalid_ = false;
    QImage pixels_;
};

}  // namespace gui

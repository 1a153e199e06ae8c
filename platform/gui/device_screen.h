#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/geometry.h"
#include "platform/gui/menus.h"
#include "platform/gui/modal_responder.h"
#include "platform/gui/popup_placement.h"
#include "platform/gui/window.h"

class QAction;
class QMenu;
class QTimer;

namespace handwriting {
class CharacterRecognizer;
}

namespace gui {

class InputPanel;

enum class Orientation { Portrait, Landscape };

// Height of the navigation bar at the top and of the menu bar at the bottom.
inline constexpr int kBarHeight = 26;
inline constexpr int kShortSide = 240;
inline constexpr int kLongSide = 320;

// The command a window's OK button sends, and the hold answer of the shell.
inline constexpr uint16_t kOkCommand = 1;
inline constexpr int kHoldGesture = 1000;

// A key combination that becomes a command for the window that has the keyboard.
struct Accelerator {
    bool control = false;
    int qtKey = 0;
    uint16_t command = 0;
};

// The handheld's screen on the desktop: a navigation bar (the active window's title, its OK
// button), the work area where the program's windows are stacked, and the active window's menu
// bar, all drawn at an integer zoom. It also carries the message model the windows rely on:
// commands sent or posted, a paint cycle, timers, focus, pen capture and held presses.
// Its members live in a file for each part: the windows, messages and timers here
// (device_screen.cpp); the bars, their menus and message boxes (_bars); the input band and its
// handwriting panel (_input_band); pen and keys (_pen); zoom, orientation and the picture (_view).
class DeviceScreen : public QWidget {
public:
    explicit DeviceScreen(Orientation orientation = Orientation::Portrait, int zoom = 2);
    ~DeviceScreen() override;

    // ---- geometry ----
    Orientation CurrentOrientation() const { return orientation_; }
    int Width() const;
    int Height() const;
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);
    // Turns the screen and lays the top-level windows out again in the new work area.
    void Rotate();
    // Told after every change of zoom or orientation, so the choice can be remembered.
    void SetViewChangedHandler(std::function<void()> handler) { viewChanged_ = std::move(handler); }
    // Told once, soon after the screen is first painted: work the user need not wait for to see
    // the planner waits for this.
    void SetFirstPaintHandler(std::function<void()> handler) { firstPaint_ = std::move(handler); }
    // Between the navigation bar and the menu bar: where a new top-level window is placed.
    Rect WorkArea() const;

    // ---- windows ----
    // A top-level window at the default rectangle (the work area), created and on top.
    template <typename T, typename... Args>
    T* CreateTopLevel(Args&&... args) {
        auto window = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = window.get();
        Adopt(std::move(window), nullptr, WorkArea());
        return raw;
    }
    // A child window inside `parent` at `rect` (parent coordinates).
    template <typename T, typename... Args>
    T* CreateChild(Window& parent, const Rect& rect, Args&&... args) {
        auto window = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = window.get();
        Adopt(std::move(window), &parent, rect);
        return raw;
    }
    // The top-level window of that class and title, newest first; null when there is none.
    Window* FindTopLevel(std::u16string_view className, std::u16string_view title) const;
    Window* ActiveWindow() const;
    // The newest visible top-level window owned by `window`, directly or through other pop-ups
    // (a modal dialog over it); `window` itself when none is up.
    Window& LastActivePopup(Window& window) const;
    Window* FocusWindow() const { return focus_; }
    // Brings a top-level window to the front and activates it.
    void BringToFront(Window& window);

    // ---- shell ----
    MenuBar* CreateMenuBar(Window& owner, std::vector<MenuBarButton> buttons);
    MenuBar* MenuBarOf(const Window& owner) const;
    // Asks for the navigation bar's OK button (command 1) while the window, or the top-level
    // window it lies in, is active.
    void ShowOkButton(Window& window);
    // Who the OK button would go to now; null when it is not shown.
    Window* OkButtonTarget() const;
    void SetAccelerators(std::vector<Accelerator> accelerators) {
        accelerators_ = std::move(accelerators);
    }
    // Shows the pop-up unfolding from a screen point (downward: its top-left corner there;
    // upward: its bottom-left corner), moved as needed to stay on the screen, and returns the
    // command picked (0 for none); the caller hands it on to its window.
    uint16_t TrackPopupMenu(const PopupMenu& menu, Point screenPoint,
                            PopupOpening opening = PopupOpening::Downward);
    // Asks in a message box of the screen's own (see RunMessageBox) over the active window.
    MessageBoxAnswer ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                                    MessageBoxButtons buttons);
    // Asked while the pen is still down after a press at `screenPoint`: kHoldGesture when the
    // press becomes a hold, 0 when it ends or moves first (its pen up still reaches the window).
    int RecognizeHold(Point screenPoint);
    void SetModalResponder(ModalResponder* responder) { responder_ = responder; }
    // The responder that answers modal interactions instead of a person, or null.
    ModalResponder* Responder() const { return responder_; }
    void SetHoldMilliseconds(int milliseconds) { holdMilliseconds_ = milliseconds; }

    // ---- timers driven by hand (tests) ----
    // From now on timers wait for AdvanceTimers instead of the wall clock, so a test can let
    // seconds pass without sleeping.
    void UseManualTimers() { manualTimers_ = true; }
    // Lets that much time pass on the manual timer clock, firing every timer that falls due, in
    // the order they fall due.
    void AdvanceTimers(int milliseconds);
    // Whether the window's timer runs.
    bool IsTimerRunning(const Window& window, int id) const {
        return timers_.contains({&window, id});
    }

    // The soft keyboard: the band at the bottom of the work area. With a handwriting panel
    // installed and on, it is drawn there; otherwise the desktop's input method is asked to show
    // itself. Typing with a keyboard and the desktop's input method works either way. It comes
    // only when asked: by the menu bar's input panel button, or by the program (the pad's text
    // mode); a tap on a text field leaves it as it is.
    void ShowInputPanel();
    void HideInputPanel();
    bool IsInputPanelShown() const { return inputPanelShown_; }
    Rect InputPanelRect() const;
    // The input panel button, as the user presses it: the panel goes down when it is up, else
    // up. What the user chose last is remembered (the view-changed handler hears of it): a
    // window with text fields that is active for the first time opens with the panel so.
    void PressInputPanelButton();
    bool IsInputPanelWanted() const { return inputPanelWanted_; }
    void SetInputPanelWanted(bool wanted) { inputPanelWanted_ = wanted; }
    // Whether the active window holds a field that takes typing.
    bool ActiveWindowTakesText() const;

    // ---- the handwriting panel ----
    // Gives the band its handwriting panel, reading characters with `recognizer`: shown in the
    // band whenever the input panel is up.
    void InstallHandwritingPanel(std::unique_ptr<handwriting::CharacterRecognizer> recognizer);
    // Makes the recogniser the panel reads with; null when it cannot be had.
    using RecognizerLoader = std::function<std::unique_ptr<handwriting::CharacterRecognizer>()>;
    // The same, with the recogniser made by `load` only when the panel is first to be shown, so
    // that reading its models costs the start nothing. When `load` gives none, the band is the
    // desktop's input method's from then on, as with no panel at all, and it is not asked again.
    void InstallHandwritingPanelOnDemand(RecognizerLoader load);
    // Whether the band has a handwriting panel, or one still to be made when first shown.
    bool HasHandwritingPanel() const { return panel_ != nullptr || panelLoader_ != nullptr; }
    // Off: the desktop's input method is all there is (the screen's menu turns it either way;
    // the view-changed handler hears of it, so the choice can be remembered).
    void SetHandwritingPanelOn(bool on);
    bool IsHandwritingPanelOn() const { return panelOn_; }
    // Whether the handwriting panel is up in the band now.
    bool IsHandwritingPanelShown() const;
    const InputPanel* HandwritingPanel() const { return panel_; }

    // ---- messages ----
    // Queues work behind what is already waiting, as a posted message is.
    void Post(std::function<void()> work);
    // A check that stays valid after the window is gone: true while it lives.
    std::function<bool()> IsAlive(const Window* window) const;
    // Runs the paint cycle now: every visible window with an invalid part paints it.
    void PaintPending();
    // Handles everything queued so far (tests use it to drive the loop without waiting).
    void ProcessPending();

    // The whole screen as the user sees it, at a zoom (1: the device's own pixels), controls
    // included.
    QImage Render(int zoom) const;

    // Pen input in screen coordinates, as the widget's mouse handling delivers it.
    void PenDown(Point screenPoint);
    void PenMove(Point screenPoint);
    void PenUp(Point screenPoint);
    void KeyDown(Key key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class Window;
    friend class InputPanel;
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 6;
    struct TimerKey {
        const Window* window;
        int id;
        auto operator<=>(const TimerKey&) const = default;
    };

    void Adopt(std::unique_ptr<Window> window, Window* parent, const Rect& rect);
    void WindowShown(Window& window);
    void WindowHidden(Window& window);
    void WindowDestroyed(Window& window);
    void SchedulePaint();
    void StartTimer(Window& window, int id, int milliseconds);
    void StopTimer(const Window& window, int id);
    void StartTimerEntry(TimerKey key, int milliseconds, std::function<void()> fire);
    // The handwriting panel's pause after a stroke, on the screen's own timer clock.
    void StartPanelTimer(int milliseconds);
    void StopPanelTimer();
    bool HandwritingPanelInUse() const { return panel_ != nullptr && panelOn_; }
    // Makes the panel a loader was given for, once.
    void LoadHandwritingPanel();
    // Shows, hides and places the panel's widget as the band's state asks.
    void PlaceInputPanel();
    // The widget of the text field with the keyboard: the focus window's, when it is an
    // enabled field of the active window that takes input-method text; null otherwise.
    QWidget* TextFieldWithKeyboard() const;
    // The window whose desktop widget is `widget` or holds it, if any.
    Window* WindowOfWidget(const QObject* widget) const;
    // After the focus window changed: the panel's 改行 follows the field with the keyboard.
    void FocusMayHaveMoved();
    void ActivateTopmost();
    Window* WindowAt(Point screenPoint) const;
    Point ToClient(const Window& window, Point screenPoint) const;
    void FitWidget();
    void CollectGarbage();
    Point ToDevice(const QPoint& widgetPoint) const;
    bool PressOnBars(Point screenPoint);
    // Runs a menu of the screen's look at the zoom, unfolding from a point of this widget and
    // kept inside the screen; the action chosen, or null.
    QAction* ExecMenu(QMenu& menu, QPoint anchor, PopupOpening opening);
    void DrawBars(QPainter& painter, int zoom) const;
    void DrawWindowTree(QImage& target, const Window& window, Point origin) const;
    // Control widgets: re-placed after every change of geometry, stacking or visibility, and
    // drawn into screenshots (on the desktop they lie over the screen widget by themselves).
    void PlaceScreenWidgets();
    void DrawScreenWidgets(QPainter& painter, int zoom) const;
    QImage Compose(int zoom, bool withWidgets) const;

    Orientation orientation_;
    int zoom_;
    std::vector<std::unique_ptr<Window>> windows_;  // creation order; z-order below
    uint64_t nextSerial_ = 1;
    std::shared_ptr<std::map<uint64_t, const Window*>> live_ =
        std::make_shared<std::map<uint64_t, const Window*>>();
    std::vector<Window*> stack_;  // top-level windows, bottom first
    std::vector<std::unique_ptr<Window>> destroyed_;
    std::map<const Window*, std::unique_ptr<MenuBar>> menuBars_;
    std::vector<Window*> okButtons_;
    std::vector<Accelerator> accelerators_;
    struct TimerEntry {
        QTimer* timer = nullptr;  // null on the manual timer clock
        std::function<void()> fire;
        int interval = 0;
        int64_t due = 0;  // on the manual timer clock
    };
    std::map<TimerKey, TimerEntry> timers_;
    bool manualTimers_ = false;
    int64_t manualNow_ = 0;
    Window* active_ = nullptr;
    Window* focus_ = nullptr;
    Window* capture_ = nullptr;
    bool paintScheduled_ = false;
    int postedWaiting_ = 0;  // posted work not yet run
    bool inputPanelShown_ = false;
    InputPanel* panel_ = nullptr;   // a child widget of the screen
    RecognizerLoader panelLoader_;  // until the panel is first to be shown
    bool panelOn_ = true;
    bool panelCapture_ = false;  // the pen went down in the panel
    bool inputPanelWanted_ = false;
    ModalResponder* responder_ = nullptr;
    std::function<void()> viewChanged_;
    std::function<void()> firstPaint_;
    int holdMilliseconds_ = 500;
    // A hold being recognised: where it started, and whether the pen left or moved away.
    struct HoldWatch {
        Point start;
        bool ended = false;
        bool released = false;
        Point releasePoint;
    };
    HoldWatch* holdWatch_ = nullptr;
};

}  // namespace gui

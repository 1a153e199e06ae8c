#include "platform/gui/device_screen.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

#include "platform/gui/input_panel.h"
#include "platform/gui/input_panel_button.h"
#include "platform/gui/message_box.h"
#include "platform/gui/shell_look.h"
#include "platform/gui/surface.h"

namespace gui {
namespace {

// How far a held pen may wander (device pixels) and still count as held.
constexpr int kHoldSlop = 4;
constexpr int kInputPanelHeight = 80;
constexpr int kMinZoom = 1;
constexpr int kMaxZoom = 6;
// ProcessPending: rounds after the last posted message, and the most rounds in all.
constexpr int kQuietRounds = 2;
constexpr int kMaxProcessRounds = 100000;

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

QFont BarFont(int zoom) {
    return ShellFont(12, zoom);
}

QString CssColor(const QColor& color) {
    return color.name(QColor::HexRgb);
}

// The pop-up menus in the bars' colours, every length in device pixels times the zoom, so a
// menu grows with the screen it belongs to.
QString MenuStyleSheet(int zoom) {
    return QStringLiteral(
               "QMenu { background: white; color: %1; border: %3px solid %2; padding: %3px 0px; }"
               "QMenu::item { padding: %4px %5px; }"
               "QMenu::item:selected { background: %6; color: white; }"
               "QMenu::item:disabled { color: #808080; }"
               "QMenu::separator { height: %3px; background: %2; margin: %4px %3px; }")
        .arg(CssColor(kMenuTextColor), CssColor(kMenuBarLineColor))
        .arg(zoom)
        .arg(3 * zoom)
        .arg(12 * zoom)
        .arg(CssColor(kBarColor));
}

// Buttons of a menu bar laid out left to right, each as wide as its text needs.
struct ButtonSlot {
    int left;
    int right;
    const MenuBarButton* button;
};

std::vector<ButtonSlot> LayOutButtons(const MenuBar& bar) {
    std::vector<ButtonSlot> placed;
    const QFontMetrics metrics(BarFont(1));
    int x = 0;
    for (const MenuBarButton& button : bar.Buttons()) {
        if (button.separator) {
            x += 6;
            continue;
        }
        const int width = metrics.horizontalAdvance(QString::fromStdU16String(button.text)) + 12 +
                          (button.dropDown ? 8 : 0);
        placed.push_back({x, x + width, &button});
        x += width;
    }
    return placed;
}

constexpr int kOkButtonWidth = 30;

// The input panel's pause after a stroke: a timer of the screen's own, owned by no window.
constexpr int kPanelTimerId = 1;

// The widget that takes a field's typing: its own, or the one it hands the focus on to (an
// editable combo box's line), when that one is enabled and takes input-method text.
QWidget* TextWidgetOf(QWidget* widget) {
    while (widget != nullptr && widget->focusProxy() != nullptr) {
        widget = widget->focusProxy();
    }
    if (widget == nullptr || !widget->isEnabled() ||
        !widget->testAttribute(Qt::WA_InputMethodEnabled)) {
        return nullptr;
    }
    return widget;
}

}  // namespace

DeviceScreen::DeviceScreen(Orientation orientation, int zoom)
    : orientation_(orientation), zoom_(std::clamp(zoom, kMinZoom, kMaxZoom)) {
    setWindowTitle(QStringLiteral("Tessarinth"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    qApp->installEventFilter(this);
    FitWidget();
}

DeviceScreen::~DeviceScreen() {
    qApp->removeEventFilter(this);
    delete panel_;
    panel_ = nullptr;
    for (auto& [key, entry] : timers_) {
        delete entry.timer;
    }
}

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

void DeviceScreen::Adopt(std::unique_ptr<Window> window, Window* parent, const Rect& rect) {
    Window* raw = window.get();
    raw->serial_ = nextSerial_++;
    (*live_)[raw->serial_] = raw;
    raw->parent_ = parent;
    windows_.push_back(std::move(window));
    if (!parent) {
        stack_.push_back(raw);
    }
    raw->Move(rect.left, rect.top, rect.Width(), rect.Height(), false);
    raw->OnCreate();
}

std::function<bool()> DeviceScreen::IsAlive(const Window* window) const {
    const uint64_t serial = window->serial_;
    return [live = live_, serial] { return live->count(serial) != 0; };
}

Window* DeviceScreen::FindTopLevel(std::u16string_view className, std::u16string_view title) const {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        if (!(*it)->destroyed_ && (*it)->className_ == className && (*it)->title_ == title) {
            return *it;
        }
    }
    return nullptr;
}

Window* DeviceScreen::ActiveWindow() const {
    return active_;
}

Window& DeviceScreen::LastActivePopup(Window& window) const {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        Window* candidate = *it;
        if (candidate == &window || !candidate->visible_ || candidate->destroyed_) {
            continue;
        }
        for (const Window* owner = candidate->Owner(); owner != nullptr; owner = owner->Owner()) {
            if (owner == &window) {
                return *candidate;
            }
        }
    }
    return window;
}

void DeviceScreen::BringToFront(Window& window) {
    Window* top = &window;
    while (top->parent_) {
        top = top->parent_;
    }
    auto found = std::find(stack_.begin(), stack_.end(), top);
    if (found != stack_.end()) {
        stack_.erase(found);
        stack_.push_back(top);
    }
    ActivateTopmost();
    PlaceScreenWidgets();
    update();
}

void DeviceScreen::WindowShown(Window& window) {
    if (window.IsTopLevel()) {
        BringToFront(window);
    }
    window.InvalidateAll(true);
    PlaceScreenWidgets();
    update();
}

void DeviceScreen::WindowHidden(Window& window) {
    if (capture_ == &window) {
        capture_ = nullptr;
    }
    if (window.IsTopLevel()) {
        ActivateTopmost();
    }
    PlaceScreenWidgets();
    if (focus_ == &window) {
        FocusMayHaveMoved();
    }
    update();
}

void DeviceScreen::ActivateTopmost() {
    Window* next = nullptr;
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        if ((*it)->visible_ && !(*it)->destroyed_) {
            next = *it;
            break;
        }
    }
    if (next == active_) {
        return;
    }
    Window* previous = active_;
    active_ = next;
    FocusMayHaveMoved();
    if (previous && !previous->destroyed_) {
        previous->OnActivate(Activation::Inactive);
    }
    if (next) {
        if (!focus_ || focus_->destroyed_ || focus_ == previous) {
            focus_ = next;
        }
        next->OnActivate(Activation::Active);
    }
}

void DeviceScreen::WindowDestroyed(Window& window) {
    // Children go first, as they do when their parent is destroyed. Each one leaves windows_
    // as it goes, so they are gathered before any is destroyed.
    std::vector<Window*> children;
    for (const auto& other : windows_) {
        if (other && other->parent_ == &window && !other->destroyed_) {
            children.push_back(other.get());
        }
    }
    for (Window* child : children) {
        child->Destroy();
    }
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.window == &window) {
            delete it->second.timer;
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    menuBars_.erase(&window);
    okButtons_.erase(std::remove(okButtons_.begin(), okButtons_.end(), &window), okButtons_.end());
    live_->erase(window.serial_);
    window.visible_ = false;
    stack_.erase(std::remove(stack_.begin(), stack_.end(), &window), stack_.end());
    if (focus_ == &window) {
        focus_ = nullptr;
        FocusMayHaveMoved();
    }
    if (capture_ == &window) {
        capture_ = nullptr;
    }
    if (active_ == &window) {
        active_ = nullptr;
        ActivateTopmost();
    }
    auto owned = std::find_if(windows_.begin(), windows_.end(),
                              [&](const auto& held) { return held.get() == &window; });
    if (owned != windows_.end()) {
        destroyed_.push_back(std::move(*owned));
        windows_.erase(owned);
    }
    // The object itself goes once the message that destroyed it has been handled.
    QTimer::singleShot(0, this, [this] { CollectGarbage(); });
    PlaceScreenWidgets();
    update();
}

void DeviceScreen::CollectGarbage() {
    destroyed_.clear();
}

MenuBar* DeviceScreen::CreateMenuBar(Window& owner, std::vector<MenuBarButton> buttons) {
    auto bar = std::make_unique<MenuBar>(std::move(buttons));
    MenuBar* raw = bar.get();
    menuBars_[&owner] = std::move(bar);
    update();
    return raw;
}

MenuBar* DeviceScreen::MenuBarOf(const Window& owner) const {
    auto found = menuBars_.find(&owner);
    return found == menuBars_.end() ? nullptr : found->second.get();
}

void DeviceScreen::ShowOkButton(Window& window) {
    if (std::find(okButtons_.begin(), okButtons_.end(), &window) == okButtons_.end()) {
        okButtons_.push_back(&window);
    }
    update();
}

Window* DeviceScreen::OkButtonTarget() const {
    // The newest window that asked for the button within the active window: a pop-up child
    // (the summary) is closed by it while it is up, the window itself afterwards.
    for (auto it = okButtons_.rbegin(); it != okButtons_.rend(); ++it) {
        const Window* topLevel = *it;
        while (topLevel->Parent()) {
            topLevel = topLevel->Parent();
        }
        if (active_ && topLevel == active_ && (*it)->IsVisible()) {
            return *it;
        }
    }
    return nullptr;
}

QAction* DeviceScreen::ExecMenu(QMenu& menu, QPoint anchor, PopupOpening opening) {
    menu.setFont(BarFont(zoom_));
    menu.setStyleSheet(MenuStyleSheet(zoom_));
    menu.ensurePolished();
    const QSize hint = menu.sizeHint();
    const Rect placed = PlacePopup({hint.width(), hint.height()}, {anchor.x(), anchor.y()},
                                   {0, 0, Width() * zoom_, Height() * zoom_}, opening);
    return menu.exec(mapToGlobal(QPoint(placed.left, placed.top)));
}

uint16_t DeviceScreen::TrackPopupMenu(const PopupMenu& menu, Point screenPoint,
                                      PopupOpening opening) {
    if (responder_) {
        return responder_->ChoosePopupCommand(menu, screenPoint);
    }
    QMenu popup(this);
    for (const MenuItem& item : menu.Items()) {
        if (item.separator) {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(QString::fromStdU16String(item.text));
        action->setEnabled(item.enabled);
        action->setData(item.command);
    }
    QAction* chosen =
        ExecMenu(popup, QPoint(screenPoint.x * zoom_, screenPoint.y * zoom_), opening);
    return chosen ? static_cast<uint16_t>(chosen->data().toUInt()) : uint16_t{0};
}

MessageBoxAnswer DeviceScreen::ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                                              MessageBoxButtons buttons) {
    // In a dialog of the screen's own over the window in front, so that the question is drawn
    // at the screen's zoom inside its frame, as the program's other dialogs are.
    return RunMessageBox(*this, active_, text, caption, buttons);
}

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

void DeviceScreen::ShowInputPanel() {
    inputPanelShown_ = true;
    if (HandwritingPanelInUse()) {
        PlaceInputPanel();
    } else {
        QGuiApplication::inputMethod()->show();
    }
}

void DeviceScreen::HideInputPanel() {
    inputPanelShown_ = false;
    PlaceInputPanel();
    QGuiApplication::inputMethod()->hide();
}

void DeviceScreen::PressInputPanelButton() {
    if (inputPanelShown_) {
        HideInputPanel();
    } else {
        ShowInputPanel();
    }
    inputPanelWanted_ = inputPanelShown_;
    update();
    if (viewChanged_) {
        viewChanged_();
    }
}

bool DeviceScreen::ActiveWindowTakesText() const {
    if (active_ == nullptr || active_->destroyed_) {
        return false;
    }
    for (const auto& window : windows_) {
        if (window->destroyed_ || window->ScreenWidget() == nullptr) {
            continue;
        }
        const Window* top = window.get();
        while (top->parent_ != nullptr) {
            top = top->parent_;
        }
        if (top == active_ && TextWidgetOf(window->ScreenWidget()) != nullptr) {
            return true;
        }
    }
    return false;
}

void DeviceScreen::InstallHandwritingPanel(
    std::unique_ptr<handwriting::CharacterRecognizer> recognizer) {
    delete panel_;
    panel_ = new InputPanel(*this, std::move(recognizer));
    panel_->hide();
    PlaceInputPanel();
}

void DeviceScreen::SetHandwritingPanelOn(bool on) {
    if (panelOn_ == on) {
        return;
    }
    panelOn_ = on;
    PlaceInputPanel();
    if (viewChanged_) {
        viewChanged_();
    }
}

bool DeviceScreen::IsHandwritingPanelShown() const {
    return HandwritingPanelInUse() && inputPanelShown_;
}

void DeviceScreen::PlaceInputPanel() {
    if (panel_ == nullptr) {
        return;
    }
    if (!IsHandwritingPanelShown()) {
        if (!panel_->isHidden()) {
            // What was written is not lost with the panel: it goes to its field first.
            panel_->CommitPending();
            panel_->Reset();
            panel_->hide();
            panelCapture_ = false;
            update();
        }
        return;
    }
    const Rect band = InputPanelRect();
    panel_->setGeometry(band.left * zoom_, band.top * zoom_, InputPanel::kWidth * zoom_,
                        InputPanel::kHeight * zoom_);
    // Above the program's control widgets, which it covers while it is up.
    panel_->raise();
    panel_->show();
    panel_->update();
    update();
}

QWidget* DeviceScreen::TextFieldWithKeyboard() const {
    if (focus_ == nullptr || focus_->destroyed_ || !focus_->visible_) {
        return nullptr;
    }
    const Window* top = focus_;
    while (top->parent_ != nullptr) {
        top = top->parent_;
    }
    if (top != active_ || focus_->ScreenWidget() == nullptr) {
        return nullptr;
    }
    return TextWidgetOf(focus_->ScreenWidget());
}

Window* DeviceScreen::WindowOfWidget(const QObject* object) const {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    const auto* widget = static_cast<const QWidget*>(object);
    for (const auto& window : windows_) {
        QWidget* own = window->destroyed_ ? nullptr : window->ScreenWidget();
        if (own != nullptr && (own == widget || own->isAncestorOf(widget))) {
            return window.get();
        }
    }
    return nullptr;
}

void DeviceScreen::FocusMayHaveMoved() {
    if (IsHandwritingPanelShown()) {
        panel_->update();  // 改行 follows the field
    }
}

Rect DeviceScreen::InputPanelRect() const {
    const Rect work = WorkArea();
    return {0, work.bottom - kInputPanelHeight, Width(), work.bottom};
}

void DeviceScreen::Post(std::function<void()> work) {
    ++postedWaiting_;
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)] {
            --postedWaiting_;
            work();
        },
        Qt::QueuedConnection);
}

void DeviceScreen::SchedulePaint() {
    if (paintScheduled_) {
        return;
    }
    paintScheduled_ = true;
    // Painting waits behind whatever is already queued, as the paint message does.
    Post([this] { PaintPending(); });
}

void DeviceScreen::PaintPending() {
    paintScheduled_ = false;
    // Bottom to top, parents before their children, so a window paints over what lies under it.
    std::vector<Window*> order;
    for (Window* top : stack_) {
        order.push_back(top);
    }
    for (const auto& window : windows_) {
        if (window->parent_) {
            order.push_back(window.get());
        }
    }
    for (Window* window : order) {
        if (!window->destroyed_ && window->visible_ && !window->invalid_.IsEmpty()) {
            window->PaintInvalid();
        }
    }
    update();
}

void DeviceScreen::ProcessPending() {
    // Until nothing a window posted is waiting, as the message loop runs dry between two inputs;
    // a few rounds more let the desktop's own deferred work (deletions, zero timers) happen too.
    // Bounded, so that windows that keep posting to each other cannot hang a test.
    int quietRounds = 0;
    for (int round = 0; round < kMaxProcessRounds && quietRounds < kQuietRounds; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        quietRounds = postedWaiting_ == 0 ? quietRounds + 1 : 0;
    }
}

void DeviceScreen::StartTimer(Window& window, int id, int milliseconds) {
    StartTimerEntry({&window, id}, milliseconds, [target = &window, id, alive = IsAlive(&window)] {
        if (alive()) {
            target->OnTimer(id);
        }
    });
}

void DeviceScreen::StartPanelTimer(int milliseconds) {
    StartTimerEntry({nullptr, kPanelTimerId}, milliseconds, [this] {
        StopPanelTimer();
        if (panel_ != nullptr) {
            panel_->CommitPending();
        }
    });
}

void DeviceScreen::StopPanelTimer() {
    auto found = timers_.find({nullptr, kPanelTimerId});
    if (found != timers_.end()) {
        delete found->second.timer;
        timers_.erase(found);
    }
}

void DeviceScreen::StartTimerEntry(TimerKey key, int milliseconds, std::function<void()> fire) {
    if (auto found = timers_.find(key); found != timers_.end()) {
        delete found->second.timer;
        timers_.erase(found);
    }
    if (manualTimers_) {
        timers_[key] =
            TimerEntry{nullptr, std::move(fire), milliseconds, manualNow_ + milliseconds};
        return;
    }
    auto* timer = new QTimer(this);
    timer->setInterval(milliseconds);
    QObject::connect(timer, &QTimer::timeout, this, fire);
    timers_[key] = TimerEntry{timer, std::move(fire), milliseconds, 0};
    timer->start();
}

void DeviceScreen::AdvanceTimers(int milliseconds) {
    const int64_t until = manualNow_ + milliseconds;
    for (;;) {
        // Looked up afresh each time: a handler may start, kill or destroy timers.
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.timer == nullptr && it->second.due <= until &&
                (next == timers_.end() || it->second.due < next->second.due)) {
                next = it;
            }
        }
        if (next == timers_.end()) {
            break;
        }
        manualNow_ = next->second.due;
        next->second.due += std::max(next->second.interval, 1);
        // A copy: the handler may end its own timer.
        const std::function<void()> fire = next->second.fire;
        fire();
    }
    manualNow_ = until;
}

void DeviceScreen::StopTimer(const Window& window, int id) {
    auto found = timers_.find({&window, id});
    if (found != timers_.end()) {
        delete found->second.timer;
        timers_.erase(found);
    }
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

bool DeviceScreen::PressOnBars(Point p) {
    if (p.y < kBarHeight) {
        Window* target = OkButtonTarget();
        if (target && p.x >= Width() - kOkButtonWidth) {
            target->PostCommand(kOkCommand);
        }
        return true;
    }
    if (p.y >= Height() - kBarHeight) {
        if (InputPanelButtonRect(Width(), Height()).Contains(p)) {
            PressInputPanelButton();
            return true;
        }
        MenuBar* bar = active_ ? MenuBarOf(*active_) : nullptr;
        if (!bar) {
            return true;
        }
        for (const ButtonSlot& slot : LayOutButtons(*bar)) {
            if (p.x < slot.left || p.x >= slot.right) {
                continue;
            }
            Window* owner = active_;
            if (slot.button->dropDown) {
                // As the shell's, the sub-menu rises from its button over the work area.
                const uint16_t chosen = TrackPopupMenu(
                    slot.button->menu, {slot.left, Height() - kBarHeight}, PopupOpening::Upward);
                if (chosen != 0 && IsAlive(owner)()) {
                    owner->PostCommand(chosen);
                }
            } else {
                owner->PostCommand(slot.button->command);
            }
            break;
        }
        return true;
    }
    return false;
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
    if (panel_ != nullptr) {
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

void DeviceScreen::DrawBars(QPainter& painter, int zoom) const {
    const int width = Width() * zoom;
    const int barHeight = kBarHeight * zoom;
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Navigation bar: the active window's title, and its OK button when it asked for one.
    painter.fillRect(0, 0, width, barHeight, kBarColor);
    painter.setFont(BarFont(zoom));
    painter.setPen(kBarTextColor);
    const QString title = active_ ? QString::fromStdU16String(active_->title_) : QString();
    painter.drawText(QRect(6 * zoom, 0, width - 40 * zoom, barHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, title);
    if (OkButtonTarget()) {
        const QRect ok((Width() - kOkButtonWidth + 3) * zoom, 4 * zoom, (kOkButtonWidth - 6) * zoom,
                       (kBarHeight - 8) * zoom);
        painter.setPen(QPen(kBarTextColor, zoom));
        painter.drawRoundedRect(ok, 3 * zoom, 3 * zoom);
        painter.drawText(ok, Qt::AlignCenter, QStringLiteral("OK"));
    }
    // Menu bar of the active window.
    const int top = (Height() - kBarHeight) * zoom;
    painter.fillRect(0, top, width, barHeight, kMenuBarColor);
    painter.fillRect(0, top, width, zoom, kMenuBarLineColor);
    const MenuBar* bar = active_ ? MenuBarOf(*active_) : nullptr;
    if (!bar) {
        return;
    }
    painter.setPen(kMenuTextColor);
    for (const ButtonSlot& slot : LayOutButtons(*bar)) {
        const QRect area(slot.left * zoom, top, (slot.right - slot.left) * zoom, barHeight);
        QRect textArea = area;
        if (slot.button->dropDown) {
            textArea.setRight(area.right() - 8 * zoom);
            // A small triangle tells a drop-down from a button.
            const int cx = area.right() - 6 * zoom;
            const int cy = top + barHeight / 2 - zoom;
            QPolygon arrow;
            arrow << QPoint(cx - 3 * zoom, cy - 2 * zoom) << QPoint(cx + 3 * zoom, cy - 2 * zoom)
                  << QPoint(cx, cy + 2 * zoom);
            painter.setBrush(kMenuTextColor);
            painter.drawPolygon(arrow);
            painter.setBrush(Qt::NoBrush);
        }
        painter.drawText(textArea, Qt::AlignCenter, QString::fromStdU16String(slot.button->text));
        painter.fillRect(area.right(), top + 5 * zoom, zoom, barHeight - 10 * zoom,
                         kMenuBarLineColor);
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
}

}  // namespace gui

#include "platform/gui/device_screen.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>

#include "platform/gui/input_panel.h"

namespace gui {
namespace {

// ProcessPending: rounds after the last posted message, and the most rounds in all.
constexpr int kQuietRounds = 2;
constexpr int kMaxProcessRounds = 100000;

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

}  // namespace gui

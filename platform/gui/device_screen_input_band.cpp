#include "platform/gui/device_screen.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QTimer>

#include <utility>

#include "platform/gui/input_panel.h"

namespace gui {
namespace {

constexpr int kInputPanelHeight = 80;

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

void DeviceScreen::ShowInputPanel() {
    inputPanelShown_ = true;
    if (panelOn_) {
        LoadHandwritingPanel();
    }
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
    panelLoader_ = nullptr;
    delete panel_;
    panel_ = new InputPanel(*this, std::move(recognizer));
    panel_->hide();
    PlaceInputPanel();
}

void DeviceScreen::InstallHandwritingPanelOnDemand(RecognizerLoader load) {
    delete panel_;
    panel_ = nullptr;
    panelLoader_ = std::move(load);
    if (panelOn_ && inputPanelShown_) {
        LoadHandwritingPanel();
        PlaceInputPanel();
    }
}

void DeviceScreen::LoadHandwritingPanel() {
    if (!panelLoader_) {
        return;
    }
    // Taken out first: a recogniser that could not be had is not asked for at every showing.
    const RecognizerLoader load = std::exchange(panelLoader_, nullptr);
    if (std::unique_ptr<handwriting::CharacterRecognizer> recognizer = load()) {
        InstallHandwritingPanel(std::move(recognizer));
    }
}

void DeviceScreen::SetHandwritingPanelOn(bool on) {
    if (panelOn_ == on) {
        return;
    }
    panelOn_ = on;
    if (on && inputPanelShown_) {
        LoadHandwritingPanel();
    }
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

void DeviceScreen::FocusMayHaveMoved() {
    if (IsHandwritingPanelShown()) {
        panel_->update();  // 改行 follows the field
    }
}

Rect DeviceScreen::InputPanelRect() const {
    const Rect work = WorkArea();
    return {0, work.bottom - kInputPanelHeight, Width(), work.bottom};
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

}  // namespace gui

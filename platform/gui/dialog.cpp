#include "platform/gui/dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QRegion>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <functional>

#include "platform/gui/check_box.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/label.h"
#include "platform/gui/month_calendar.h"
#include "platform/gui/push_button.h"
#include "platform/gui/surface.h"

namespace gui {
namespace {

// Device pixels: as wide as the scroll bars of the other controls.
constexpr int kScrollBarWidth = 13;

// A scroll bar that also takes the mouse wheel turned anywhere over the screen while its dialog
// is the window on top: the wheel is how a desktop scrolls, wherever the pointer rests.
class WheelTakingScrollBar final : public QScrollBar {
public:
    WheelTakingScrollBar(QWidget& screen, std::function<bool()> dialogOnTop)
        : QScrollBar(Qt::Vertical, &screen), dialogOnTop_(std::move(dialogOnTop)) {
        screen.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A wheel the bar cannot follow (at either end) goes on up to the screen: it is not
        // taken a second time.
        if (event->type() != QEvent::Wheel || forwarding_ || isHidden() || !dialogOnTop_()) {
            return QScrollBar::eventFilter(watched, event);
        }
        forwarding_ = true;
        QCoreApplication::sendEvent(this, event);
        forwarding_ = false;
        return true;
    }

private:
    std::function<bool()> dialogOnTop_;
    bool forwarding_ = false;
};

// Where a control lies within its dialog, from their places on the screen.
Rect PlaceIn(const Window& dialog, const Window& control) {
    const Rect outer = dialog.ScreenRect();
    return control.ScreenRect().Offset(-outer.left, -outer.top);
}

Rect Intersection(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

}  // namespace

// The scroll bar of a dialog taller than its window: Qt's own, at the dialog's right edge. The
// pen of a script reaches it through the screen rather than the widget, and is handed on to the
// widget as the mouse, so a tap pages and a stroke drags the thumb as they would by hand.
class DialogScrollBar final : public Control {
public:
    DialogScrollBar(DeviceScreen& screen, Dialog& dialog)
        : Control(screen, u"SCROLLBAR", 0),
          bar_(
              new WheelTakingScrollBar(screen, [&screen, &dialog, alive = screen.IsAlive(&dialog)] {
                  return alive() && screen.ActiveWindow() == &dialog;
              })) {
        bar_->setFocusPolicy(Qt::NoFocus);
        QObject::connect(bar_, &QScrollBar::valueChanged, bar_,
                         [&dialog](int value) { dialog.ScrollTo(value); });
        // The keyboard moving on (Tab) into a control out of sight brings it into view.
        QObject::connect(qApp, &QApplication::focusChanged, bar_,
                         [&dialog, alive = screen.IsAlive(&dialog)](QWidget*, QWidget* now) {
                             if (!alive() || dialog.IsDestroyed() || now == nullptr) {
                                 return;
                             }
                             for (Control* item : dialog.Items()) {
                                 QWidget* widget = item->ScreenWidget();
                                 if (widget && (widget == now || widget->isAncestorOf(now))) {
                                     dialog.ScrollIntoView(*item);
                                     return;
                                 }
                             }
                         });
        Attach(bar_);
    }

    void SetRange(int maximum, int page, int step) {
        const QSignalBlocker quiet(bar_);
        bar_->setRange(0, maximum);
        bar_->setPageStep(page);
        bar_->setSingleStep(step);
    }
    // Shows where the dialog is scrolled to without scrolling it again.
    void ShowValue(int value) {
        const QSignalBlocker quiet(bar_);
        bar_->setValue(value);
    }

    void OnPenDown(Point point) override {
        SendPenAsMouse(*bar_, Screen().Zoom(), QEvent::MouseButtonPress, point);
    }
    void OnPenMove(Point point) override {
        SendPenAsMouse(*bar_, Screen().Zoom(), QEvent::MouseMove, point);
    }
    void OnPenUp(Point point) override {
        SendPenAsMouse(*bar_, Screen().Zoom(), QEvent::MouseButtonRelease, point);
    }

private:
    QScrollBar* bar_;
};

Dialog::Dialog(DeviceScreen& screen, DialogTemplate dialogTemplate, DialogHandler& handler,
               Window* owner)
    : Window(screen, u"Dialog", dialogTemplate.caption, kWhite),
      template_(std::move(dialogTemplate)),
      handler_(handler),
      owner_(owner),
      units_(DialogUnits::ForPointSize(template_.pointSize)) {}

void Dialog::OnCreate() {
    // A pop-up dialog sits in the middle of the work area at its template's size.
    const Rect work = Screen().WorkArea();
    const int width = std::min(units_.ToPixelsX(template_.width), work.Width());
    const int height = std::min(units_.ToPixelsY(template_.height), work.Height());
    Move(work.left + (work.Width() - width) / 2, work.top + (work.Height() - height) / 2, width,
         height, false);
    for (const DialogItem& item : template_.items) {
        CreateItem(item);
    }
    UpdateScrolling();
}

void Dialog::CreateItem(const DialogItem& item) {
    const Rect rect = units_.ToPixels(item.x, item.y, item.width, item.height);
    DeviceScreen& screen = Screen();
    Control* control = nullptr;
    switch (item.kind) {
        case DialogItemKind::Static:
        case DialogItemKind::Icon: {
            const LabelAlign align = (item.style & kItemCenter) != 0  ? LabelAlign::Center
                                     : (item.style & kItemRight) != 0 ? LabelAlign::Right
                                                                      : LabelAlign::Left;
            auto* label = screen.CreateChild<Label>(*this, rect, item.id, item.text, align,
                                                    (item.style & kItemBorder) != 0);
            if (item.kind == DialogItemKind::Icon) {
                label->SetImage(item.image);
            }
            control = label;
            break;
        }
        case DialogItemKind::PushButton:
        case DialogItemKind::DefaultPushButton:
            control = screen.CreateChild<PushButton>(
                *this, rect, item.id, item.text, item.kind == DialogItemKind::DefaultPushButton);
            break;
        case DialogItemKind::CheckBox:
            control = screen.CreateChild<CheckBox>(*this, rect, item.id, item.text);
            break;
        case DialogItemKind::RadioButton:
            control = screen.CreateChild<RadioButton>(*this, rect, item.id, item.text);
            break;
        case DialogItemKind::Edit: {
            EditStyle style;
            style.multiLine = (item.style & kItemMultiLine) != 0;
            style.verticalScrollBar = (item.style & kItemVScroll) != 0;
            style.border = (item.style & kItemBorder) != 0;
            auto* edit = screen.CreateChild<EditBox>(*this, rect, item.id, style);
            edit->SetText(item.text);
            control = edit;
            break;
        }
        case DialogItemKind::ComboBox:
            control = screen.CreateChild<ComboBox>(*this, rect, item.id);
            break;
        case DialogItemKind::MonthCalendar:
            control = screen.CreateChild<MonthCalendar>(*this, rect, item.id);
            break;
    }
    control->SetFontPixelSize(units_.FontPixels());
    if ((item.style & kItemDisabled) != 0) {
        control->Enable(false);
    }
    items_.push_back(control);
}

Control* Dialog::Item(uint16_t id) const {
    for (Control* control : items_) {
        if (control->Id() == id) {
            return control;
        }
    }
    return nullptr;
}

void Dialog::SetItemText(uint16_t id, std::u16string_view text) {
    if (Control* control = Item(id)) {
        control->SetText(text);
    }
}

std::u16string Dialog::ItemText(uint16_t id) const {
    const Control* control = Item(id);
    return control ? control->Text() : std::u16string();
}

void Dialog::CheckItem(uint16_t id, bool checked) {
    if (auto* box = ItemAs<CheckBox>(id)) {
        box->SetChecked(checked);
        if (checked && dynamic_cast<RadioButton*>(box) != nullptr) {
            ClearOtherRadioButtons(id);
        }
    }
}

void Dialog::ClearOtherRadioButtons(uint16_t id) {
    for (Control* control : items_) {
        if (auto* radio = dynamic_cast<RadioButton*>(control); radio && radio->Id() != id) {
            radio->SetChecked(false);
        }
    }
}

bool Dialog::IsItemChecked(uint16_t id) const {
    const auto* box = ItemAs<CheckBox>(id);
    return box && box->IsChecked();
}

void Dialog::End(int result) {
    if (outcome_->ended) {
        return;
    }
    outcome_->ended = true;
    outcome_->result = result;
    if (outcome_->loop) {
        outcome_->loop->quit();
    }
}

void Dialog::MakeFullScreen() {
    const Rect work = Screen().WorkArea();
    Move(work.left, work.top, work.Width(), work.Height(), true);
    fullScreen_ = true;
    UpdateScrolling();
}

int Dialog::MaxScrollOffset() const {
    // The template's height is all there is to see: a combo box's rectangle reaches further,
    // but only to make room for its dropped list.
    return std::max(0, units_.ToPixelsY(template_.height) - ClientRect().Height());
}

Rect Dialog::ViewRect() const {
    Rect view = ClientRect();
    if (scrollBar_ && scrollBar_->IsVisible()) {
        view.right = std::max(view.left, view.right - kScrollBarWidth);
    }
    return view;
}

void Dialog::UpdateScrolling() {
    const Rect client = ClientRect();
    if (IsScrollable()) {
        const Rect barRect{client.right - kScrollBarWidth, 0, client.right, client.bottom};
        if (!scrollBar_) {
            scrollBar_ = Screen().CreateChild<DialogScrollBar>(*this, barRect, *this);
        }
        scrollBar_->Move(barRect.left, barRect.top, barRect.Width(), barRect.Height(), false);
        // A page is the window's height; a step one line of the dialog's font.
        scrollBar_->SetRange(MaxScrollOffset(), client.Height(), units_.BaseY());
        scrollBar_->Show();
    } else if (scrollBar_) {
        scrollBar_->Hide();
    }
    ScrollTo(scrollOffset_);
    ClipItemsToView();
}

void Dialog::ScrollTo(int offset) {
    const int clamped = std::clamp(offset, 0, MaxScrollOffset());
    if (scrollBar_) {
        scrollBar_->ShowValue(clamped);
    }
    const int delta = clamped - scrollOffset_;
    if (delta == 0) {
        return;
    }
    scrollOffset_ = clamped;
    for (Control* item : items_) {
        const Rect place = PlaceIn(*this, *item);
        item->Move(place.left, place.top - delta, place.Width(), place.Height(), false);
    }
    ClipItemsToView();
}

void Dialog::ScrollIntoView(const Control& control) {
    const Rect place = PlaceIn(*this, control);
    const int viewHeight = ViewRect().Height();
    if (place.top < 0) {
        ScrollTo(scrollOffset_ + place.top);
    } else if (place.bottom > viewHeight) {
        ScrollTo(scrollOffset_ + std::min(place.bottom - viewHeight, place.top));
    }
}

void Dialog::ClipItemsToView() {
    const Rect outer = ScreenRect();
    const Rect view = ViewRect().Offset(outer.left, outer.top);
    const int zoom = Screen().Zoom();
    for (Control* item : items_) {
        QWidget* widget = item->ScreenWidget();
        const Rect rect = item->ScreenRect();
        if (!widget || item->IsDestroyed() || rect.IsEmpty()) {
            continue;
        }
        const Rect inside = Intersection(rect, view);
        if (inside == rect) {
            if (!widget->mask().isEmpty()) {
                widget->clearMask();
            }
            continue;
        }
        // An empty mask would mean no mask at all: a control wholly out of sight is given one
        // that misses it.
        const QRegion visible =
            inside.IsEmpty()
                ? QRegion(-1, -1, 1, 1)
                : QRegion((inside.left - rect.left) * zoom, (inside.top - rect.top) * zoom,
                          inside.Width() * zoom, inside.Height() * zoom);
        if (widget->mask() != visible) {
            widget->setMask(visible);
        }
    }
}

void Dialog::OnSettingChange() {
    UpdateScrolling();
    handler_.OnSettingChange(*this);
}

void Dialog::PlaceScreenWidget() {
    // The controls are placed after their dialog, at the places this cuts them to.
    ClipItemsToView();
}

void Dialog::OnDestroy() {
    // A dialog destroyed from outside still lets its modal run return.
    if (!outcome_->ended) {
        outcome_->ended = true;
        if (outcome_->loop) {
            outcome_->loop->quit();
        }
    }
}

void Dialog::OnPaint(Surface& surface) {
    if (fullScreen_) {
        return;
    }
    // A pop-up dialog is framed so that it stands off the window under it.
    surface.SelectBrush(Brush::Null());
    const Rect client = ClientRect();
    surface.Rectangle(client.left, client.top, client.right, client.bottom);
}

uint16_t Dialog::DefaultCommand() const {
    for (const DialogItem& item : template_.items) {
        if (item.kind == DialogItemKind::DefaultPushButton) {
            return item.id;
        }
    }
    return kOkCommand;
}

void Dialog::OnKeyDown(Key key) {
    if (key == Key::Return) {
        // Return presses the button that has the keyboard, else the one the field with the
        // keyboard belongs with, else the default one: a user who moved on to いいえ is not
        // answered はい.
        const auto* focused = dynamic_cast<const Control*>(Screen().FocusWindow());
        uint16_t command = DefaultCommand();
        if (focused != nullptr && focused->Parent() == this) {
            if (dynamic_cast<const PushButton*>(focused) != nullptr) {
                command = focused->Id();
            } else if (const uint16_t own = handler_.ReturnCommand(*this, *focused); own != 0) {
                command = own;
            }
        }
        SendCommand(command);
    } else if (key == Key::Escape) {
        SendCommand(kCancelCommand);
    }
}

bool Dialog::OnCommand(uint16_t command) {
    if (const auto* radio = ItemAs<RadioButton>(command); radio && radio->IsChecked()) {
        ClearOtherRadioButtons(command);
    }
    return handler_.OnCommand(*this, command);
}

void Dialog::OnControlNotify(Control& control, ControlNotification code) {
    handler_.OnControlNotify(*this, control, code);
}

}  // namespace gui

#include "platform/gui/dialog.h"

#include <QEventLoop>

#include <algorithm>

#include "platform/gui/check_box.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/label.h"
#include "platform/gui/month_calendar.h"
#include "platform/gui/push_button.h"
#include "platform/gui/surface.h"

namespace gui {

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
        SendCommand(DefaultCommand());
    } else if (key == Key::Escape) {
        SendCommand(kCancelCommand);
    }
}

bool Dialog::OnCommand(uint16_t command) {
    return handler_.OnCommand(*this, command);
}

void Dialog::OnControlNotify(Control& control, ControlNotification code) {
    handler_.OnControlNotify(*this, control, code);
}

}  // namespace gui

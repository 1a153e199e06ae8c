#include "platform/gui/push_button.h"

#include "platform/gui/device_screen.h"

namespace gui {

PushButton::PushButton(DeviceScreen& screen, uint16_t id, std::u16string text, bool isDefault)
    : Control(screen, u"BUTTON", id), button_(new QPushButton(&screen)) {
    button_->setAutoDefault(false);
    button_->setDefault(isDefault);
    button_->setText(ToQString(text));
    QObject::connect(button_, &QPushButton::clicked, button_, [this] { CommandParent(); });
    Attach(button_);
}

void PushButton::SetText(std::u16string_view text) {
    button_->setText(ToQString(text));
}

std::u16string PushButton::Text() const {
    return button_->text().toStdU16String();
}

void PushButton::Click() {
    if (IsEnabled() && IsVisible()) {
        button_->click();
    }
}

}  // namespace gui

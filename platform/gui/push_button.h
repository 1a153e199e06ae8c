#pragma once

#include <QPushButton>

#include <cstdint>
#include <string>

#include "platform/gui/control.h"

namespace gui {

// A push button: a tap sends its id to the parent as a command. The default button (the one
// Return presses in a dialog) has a thicker border.
class PushButton : public Control {
public:
    PushButton(DeviceScreen& screen, uint16_t id, std::u16string text, bool isDefault = false);

    void SetText(std::u16string_view text) override;
    std::u16string Text() const override;
    bool IsDefault() const { return button_->isDefault(); }
    // Presses the button as a tap would; nothing happens while it is disabled or hidden.
    void Click();

protected:
    void OnTapped() override { Click(); }

private:
    QPushButton* button_;
};

}  // namespace gui

#pragma once

#include <QCheckBox>

#include <cstdint>
#include <string>

#include "platform/gui/control.h"

namespace gui {

// An automatic check box: a tap toggles it and then sends its id to the parent as a command,
// so the parent reads the new state. The box sits at the left, the text after it.
class CheckBox : public Control {
public:
    CheckBox(DeviceScreen& screen, uint16_t id, std::u16string text);

    void SetText(std::u16string_view text) override;
    std::u16string Text() const override;
    void SetChecked(bool checked);
    bool IsChecked() const;
    // Toggles the box as a tap would; nothing happens while it is disabled or hidden.
    void Click();

protected:
    void OnTapped() override { Click(); }
    void ApplyZoom(int zoom) override;

private:
    QCheckBox* box_;
};

}  // namespace gui

#pragma once

#include <QCheckBox>

#include <cstdint>
#include <string>
#include <utility>

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
    // `round`: drawn as a radio button, which a tap sets and never clears.
    CheckBox(DeviceScreen& screen, uint16_t id, std::u16string text, bool round);
    void OnTapped() override { Click(); }
    void ApplyZoom(int zoom) override;

private:
    QCheckBox* box_;
};

// A radio button of a dialog: a tap sets it and sends its id to the parent; the dialog then clears
// the other radio buttons it holds (one group a dialog).
class RadioButton final : public CheckBox {
public:
    RadioButton(DeviceScreen& screen, uint16_t id, std::u16string text)
        : CheckBox(screen, id, std::move(text), true) {}
};

}  // namespace gui

#pragma once

#include <QComboBox>

#include <cstdint>
#include <string>

#include "platform/gui/control.h"
#include "platform/gui/typed_text_limit.h"

namespace gui {

// An editable drop-down combo box: a text field with a list of entries under it. The height it
// is created with includes the dropped list, as on the handheld; the control itself is as tall
// as its field. Picking an entry puts its text into the field and notifies SelectionChanged;
// typing notifies EditChanged. Entries stay in the order they were added.
class ComboBox : public Control {
public:
    ComboBox(DeviceScreen& screen, uint16_t id);

    void SetText(std::u16string_view text) override;
    std::u16string Text() const override;
    void AddItem(std::u16string_view text);
    // Empties the list and the field.
    void ClearItems();
    int ItemCount() const;
    std::u16string ItemText(int index) const;
    // The entry last picked or selected, -1 for none.
    int Selection() const;
    // Selects an entry and shows its text in the field; -1 selects none and empties it.
    void Select(int index);
    // The most UTF-16 units typing may bring the field's text to; a longer text set by the
    // program is kept whole.
    void LimitText(int units);
    // The field's height in device pixels for the current font.
    int FieldHeight() const;

    void OnCreate() override;

protected:
    QString StyleSheet(int zoom) const override;
    void ApplyZoom(int zoom) override;

private:
    void FitField();

    QComboBox* combo_;
    TypedTextLimit typedLimit_;
    int listExtent_ = 0;  // the created height: field and dropped list together
};

}  // namespace gui

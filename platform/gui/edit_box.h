#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

#include <cstdint>
#include <string>

#include "platform/gui/control.h"
#include "platform/gui/typed_text_limit.h"

namespace gui {

// How an edit box is made.
struct EditStyle {
    bool multiLine = false;
    bool verticalScrollBar = false;  // multi-line only
    bool border = true;
};

// An edit field: one line that scrolls sideways, or several lines that wrap and scroll down.
// A multi-line field hands its text over with CR LF line breaks, as the handheld's does, and
// takes either CR LF or LF. Typing notifies EditChanged.
class EditBox : public Control {
public:
    EditBox(DeviceScreen& screen, uint16_t id, EditStyle style = {});

    void SetText(std::u16string_view text) override;
    std::u16string Text() const override;
    // The most UTF-16 units (a line break counting two) typing may bring the text to; a longer
    // text set by the program is kept whole.
    void LimitText(int units);
    bool IsMultiLine() const { return lines_ != nullptr; }
    // A one-line field whose text is shown as dots (a password), with a grey hint while it is
    // empty.
    void HideTypedText(std::u16string_view emptyHint);

protected:
    QString StyleSheet(int zoom) const override;

private:
    void KeepWithinLimit();

    QLineEdit* line_ = nullptr;
    QPlainTextEdit* lines_ = nullptr;
    bool border_;
    int limit_ = 0;              // 0: none
    TypedTextLimit typedLimit_;  // a one-line field's
    int acceptedUnits_ = 0;      // a multi-line field's units before the edit
};

}  // namespace gui

#include "platform/gui/message_box.h"

#include <QFontMetrics>
#include <QRect>
#include <QString>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gui/control_look.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/dialog.h"
#include "platform/gui/dialog_units.h"
#include "platform/gui/modal_dialog.h"

namespace gui {
namespace {

// The layout in dialog units of the dialogs' "System" 9: a little wider than the settings
// dialog and still inside the upright screen, with the templates' usual 7-unit margins.
constexpr int kBoxPointSize = 9;
constexpr int kBoxWidth = 133;
constexpr int kBoxMargin = 7;
constexpr int kTextWidth = kBoxWidth - 2 * kBoxMargin;
// Between the text and the buttons, and the buttons' own size: room for "キャンセル" at the
// font's full-width characters, border included.
constexpr int kTextToButtons = 6;
constexpr int kButtonWidth = 39;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 2;

struct BoxButton {
    uint16_t id;
    std::u16string_view text;
};

std::vector<BoxButton> ButtonsOf(MessageBoxButtons buttons) {
    switch (buttons) {
        case MessageBoxButtons::YesNo:
            return {{kMessageBoxYes, u"はい"}, {kMessageBoxNo, u"いいえ"}};
        case MessageBoxButtons::YesNoCancel:
            return {{kMessageBoxYes, u"はい"},
                    {kMessageBoxNo, u"いいえ"},
                    {kCancelCommand, u"キャンセル"}};
        case MessageBoxButtons::Ok:
            break;
    }
    return {{kOkCommand, u"OK"}};
}

// The height in device pixels the text takes wrapped to `width` device pixels, drawn as the
// text control draws it at that zoom.
int WrappedTextHeight(std::u16string_view text, int fontPixels, int width, int zoom) {
    const QFontMetrics metrics(ControlFont(fontPixels, zoom));
    const QString qtext = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, width * zoom, metrics.height()),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, qtext);
    // Whole device pixels, rounded up; at least one line, for an empty text too.
    const int lines = std::max(bounds.height(), metrics.height());
    return (lines + zoom - 1) / zoom;
}

class MessageBoxHandler final : public DialogHandler {
public:
    explicit MessageBoxHandler(MessageBoxButtons buttons) : buttons_(buttons) {}

    bool OnCommand(Dialog& dialog, uint16_t command) override {
        // Every command closes the box: a button with its own answer, the rest as dismissed.
        dialog.End(static_cast<int>(MessageBoxAnswerOf(buttons_, command)));
        return true;
    }

private:
    MessageBoxButtons buttons_;
};

}  // namespace

DialogTemplate MessageBoxTemplate(std::u16string_view text, std::u16string_view caption,
                                  MessageBoxButtons buttons, int zoom) {
    const DialogUnits units = DialogUnits::ForPointSize(kBoxPointSize);
    const int textPixelsWide = units.ToPixelsX(kTextWidth);
    int textPixelsHigh = 0;
    for (const int measuredAt : {1, 2, std::max(zoom, 1)}) {
        textPixelsHigh = std::max(textPixelsHigh, WrappedTextHeight(text, units.FontPixels(),
                                                                    textPixelsWide, measuredAt));
    }
    // In whole units that hold at least those pixels.
    const int textHigh = (textPixelsHigh * 8 + units.BaseY() - 1) / units.BaseY();

    DialogTemplate box;
    box.caption = std::u16string(caption);
    box.fontFace = u"System";
    box.pointSize = kBoxPointSize;
    box.width = kBoxWidth;
    const int buttonsTop = kBoxMargin + textHigh + kTextToButtons;
    box.height = buttonsTop + kButtonHeight + kBoxMargin;
    box.items.push_back({DialogItemKind::Static,
                         kMessageBoxText,
                         kBoxMargin,
                         kBoxMargin,
                         kTextWidth,
                         textHigh,
                         std::u16string(text),
                         0,
                         {}});
    // The buttons side by side, centred under the text; the first is the default.
    const std::vector<BoxButton> row = ButtonsOf(buttons);
    const int count = static_cast<int>(row.size());
    const int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
    int left = (kBoxWidth - rowWidth) / 2;
    for (const BoxButton& button : row) {
        const DialogItemKind kind = &button == &row.front() ? DialogItemKind::DefaultPushButton
                                                            : DialogItemKind::PushButton;
        box.items.push_back({kind,
                             button.id,
                             left,
                             buttonsTop,
                             kButtonWidth,
                             kButtonHeight,
                             std::u16string(button.text),
                             kItemTabStop,
                             {}});
        left += kButtonWidth + kButtonGap;
    }
    return box;
}

MessageBoxAnswer MessageBoxAnswerOf(MessageBoxButtons buttons, uint16_t command) {
    for (const BoxButton& button : ButtonsOf(buttons)) {
        if (button.id == command) {
            return static_cast<MessageBoxAnswer>(command);
        }
    }
    return DismissedAnswer(buttons);
}

MessageBoxAnswer RunMessageBox(DeviceScreen& screen, Window* owner, std::u16string_view text,
                               std::u16string_view caption, MessageBoxButtons buttons) {
    // Without a caption of its own the box goes under the title of the window it is asked over.
    const std::u16string_view title =
        caption.empty() && owner != nullptr ? std::u16string_view(owner->Title()) : caption;
    MessageBoxHandler handler(buttons);
    const int result = RunModalDialogAnswered(
        screen, owner, MessageBoxTemplate(text, title, buttons, screen.Zoom()), handler,
        [&](ModalResponder& responder, Dialog& box) {
            responder.MessageBoxShown(box);
            return static_cast<uint16_t>(responder.AnswerMessageBox(text, caption, buttons));
        });
    return result == kDialogNotEnded ? DismissedAnswer(buttons)
                                     : static_cast<MessageBoxAnswer>(result);
}

}  // namespace gui

#include "platform/gui/message_box.h"

#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

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

// The zooms a box's text is fitted at: the device's own pixels, the double size the screen is
// mostly seen at, and its zoom now.
std::vector<int> FittingZooms(int zoom) {
    return {1, 2, std::max(zoom, 1)};
}

// Whether every line of the text is at most `width` device pixels wide at each of the zooms.
bool LinesFit(const QString& text, int fontPixels, int width, const std::vector<int>& zooms) {
    for (const int zoom : zooms) {
        const QFontMetrics metrics(ControlFont(fontPixels, zoom));
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            if (metrics.horizontalAdvance(line) > width * zoom) {
                return false;
            }
        }
    }
    return true;
}

// The text laid out in lines of at most `width` device pixels, broken at word boundaries where
// it can and inside a word longer than a line (a file's path) where it must.
QString LaidOutInLines(const QString& text, int fontPixels, int width) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, ControlFont(fontPixels, 1));
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            // The blank a line was broken at goes with the break.
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (part.endsWith(QLatin1Char(' '))) {
                part.chop(1);
            }
            lines.push_back(part);
        }
        layout.endLayout();
        if (paragraph.isEmpty()) {
            lines.push_back(QString());
        }
    }
    return lines.join(QLatin1Char('\n'));
}

// The text with its line breaks put in, so that the box shows it as laid out whatever its
// zoom: laid out a pixel narrower at a time until every line fits at each zoom (glyphs do not
// grow exactly with the zoom), down to half the width at most.
std::u16string BrokenIntoLines(std::u16string_view text, int fontPixels, int width,
                               const std::vector<int>& zooms) {
    const QString whole = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    QString broken = whole;
    for (int room = width; room > width / 2; --room) {
        broken = LaidOutInLines(whole, fontPixels, room);
        if (LinesFit(broken, fontPixels, width, zooms)) {
            break;
        }
    }
    return broken.toStdU16String();
}

// The height in device pixels the lines take, drawn as the text control draws them at that
// zoom.
int LinesHeight(std::u16string_view lines, int fontPixels, int width, int zoom) {
    const QFontMetrics metrics(ControlFont(fontPixels, zoom));
    const QString qtext = QString::fromUtf16(lines.data(), static_cast<qsizetype>(lines.size()));
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, width * zoom, metrics.height()),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, qtext);
    // Whole device pixels, rounded up; at least one line, for an empty text too.
    const int height = std::max(bounds.height(), metrics.height());
    return (height + zoom - 1) / zoom;
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
    const std::vector<int> zooms = FittingZooms(zoom);
    const std::u16string lines = BrokenIntoLines(text, units.FontPixels(), textPixelsWide, zooms);
    int textPixelsHigh = 0;
    for (const int measuredAt : zooms) {
        textPixelsHigh = std::max(
            textPixelsHigh, LinesHeight(lines, units.FontPixels(), textPixelsWide, measuredAt));
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
                         lines,
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

#include "platform/gui/label.h"

#include <QFontMetrics>
#include <QPixmap>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

Qt::Alignment ToQtAlignment(LabelAlign align) {
    switch (align) {
        case LabelAlign::Center:
            return Qt::AlignHCenter | Qt::AlignTop;
        case LabelAlign::Right:
            return Qt::AlignRight | Qt::AlignTop;
        case LabelAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QString CssColor(ColorRef color) {
    return ToQColor(color).name(QColor::HexRgb);
}

}  // namespace

Label::Label(DeviceScreen& screen, uint16_t id, std::u16string text, LabelAlign align, bool border)
    : Control(screen, u"STATIC", id), label_(new QLabel(&screen)), border_(border) {
    label_->setAlignment(ToQtAlignment(align));
    // A bordered label would otherwise be indented by half a letter from its aligned edges.
    label_->setIndent(0);
    label_->setTextFormat(Qt::PlainText);
    Attach(label_);
    Label::SetText(text);
}

void Label::SetText(std::u16string_view text) {
    Control::SetText(text);
    if (image_.isNull()) {
        label_->setText(ToQString(text));
    }
}

std::u16string Label::Text() const {
    return Control::Text();
}

void Label::SetColors(ColorRef text, ColorRef background) {
    textColor_ = text;
    background_ = background;
    Restyle();
}

void Label::SetImage(const QImage& image) {
    image_ = image;
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Restyle();
}

QString Label::StyleSheet(int zoom) const {
    QString sheet = Control::StyleSheet(zoom);
    QString own;
    if (textColor_) {
        own += QStringLiteral("color: %1;").arg(CssColor(*textColor_));
    }
    if (background_) {
        own += QStringLiteral("background: %1;").arg(CssColor(*background_));
    }
    if (border_) {
        own += QStringLiteral("border: %1px solid black;").arg(zoom);
    }
    if (!own.isEmpty()) {
        sheet += QStringLiteral("QLabel { %1 }").arg(own);
    }
    return sheet;
}

void Label::ApplyZoom(int zoom) {
    // Text wraps where a second line fits; a label one line high clips at its right edge
    // instead of showing the top of a second line.
    label_->setWordWrap(ClientRect().Height() * zoom >= 2 * QFontMetrics(label_->font()).height());
    if (image_.isNull()) {
        return;
    }
    // Whole device pixels, enlarged without smoothing as the screen enlarges everything else.
    label_->setPixmap(
        QPixmap::fromImage(image_.scaled(image_.width() * zoom, image_.height() * zoom,
                                         Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

}  // namespace gui

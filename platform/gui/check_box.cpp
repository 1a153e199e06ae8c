#include "platform/gui/check_box.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

// Device pixels: the side of the box and the gap between the box and the text.
constexpr int kBoxSide = 13;
constexpr int kTextGap = 4;

// Qt's box is a desktop-sized picture; the handheld's is drawn here in whole device pixels so
// that it grows with the zoom like everything else on the screen.
class ZoomedCheckBox final : public QCheckBox {
public:
    explicit ZoomedCheckBox(QWidget* parent) : QCheckBox(parent) {}

    void SetLook(int zoom, const QColor& background) {
        zoom_ = zoom;
        background_ = background;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), background_);
        const int z = zoom_;
        const int side = std::min(height(), kBoxSide * z);
        const QRect box(0, (height() - side) / 2, side, side);
        const QColor ink = isEnabled() ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80);
        painter.fillRect(box, Qt::white);
        painter.fillRect(box.left(), box.top(), side, z, ink);
        painter.fillRect(box.left(), box.bottom() - z + 1, side, z, ink);
        painter.fillRect(box.left(), box.top(), z, side, ink);
        painter.fillRect(box.right() - z + 1, box.top(), z, side, ink);
        if (isChecked()) {
            // The tick, in device pixels of a 13-pixel box: (3,6) down to (5,9) up to (9,3).
            const double unit = side / static_cast<double>(kBoxSide);
            QPen pen(ink, 2.0 * z, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
            painter.setPen(pen);
            const QPointF origin = box.topLeft();
            const QPointF tick[] = {origin + QPointF(3.5, 6.5) * unit,
                                    origin + QPointF(5.5, 8.5) * unit,
                                    origin + QPointF(9.5, 3.5) * unit};
            painter.drawPolyline(tick, 3);
        }
        if (!text().isEmpty()) {
            painter.setPen(ink);
            painter.setFont(font());
            const QRect textArea(side + kTextGap * z, 0, width() - side - kTextGap * z, height());
            painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             text());
        }
    }
    // The whole control takes the tap, text included, as on the handheld.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    int zoom_ = 1;
    QColor background_ = Qt::white;
};

}  // namespace

CheckBox::CheckBox(DeviceScreen& screen, uint16_t id, std::u16string text)
    : Control(screen, u"BUTTON", id), box_(new ZoomedCheckBox(&screen)) {
    box_->setText(ToQString(text));
    QObject::connect(box_, &QCheckBox::clicked, box_, [this] { CommandParent(); });
    Attach(box_);
}

void CheckBox::SetText(std::u16string_view text) {
    box_->setText(ToQString(text));
}

std::u16string CheckBox::Text() const {
    return box_->text().toStdU16String();
}

void CheckBox::SetChecked(bool checked) {
    box_->setChecked(checked);
}

bool CheckBox::IsChecked() const {
    return box_->isChecked();
}

void CheckBox::Click() {
    if (IsEnabled() && IsVisible()) {
        box_->click();
    }
}

void CheckBox::ApplyZoom(int zoom) {
    const Window* parent = Parent();
    static_cast<ZoomedCheckBox*>(box_)->SetLook(
        zoom, ToQColor(parent ? parent->BackgroundColor() : BackgroundColor()));
}

}  // namespace gui

#include "platform/gui/check_box.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

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
    ZoomedCheckBox(QWidget* parent, bool round) : QCheckBox(parent), round_(round) {}

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
        if (round_) {
            PaintRound(painter, box, ink);
            PaintText(painter, side, ink);
            return;
        }
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
        PaintText(painter, side, ink);
    }
    // The whole control takes the tap, text included, as on the handheld.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    // A radio button is set by a tap, never cleared.
    void nextCheckState() override {
        if (round_) {
            setChecked(true);
        } else {
            QCheckBox::nextCheckState();
        }
    }

private:
    void PaintText(QPainter& painter, int side, const QColor& ink) {
        if (text().isEmpty()) {
            return;
        }
        const int z = zoom_;
        painter.setPen(ink);
        painter.setFont(font());
        const QRect textArea(side + kTextGap * z, 0, width() - side - kTextGap * z, height());
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
    // A white circle with a line of one device pixel, and a dot when set.
    void PaintRound(QPainter& painter, const QRect& box, const QColor& ink) {
        const int z = zoom_;
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(ink, z));
        painter.setBrush(Qt::white);
        const double half = z / 2.0;
        painter.drawEllipse(QRectF(box).adjusted(half, half, -half, -half));
        if (isChecked()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ink);
            const double inset = box.width() * 0.3;
            painter.drawEllipse(QRectF(box).adjusted(inset, inset, -inset, -inset));
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    bool round_ = false;
    int zoom_ = 1;
    QColor background_ = Qt::white;
};

}  // namespace

CheckBox::CheckBox(DeviceScreen& screen, uint16_t id, std::u16string text)
    : CheckBox(screen, id, std::move(text), false) {}

CheckBox::CheckBox(DeviceScreen& screen, uint16_t id, std::u16string text, bool round)
    : Control(screen, u"BUTTON", id), box_(new ZoomedCheckBox(&screen, round)) {
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

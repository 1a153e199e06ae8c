#include "platform/gui/combo_box.h"

#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>

#include <algorithm>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

// Device pixels: the field's height beyond the font's, the width of the arrow button, and an
// entry's height in the dropped list beyond the font's.
constexpr int kFieldPadding = 8;
constexpr int kArrowWidth = 13;
constexpr int kEntryPadding = 2;

// The arrow button drawn in device pixels, so it grows with the zoom like the screen.
class ZoomedComboBox final : public QComboBox {
public:
    explicit ZoomedComboBox(QWidget* parent) : QComboBox(parent) {}

    void SetZoom(int zoom) {
        zoom_ = zoom;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QComboBox::paintEvent(event);
        QPainter painter(this);
        const int z = zoom_;
        const int arrowWidth = kArrowWidth * z;
        const QRect button(width() - arrowWidth, 0, arrowWidth, height());
        const QColor ink = isEnabled() ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80);
        painter.fillRect(button.adjusted(0, z, -z, -z), Qt::white);
        painter.fillRect(button.left(), 0, z, height(), ink);
        // A triangle 7 device pixels wide, 4 high, centred in the button.
        const int cx = button.left() + (arrowWidth + z) / 2;
        const int cy = height() / 2;
        QPolygon arrow;
        arrow << QPoint(cx - 3 * z, cy - 2 * z) << QPoint(cx + 4 * z, cy - 2 * z)
              << QPoint(cx + z / 2, cy + 2 * z);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPolygon(arrow);
    }

private:
    int zoom_ = 1;
};

}  // namespace

ComboBox::ComboBox(DeviceScreen& screen, uint16_t id)
    : Control(screen, u"COMBOBOX", id), combo_(new ZoomedComboBox(&screen)) {
    combo_->setEditable(true);
    // The list changes only through the program, and typing is not completed from it.
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setCompleter(nullptr);
    QObject::connect(combo_, &QComboBox::activated, combo_,
                     [this] { NotifyParent(ControlNotification::SelectionChanged); });
    // An entry picked from the list is the program's text, not typing.
    QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_,
                     [this] { typedLimit_.Accept(combo_->currentText()); });
    QObject::connect(combo_->lineEdit(), &QLineEdit::textEdited, combo_, [this] {
        typedLimit_.KeepWithinLimit(*combo_->lineEdit());
        NotifyParent(ControlNotification::EditChanged);
    });
    Attach(combo_);
}

void ComboBox::OnCreate() {
    listExtent_ = ClientRect().Height();
    Control::OnCreate();
    FitField();
}

void ComboBox::SetText(std::u16string_view text) {
    const QSignalBlocker blocker(combo_);
    combo_->setCurrentIndex(-1);
    combo_->setEditText(ToQString(text));
    typedLimit_.Accept(combo_->currentText());
}

std::u16string ComboBox::Text() const {
    return combo_->currentText().toStdU16String();
}

void ComboBox::AddItem(std::u16string_view text) {
    const QSignalBlocker blocker(combo_);
    // Qt selects the first entry of an empty list; the handheld leaves the field alone.
    const int selected = combo_->currentIndex();
    const QString field = combo_->currentText();
    combo_->addItem(ToQString(text));
    if (selected < 0) {
        combo_->setCurrentIndex(-1);
        combo_->setEditText(field);
    }
}

void ComboBox::ClearItems() {
    const QSignalBlocker blocker(combo_);
    combo_->clear();
    combo_->clearEditText();
    typedLimit_.Accept(QString());
}

int ComboBox::ItemCount() const {
    return combo_->count();
}

std::u16string ComboBox::ItemText(int index) const {
    return combo_->itemText(index).toStdU16String();
}

int ComboBox::Selection() const {
    return combo_->currentIndex();
}

void ComboBox::Select(int index) {
    const QSignalBlocker blocker(combo_);
    combo_->setCurrentIndex(index >= 0 && index < combo_->count() ? index : -1);
    if (combo_->currentIndex() < 0) {
        combo_->clearEditText();
    }
    typedLimit_.Accept(combo_->currentText());
}

void ComboBox::LimitText(int units) {
    typedLimit_.SetLimit(units);
}

int ComboBox::FieldHeight() const {
    return FontPixelSize() + kFieldPadding;
}

QString ComboBox::StyleSheet(int zoom) const {
    // Room for the arrow button painted above; Qt's own arrow stays out.
    return Control::StyleSheet(zoom) +
           QStringLiteral("QComboBox::drop-down { width: %1px; border: none; }")
               .arg(kArrowWidth * zoom);
}

void ComboBox::ApplyZoom(int zoom) {
    static_cast<ZoomedComboBox*>(combo_)->SetZoom(zoom);
    FitField();
}

void ComboBox::FitField() {
    if (listExtent_ == 0) {
        return;  // not created yet
    }
    const int entryHeight = FontPixelSize() + kEntryPadding;
    combo_->setMaxVisibleItems(std::max(1, (listExtent_ - FieldHeight()) / entryHeight));
    const int height = std::min(FieldHeight(), listExtent_);
    if (ClientRect().Height() == height) {
        return;
    }
    const Rect screenRect = ScreenRect();
    const Rect parentRect = Parent() ? Parent()->ScreenRect() : Rect{};
    Move(screenRect.left - parentRect.left, screenRect.top - parentRect.top, screenRect.Width(),
         height, true);
}

}  // namespace gui

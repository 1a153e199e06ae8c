#include "platform/gui/edit_box.h"

#include <QSignalBlocker>
#include <QTextCursor>

#include <algorithm>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

QString ToPlainLines(std::u16string_view text) {
    QString plain = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return plain;
}

int UnitsOf(const QString& plain) {
    return static_cast<int>(plain.size() + plain.count(u'\n'));
}

}  // namespace

EditBox::EditBox(DeviceScreen& screen, uint16_t id, EditStyle style)
    : Control(screen, u"EDIT", id), border_(style.border) {
    if (style.multiLine) {
        lines_ = new QPlainTextEdit(&screen);
        lines_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        lines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        lines_->setVerticalScrollBarPolicy(style.verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                   : Qt::ScrollBarAlwaysOff);
        lines_->setTabChangesFocus(true);
        QObject::connect(lines_, &QPlainTextEdit::textChanged, lines_, [this] {
            KeepWithinLimit();
            NotifyParent(ControlNotification::EditChanged);
        });
        Attach(lines_);
    } else {
        line_ = new QLineEdit(&screen);
        QObject::connect(line_, &QLineEdit::textEdited, line_, [this] {
            typedLimit_.KeepWithinLimit(*line_);
            NotifyParent(ControlNotification::EditChanged);
        });
        Attach(line_);
    }
}

void EditBox::SetText(std::u16string_view text) {
    if (line_) {
        line_->setText(ToQString(text));
        typedLimit_.Accept(line_->text());
        return;
    }
    const QSignalBlocker blocker(lines_);
    lines_->setPlainText(ToPlainLines(text));
    acceptedUnits_ = UnitsOf(lines_->toPlainText());
}

void EditBox::HideTypedText(std::u16string_view emptyHint) {
    if (line_) {
        line_->setEchoMode(QLineEdit::Password);
        line_->setPlaceholderText(ToQString(emptyHint));
    }
}

std::u16string EditBox::Text() const {
    if (line_) {
        return line_->text().toStdU16String();
    }
    QString text = lines_->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toStdU16String();
}

void EditBox::LimitText(int units) {
    limit_ = units > 0 ? units : 0;
    typedLimit_.SetLimit(limit_);
}

void EditBox::KeepWithinLimit() {
    const int units = UnitsOf(lines_->toPlainText());
    // Only what this edit added goes: a longer text the program put there stays whole.
    const int excess = std::min(units - limit_, units - acceptedUnits_);
    if (limit_ == 0 || excess <= 0) {
        acceptedUnits_ = units;
        return;
    }
    // What was just typed sits before the cursor: take back as much of it as went over.
    const QSignalBlocker blocker(lines_);
    QTextCursor cursor = lines_->textCursor();
    int removed = 0;
    while (removed < excess && cursor.position() > 0) {
        cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
        const QString taken = cursor.selectedText();
        removed += taken == QChar(QChar::ParagraphSeparator) ? 2 : static_cast<int>(taken.size());
        cursor.removeSelectedText();
    }
    lines_->setTextCursor(cursor);
    acceptedUnits_ = UnitsOf(lines_->toPlainText());
}

QString EditBox::StyleSheet(int zoom) const {
    QString sheet = Control::StyleSheet(zoom);
    if (!border_) {
        sheet += QStringLiteral("QLineEdit, QPlainTextEdit { border: none; }");
    }
    return sheet;
}

}  // namespace gui

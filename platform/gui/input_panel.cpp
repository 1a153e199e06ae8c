#include "platform/gui/input_panel.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/gui/device_screen.h"
#include "platform/gui/shell_look.h"
#include "platform/handwriting/writing_prior.h"

namespace gui {
namespace {

// The layout, in the panel's own device pixels: two writing boxes on the left; on the right the
// candidates, 2 columns by 3 rows, and two rows of buttons under them.
constexpr int kBoxSize = 80;
constexpr int kBoxCount = 2;
constexpr int kCellWidth = 40;
constexpr int kCellHeight = 16;
constexpr int kCandidateLeft = kBoxCount * kBoxSize;
constexpr int kCandidateColumns = 2;
constexpr Rect kSpaceButton{160, 48, 200, 64};
constexpr Rect kLineBreakButton{200, 48, 240, 64};
constexpr Rect kDeleteButton{160, 64, 200, 80};
constexpr Rect kCharacterSetButton{200, 64, 240, 80};
// The centre cross: dashes of 2 pixels with gaps of 2.
constexpr int kDash = 2;
constexpr int kStrokeWidth = 2;
constexpr int kCandidateFontPixels = 12;
constexpr int kButtonFontPixels = 12;

// Look-alikes (handwriting::kLookAlikeGroups) offered together are each marked with their kind.
constexpr int kKindFontPixels = 8;
constexpr int kKindMargin = 1;

// The kind a character is marked with: 数 a digit, 大 a capital, 小 a small letter, カ katakana,
// ひ hiragana, 記 a mark, 漢 a kanji.
QString KindOf(const std::u16string& character) {
    const char16_t unit = character.empty() ? u'\0' : character.front();
    if (unit >= u'0' && unit <= u'9') {
        return QStringLiteral("数");
    }
    if (unit >= u'A' && unit <= u'Z') {
        return QStringLiteral("大");
    }
    if (unit >= u'a' && unit <= u'z') {
        return QStringLiteral("小");
    }
    if (unit >= u'\u30A1' && unit <= u'\u30FC') {
        return QStringLiteral("カ");
    }
    if (unit >= u'\u3041' && unit <= u'\u3096') {
        return QStringLiteral("ひ");
    }
    if (unit >= u'\u4E00' && unit <= u'\u9FFF') {
        return QStringLiteral("漢");
    }
    return QStringLiteral("記");
}

// Whether another of the candidates looks like this one.
bool HasLookAlike(const std::vector<std::u16string>& candidates, size_t index) {
    const std::u16string& character = candidates[index];
    if (character.size() != 1) {
        return false;
    }
    const std::u16string_view group = handwriting::LookAlikeGroupOf(character);
    for (size_t other = 0; other < candidates.size(); ++other) {
        if (other != index && candidates[other].size() == 1 &&
            group.find(candidates[other].front()) != std::u16string_view::npos &&
            KindOf(candidates[other]) != KindOf(character)) {
            return true;
        }
    }
    return false;
}

constexpr char16_t kWideSpace[] = u"\u3000";
constexpr char16_t kNarrowSpace[] = u" ";

Rect BoxRect(int box) {
    return {box * kBoxSize, 0, (box + 1) * kBoxSize, kBoxSize};
}

Rect CandidateRect(size_t index) {
    const int column = static_cast<int>(index) % kCandidateColumns;
    const int row = static_cast<int>(index) / kCandidateColumns;
    const int left = kCandidateLeft + column * kCellWidth;
    const int top = row * kCellHeight;
    return {left, top, left + kCellWidth, top + kCellHeight};
}

// What lies under a point of the panel.
enum class Part { None, Box, Candidate, Space, LineBreak, Delete, CharacterSet };
struct Hit {
    Part part = Part::None;
    int index = 0;  // the box or the candidate
};

Hit PartAt(Point point) {
    for (int box = 0; box < kBoxCount; ++box) {
        if (BoxRect(box).Contains(point)) {
            return {Part::Box, box};
        }
    }
    for (size_t index = 0; index < InputPanel::kMaxCandidates; ++index) {
        if (CandidateRect(index).Contains(point)) {
            return {Part::Candidate, static_cast<int>(index)};
        }
    }
    if (kSpaceButton.Contains(point)) {
        return {Part::Space};
    }
    if (kLineBreakButton.Contains(point)) {
        return {Part::LineBreak};
    }
    if (kDeleteButton.Contains(point)) {
        return {Part::Delete};
    }
    if (kCharacterSetButton.Contains(point)) {
        return {Part::CharacterSet};
    }
    return {};
}

handwriting::InkPoint InBox(int box, Point point) {
    const Rect rect = BoxRect(box);
    return {std::clamp(point.x - rect.left, 0, kBoxSize - 1),
            std::clamp(point.y - rect.top, 0, kBoxSize - 1)};
}

QRect Zoomed(const Rect& rect, int zoom) {
    return {rect.left * zoom, rect.top * zoom, rect.Width() * zoom, rect.Height() * zoom};
}

QString ToQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Text reaches a field as the desktop's input method commits it, replacing as many units before
// the cursor as asked.
void SendCommit(QWidget* field, const QString& text, int replaceLength = 0) {
    QInputMethodEvent commit;
    commit.setCommitString(text, -replaceLength, replaceLength);
    QApplication::sendEvent(field, &commit);
}

void SendKey(QWidget* field, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &release);
}

// Whether the field's text right before its cursor is `text`, as the input method sees it.
bool EndsBeforeCursorWith(QWidget* field, const QString& text) {
    QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCursorPosition);
    QApplication::sendEvent(field, &query);
    const QString around = query.value(Qt::ImSurroundingText).toString();
    const int cursor = query.value(Qt::ImCursorPosition).toInt();
    return around.left(cursor).endsWith(text);
}

// The character just before the field's cursor (a pair of UTF-16 units for one past the BMP), or
// nothing at the start of the field.
std::u16string CharacterBeforeCursor(QWidget* field) {
    QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCursorPosition);
    QApplication::sendEvent(field, &query);
    const QString around = query.value(Qt::ImSurroundingText).toString();
    const int cursor =
        std::min(query.value(Qt::ImCursorPosition).toInt(), static_cast<int>(around.size()));
    if (cursor <= 0) {
        return {};
    }
    const int length = cursor >= 2 && around.at(cursor - 1).isLowSurrogate() ? 2 : 1;
    return around.mid(cursor - length, length).toStdU16String();
}

bool TakesLineBreaks(const QWidget* field) {
    return qobject_cast<const QPlainTextEdit*>(field) != nullptr ||
           qobject_cast<const QTextEdit*>(field) != nullptr;
}

// The small face of the kind marks: an 8-pixel bitmap face, readable at the device's own size.
QFont KindFont(int zoom) {
    QFont font(QStringLiteral("MisakiGothic"));
    font.setPixelSize(kKindFontPixels * zoom);
    return font;
}

void DrawButton(QPainter& painter, const Rect& rect, int zoom, const QString& text,
                const QColor& ink) {
    painter.setPen(ink);
    painter.drawText(Zoomed(rect, zoom), Qt::AlignCenter, text);
}

}  // namespace

InputPanel::InputPanel(DeviceScreen& screen,
                       std::unique_ptr<handwriting::CharacterRecognizer> recognizer)
    : QWidget(&screen), screen_(screen), recognizer_(std::move(recognizer)) {
    // A tap on the panel must leave the keyboard with the field being written into.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

InputPanel::~InputPanel() = default;

void InputPanel::PenDown(Point point) {
    const Hit hit = PartAt(point);
    switch (hit.part) {
        case Part::Box:
            StartStroke(hit.index, point);
            return;
        case Part::Candidate:
            TapCandidate(static_cast<size_t>(hit.index));
            return;
        case Part::None:
            return;
        default:
            break;
    }
    // The buttons act at once, on what is written so far.
    if (hit.part == Part::Delete && IsWriting()) {
        // The character not typed yet is the one before the cursor in the user's eyes.
        EraseWriting();
        return;
    }
    if (hit.part == Part::CharacterSet) {
        characterSet_ = characterSet_ == handwriting::CharacterSet::All
                            ? handwriting::CharacterSet::LatinAndDigits
                            : handwriting::CharacterSet::All;
        lastCommit_.reset();
        if (IsWriting()) {
            Recognize();
        } else {
            candidates_.clear();
        }
        update();
        return;
    }
    CommitPending();
    lastCommit_.reset();
    candidates_.clear();
    update();
    QWidget* field = Field();
    if (field == nullptr) {
        return;
    }
    if (hit.part == Part::Space) {
        SendCommit(field, QString::fromUtf16(characterSet_ == handwriting::CharacterSet::All
                                                 ? kWideSpace
                                                 : kNarrowSpace));
    } else if (hit.part == Part::LineBreak) {
        if (TakesLineBreaks(field)) {
            SendKey(field, Qt::Key_Return, QStringLiteral("\r"));
        }
    } else if (hit.part == Part::Delete) {
        SendKey(field, Qt::Key_Backspace, QStringLiteral("\b"));
    }
}

void InputPanel::StartStroke(int box, Point point) {
    if (IsWriting() && box != writingBox_) {
        // Writing in the other box finishes the character in this one.
        CommitPending();
    }
    if (IsWriting() && box == writingBox_ && strokes_.size() >= kMaxStrokes) {
        // No character has this many strokes: the pen is taken for one that has not lifted.
        return;
    }
    screen_.StopPanelTimer();
    if (!IsWriting()) {
        writingBox_ = box;
        writingFor_ = screen_.TextFieldWithKeyboard();
        candidates_.clear();
        chosen_ = 0;
        lastCommit_.reset();
    }
    strokes_.push_back({InBox(box, point)});
    stroking_ = true;
    update();
}

void InputPanel::PenMove(Point point) {
    if (!stroking_ || strokes_.empty()) {
        return;
    }
    const handwriting::InkPoint next = InBox(writingBox_, point);
    const handwriting::InkPoint last = strokes_.back().back();
    if ((next.x != last.x || next.y != last.y) && strokes_.back().size() < kMaxPointsPerStroke) {
        strokes_.back().push_back(next);
        update();
    }
}

void InputPanel::PenUp(Point point) {
    if (!stroking_) {
        return;
    }
    PenMove(point);
    stroking_ = false;
    Recognize();
    screen_.StartPanelTimer(kCommitMilliseconds);
    update();
}

void InputPanel::Recognize() {
    QWidget* field = Field();
    candidates_ =
        recognizer_->Recognize(strokes_, kBoxSize, characterSet_, kMaxCandidates,
                               field == nullptr ? std::u16string() : CharacterBeforeCursor(field));
    chosen_ = 0;
}

void InputPanel::CommitPending() {
    if (!IsWriting()) {
        return;
    }
    screen_.StopPanelTimer();
    QWidget* field = Field();
    if (field != nullptr && chosen_ < candidates_.size()) {
        const QString text = ToQString(candidates_[chosen_]);
        SendCommit(field, text);
        lastCommit_ = LastCommit{field, text, chosen_};
    }
    strokes_.clear();
    stroking_ = false;
    writingBox_ = -1;
    writingFor_ = nullptr;
    update();
}

void InputPanel::TapCandidate(size_t index) {
    if (index >= candidates_.size()) {
        return;
    }
    if (IsWriting()) {
        chosen_ = index;
        CommitPending();
        return;
    }
    if (!lastCommit_ || index == lastCommit_->candidate) {
        return;
    }
    // Another reading of the character just typed takes its place, if it is still there.
    QWidget* field = lastCommit_->field;
    if (field == nullptr || !EndsBeforeCursorWith(field, lastCommit_->text)) {
        lastCommit_.reset();
        return;
    }
    const QString text = ToQString(candidates_[index]);
    SendCommit(field, text, static_cast<int>(lastCommit_->text.size()));
    lastCommit_->text = text;
    lastCommit_->candidate = index;
    chosen_ = index;
    update();
}

void InputPanel::EraseWriting() {
    screen_.StopPanelTimer();
    strokes_.clear();
    stroking_ = false;
    writingBox_ = -1;
    writingFor_ = nullptr;
    candidates_.clear();
    update();
}

void InputPanel::Reset() {
    EraseWriting();
    lastCommit_.reset();
}

QWidget* InputPanel::Field() const {
    if (writingFor_ != nullptr) {
        return writingFor_;
    }
    return screen_.TextFieldWithKeyboard();
}

void InputPanel::Paint(QPainter& painter, int zoom) const {
    painter.save();
    painter.fillRect(Zoomed({0, 0, kWidth, kHeight}, zoom), kMenuBarColor);

    // The writing boxes with their dashed centre cross, the ink of the one being written in.
    for (int box = 0; box < kBoxCount; ++box) {
        const Rect rect = BoxRect(box);
        painter.fillRect(Zoomed(rect, zoom), Qt::white);
        const int centreX = rect.left + kBoxSize / 2;
        const int centreY = rect.top + kBoxSize / 2;
        for (int along = kDash; along + kDash <= kBoxSize - kDash; along += 2 * kDash) {
            painter.fillRect(
                Zoomed({centreX, rect.top + along, centreX + 1, rect.top + along + kDash}, zoom),
                kMenuBarLineColor);
            painter.fillRect(
                Zoomed({rect.left + along, centreY, rect.left + along + kDash, centreY + 1}, zoom),
                kMenuBarLineColor);
        }
        painter.fillRect(Zoomed({rect.right - 1, rect.top, rect.right, rect.bottom}, zoom),
                         kMenuBarLineColor);
    }
    if (IsWriting()) {
        const Rect box = BoxRect(writingBox_);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(
            QPen(kMenuTextColor, kStrokeWidth * zoom, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const auto at = [&](const handwriting::InkPoint& point) {
            return QPointF((box.left + point.x + 0.5) * zoom, (box.top + point.y + 0.5) * zoom);
        };
        for (const handwriting::Stroke& stroke : strokes_) {
            if (stroke.size() == 1) {
                painter.drawPoint(at(stroke.front()));
                continue;
            }
            QPolygonF line;
            for (const handwriting::InkPoint& point : stroke) {
                line << at(point);
            }
            painter.drawPolyline(line);
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    // The candidates: white cells, the one a commit types (or typed) in the bar's colour.
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(ShellFont(kCandidateFontPixels, zoom));
    for (size_t index = 0; index < kMaxCandidates; ++index) {
        const Rect cell = CandidateRect(index);
        const bool chosen = index == chosen_ && index < candidates_.size() &&
                            (IsWriting() || lastCommit_.has_value());
        painter.fillRect(Zoomed(cell, zoom), chosen ? kBarColor : QColor(Qt::white));
        painter.fillRect(Zoomed({cell.right - 1, cell.top, cell.right, cell.bottom}, zoom),
                         kMenuBarLineColor);
        painter.fillRect(Zoomed({cell.left, cell.bottom - 1, cell.right, cell.bottom}, zoom),
                         kMenuBarLineColor);
        if (index < candidates_.size()) {
            painter.setPen(chosen ? kBarTextColor : kMenuTextColor);
            painter.drawText(Zoomed(cell, zoom), Qt::AlignCenter, ToQString(candidates_[index]));
        }
    }
    // What tells look-alikes apart: their kind, small, in the top-right corner of the cell.
    painter.setFont(KindFont(zoom));
    for (size_t index = 0; index < std::min(candidates_.size(), kMaxCandidates); ++index) {
        if (!HasLookAlike(candidates_, index)) {
            continue;
        }
        const Rect cell = CandidateRect(index);
        const bool chosen = index == chosen_ && (IsWriting() || lastCommit_.has_value());
        painter.setPen(chosen ? kBarTextColor : kBarDimTextColor);
        const Rect corner{cell.right - 1 - kKindMargin - kKindFontPixels, cell.top + kKindMargin,
                          cell.right - 1 - kKindMargin, cell.top + kKindMargin + kKindFontPixels};
        painter.drawText(Zoomed(corner, zoom), Qt::AlignCenter, KindOf(candidates_[index]));
    }
    painter.setFont(ShellFont(kCandidateFontPixels, zoom));

    // The buttons, on the bars' grey, ruled like the menu bar.
    painter.setFont(ShellFont(kButtonFontPixels, zoom));
    for (const Rect& button :
         {kSpaceButton, kLineBreakButton, kDeleteButton, kCharacterSetButton}) {
        painter.fillRect(Zoomed({button.right - 1, button.top, button.right, button.bottom}, zoom),
                         kMenuBarLineColor);
        painter.fillRect(
            Zoomed({button.left, button.bottom - 1, button.right, button.bottom}, zoom),
            kMenuBarLineColor);
    }
    const QWidget* field = screen_.TextFieldWithKeyboard();
    DrawButton(painter, kSpaceButton, zoom, QStringLiteral("空白"), kMenuTextColor);
    DrawButton(painter, kLineBreakButton, zoom, QStringLiteral("改行"),
               field != nullptr && TakesLineBreaks(field) ? kMenuTextColor : kBarDimTextColor);
    DrawButton(painter, kDeleteButton, zoom, QStringLiteral("←"), kMenuTextColor);
    // 英/あ: the set in use dark, the other one dim.
    const bool latin = characterSet_ == handwriting::CharacterSet::LatinAndDigits;
    const QRect setArea = Zoomed(kCharacterSetButton, zoom);
    const QFontMetrics metrics(painter.font());
    const QString english = QStringLiteral("英");
    const QString slash = QStringLiteral("/");
    const QString kana = QStringLiteral("あ");
    const int width = metrics.horizontalAdvance(english + slash + kana);
    int x = setArea.left() + (setArea.width() - width) / 2;
    const int baseline =
        setArea.top() + (setArea.height() + metrics.ascent() - metrics.descent()) / 2;
    painter.setPen(latin ? kMenuTextColor : kBarDimTextColor);
    painter.drawText(x, baseline, english);
    x += metrics.horizontalAdvance(english);
    painter.setPen(kBarDimTextColor);
    painter.drawText(x, baseline, slash);
    x += metrics.horizontalAdvance(slash);
    painter.setPen(latin ? kBarDimTextColor : kMenuTextColor);
    painter.drawText(x, baseline, kana);

    // A rule along the top, as over the menu bar, parts the panel from the window above it.
    painter.fillRect(Zoomed({0, 0, kWidth, 1}, zoom), kMenuBarLineColor);
    painter.restore();
}

void InputPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, screen_.Zoom());
}

Point InputPanel::ScreenPointOf(const QMouseEvent& event) const {
    return screen_.ToDevice(mapToParent(event.position().toPoint()));
}

void InputPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The desktop gave the screen the keyboard for this click: the field keeps it.
    QWidget* field = screen_.TextFieldWithKeyboard();
    screen_.PenDown(ScreenPointOf(*event));
    if (field != nullptr && !field->hasFocus()) {
        field->setFocus(Qt::OtherFocusReason);
    }
}

void InputPanel::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        screen_.PenMove(ScreenPointOf(*event));
    }
}

void InputPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        screen_.PenUp(ScreenPointOf(*event));
    }
}

}  // namespace gui

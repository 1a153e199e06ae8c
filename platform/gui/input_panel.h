#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/geometry.h"
#include "platform/handwriting/character_recognizer.h"

class QPainter;

namespace gui {

class DeviceScreen;

// The handwriting panel in the input panel's band above the menu bar: two writing boxes, the
// candidates for the character being written, and the 空白 / 改行 / ← / 英あ buttons. A
// character is typed into the text field with the keyboard as a committed input-method text,
// so the field treats it as it treats typing. The panel belongs to the screen, not to the
// program: its pen input comes from the screen and no window hears of it.
class InputPanel final : public QWidget {
public:
    // Device pixels, the same in both orientations from the panel's own top-left corner.
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 80;
    // How long the pen may rest after a stroke before the character is taken as finished.
    static constexpr int kCommitMilliseconds = 1000;
    static constexpr size_t kMaxCandidates = 6;
    // What one character may hold, so a pen left scribbling costs bounded time and memory: more
    // strokes than the most written kanji has, and points for a stroke across the box many times.
    static constexpr size_t kMaxStrokes = 40;
    static constexpr size_t kMaxPointsPerStroke = 400;

    InputPanel(DeviceScreen& screen, std::unique_ptr<handwriting::CharacterRecognizer> recognizer);
    ~InputPanel() override;

    // Pen input in the panel's own device pixels, handed on by the screen.
    void PenDown(Point point);
    void PenMove(Point point);
    void PenUp(Point point);
    // The character being written is finished: its box's chosen candidate is typed.
    void CommitPending();
    // Forgets the ink and candidates, as when the panel goes away.
    void Reset();

    // Draws the panel at a zoom with its top-left corner at the painter's origin.
    void Paint(QPainter& painter, int zoom) const;

    // What the panel offers now, best first.
    const std::vector<std::u16string>& Candidates() const { return candidates_; }
    // The ink of the character being written, in its box's own pixels.
    const std::vector<handwriting::Stroke>& Strokes() const { return strokes_; }
    handwriting::CharacterSet CurrentCharacterSet() const { return characterSet_; }
    bool IsWriting() const { return writingBox_ >= 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The text typed by the last commit while a tap on another candidate may still replace it.
    struct LastCommit {
        QPointer<QWidget> field;
        QString text;
        size_t candidate = 0;
    };

    void StartStroke(int box, Point point);
    void Recognize();
    void TapCandidate(size_t index);
    void EraseWriting();
    // The field the panel types into: the one written for, else the one with the keyboard.
    QWidget* Field() const;
    Point ScreenPointOf(const QMouseEvent& event) const;

    DeviceScreen& screen_;
    std::unique_ptr<handwriting::CharacterRecognizer> recognizer_;
    handwriting::CharacterSet characterSet_ = handwriting::CharacterSet::All;
    std::vector<handwriting::Stroke> strokes_;  // of the box being written in
    int writingBox_ = -1;                       // 0, 1, or -1 for none
    bool stroking_ = false;
    QPointer<QWidget> writingFor_;
    std::vector<std::u16string> candidates_;
    size_t chosen_ = 0;  // the candidate highlighted: the one a commit types, or typed
    std::optional<LastCommit> lastCommit_;
};

}  // namespace gui

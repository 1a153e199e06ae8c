#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "controls/pad_data.h"
#include "platform/gui/geometry.h"
#include "platform/gui/window.h"
#include "schedule/ink_entry.h"

namespace gui {
class EditBox;
}

namespace controls {

// Where the pad lies in the appointment editor, and where it lies while it covers the editor.
inline constexpr gui::Rect kPadRect = gui::RectAt(0, 155, 240, 270);
inline constexpr gui::Rect kEnlargedPadRect = gui::RectAt(0, 0, 240, 270);

// Entries one stroke may take while it is drawn: its width and colour records, at most 97
// points and its end record.
inline constexpr size_t kStrokeEntries = 100;

// The most UTF-16 units the pad's text hands over: all that an appointment's body holds, so
// opening and saving a long memo never shortens it.
inline constexpr size_t kMaxPadTextChars = 12999;

// Said, with an OK button and no caption of its own, when a stroke would take the ink past
// schedule::kMaxInkEntries.
inline constexpr std::u16string_view kInkFullMessage = u"これ以上は追加できません";

// The appointment editor's memo ("HandWrite"): a 20-pixel toolbar (colour swatches, undo, clear,
// pen width, the ink gauge, text or ink mode, enlarge or shrink) over a drawing area where the
// pen writes strokes into the pad's ink, and a multi-line text box laid over the drawing area in
// text mode. The ink and the text live in the PadData the editor fills before the pad opens;
// the pad edits the ink, and its text box is loaded from PadText each time text mode is
// entered. Enlarging covers the parent: its other children are hidden until the pad shrinks.
// The editor fills the PadData, then creates the pad, visible, as its child at kPadRect.
class HandwritingPad final : public gui::Window {
public:
    HandwritingPad(gui::DeviceScreen& screen, PadData& pad);

    void OnCreate() override;
    void OnPaint(gui::Surface& surface) override;
    void OnPenDown(gui::Point point) override;
    void OnPenMove(gui::Point point) override;
    void OnPenUp(gui::Point point) override;

    // What the text box holds now, shown or not, cut to kMaxPadTextChars (never through a
    // surrogate pair). A pad opened in ink mode holds no text until text mode is entered.
    std::u16string ReadPadText() const;

    // 1 while the pad covers its parent.
    int32_t PadEnlarged() const { return padEnlarged_; }

    // Where the pad lies in its parent, shrunk and enlarged: kPadRect and kEnlargedPadRect
    // until its parent lays it out elsewhere (the appointment editor on a turned screen). The
    // pad moves to the place of its state now; its toolbar, guide line and text box stretch to
    // its width, and its text box ends where the pad does.
    void SetPlaces(const gui::Rect& normal, const gui::Rect& enlarged);

private:
    void PickColour(int32_t colour);
    void Undo();
    void Clear();
    void NextWidth();
    void SwitchMode();
    void SwitchSize();
    void FitTextBoxAboveInputPanel();
    // The text box where it lies in the shrunk pad.
    void PlaceTextBox();
    // Stores a finished stroke (pad coordinates moved by (dx, dy)) after the ink, thinned; a
    // stroke that would take the ink past schedule::kMaxInkEntries is refused with kInkFullMessage.
    void AppendStroke(std::span<const schedule::InkEntry> entries, int dx, int dy);
    void DrawToolbar(gui::Surface& surface) const;
    void DrawGauge(gui::Surface& surface) const;
    bool InDrawingArea(gui::Point point) const;

    PadData& pad_;
    int32_t colour_ = 0;  // colour index of the next stroke, 0 to 3
    int32_t width_ = 1;   // pen width of the next stroke, 1 to 3
    int32_t padEnlarged_ = 0;
    gui::Rect normalPlace_ = kPadRect;
    gui::Rect enlargedPlace_ = kEnlargedPadRect;
    std::array<schedule::InkEntry, kStrokeEntries> stroke_{};
    size_t strokeCount_ = 0;
    bool penDown_ = false;  // from a pen down in the drawing area to the next pen up
    gui::Point lastPoint_;
    gui::EditBox* textBox_ = nullptr;
};

// Start-up's and shutdown's part for the pads: the drawing objects every pad shares for the
// whole run. A window class needs no registering here (a pad is a HandwritingPad), and the
// swatch brushes and the dashed guide pen never change, so they are constants. What lives on is
// the stroke pen: registration makes it solid black and 1 pixel wide, and only a width tap and
// a pen move rebuild it, so a new pad's width sample shows the pen the last pad left. Released,
// the pads have no stroke pen until one of those rebuilds it, and the width sample shows no
// line. Pens are values here: nothing is freed.
void RegisterHandWriteClass();
void ReleasePadResources();

}  // namespace controls

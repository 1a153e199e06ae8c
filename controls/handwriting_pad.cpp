#include "controls/handwriting_pad.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/surface.h"
#include "platform/text/unicode_text.h"
#include "views/ink_drawing.h"

namespace controls {
namespace {

using gui::Rect;

// ---- Layout, in the pad's own pixels ----

// The toolbar band is drawn over rows 0 to 19, across the pad; a pen down on rows 0 to 20 is a
// toolbar tap, one further down starts a stroke.
constexpr int kToolbarBandHeight = 20;
constexpr int kToolbarLastRow = 20;
constexpr Rect kColourLabel{0, 0, 20, 16};
// Colour c's swatch frame lies kSwatchPitch * c to the right of the first; the swatch fills it
// less its 1-pixel frame.
constexpr Rect kFirstSwatchFrame{20, 0, 40, 16};
constexpr int kSwatchPitch = 20;
constexpr Rect kUndoLabel{110, 1, 126, 15};
constexpr Rect kClearLabel{130, 1, 146, 15};
constexpr Rect kWidthSample{150, 1, 166, 15};
constexpr gui::Point kWidthSampleFrom{151, 8};
constexpr gui::Point kWidthSampleTo{165, 8};
constexpr Rect kGaugeOutline{170, 1, 190, 15};
// The red fill grows from kGaugeFill.left by kGaugeFillWidth pixels for a full buffer.
constexpr Rect kGaugeFill{171, 2, 189, 14};
constexpr int kGaugeFillWidth = 18;
constexpr Rect kModeLabel{195, 1, 215, 15};
constexpr Rect kSizeLabel{215, 1, 235, 15};
// The dashed guide runs across the pad.
constexpr gui::Point kGuideFrom{0, 52};
// Ink points are kept relative to the drawing area, which starts this far down the pad.
constexpr gui::Point kInkOrigin{0, 20};
// In the shrunk pad the text box is as wide as the pad and this high, or less where the pad
// ends sooner.
constexpr Rect kTextBox{0, 20, 240, 115};
// Enlarged in text mode, the text box is as high as the input panel's top (a screen row) less
// this: with the navigation bar and the toolbar above the box, that takes it down to about the
// panel's top edge, so the lines being typed stay in sight.
constexpr int kTextBoxAbovePanel = 44;
constexpr uint16_t kTextBoxId = 0;

constexpr int32_t kMinWidth = 1;
constexpr int32_t kMaxWidth = 3;

constexpr gui::ColorRef kGuideColour = gui::kGray;
constexpr gui::ColorRef kGaugeColour = gui::Rgb(255, 0, 0);

enum class ToolbarButton { None, Black, Red, Green, Blue, Undo, Clear, Width, Mode, Size };

// The toolbar's buttons by the columns they take taps on, both ends included, left to right.
struct ToolbarTap {
    int first;
    int last;
    ToolbarButton button;
};
constexpr std::array<ToolbarTap, 9> kToolbarTaps{{
    {20, 40, ToolbarButton::Black},
    {40, 60, ToolbarButton::Red},
    {60, 80, ToolbarButton::Green},
    {80, 100, ToolbarButton::Blue},
    {110, 126, ToolbarButton::Undo},
    {130, 146, ToolbarButton::Clear},
    {150, 166, ToolbarButton::Width},
    {195, 215, ToolbarButton::Mode},
    {215, 235, ToolbarButton::Size},
}};

// Where two buttons share an edge column, the right-hand one owns it: one tap, one action.
ToolbarButton ToolbarButtonAt(int x) {
    for (auto tap = kToolbarTaps.rbegin(); tap != kToolbarTaps.rend(); ++tap) {
        if (x >= tap->first && x <= tap->last) {
            return tap->button;
        }
    }
    return ToolbarButton::None;
}

Rect SwatchFrame(int32_t colour) {
    return kFirstSwatchFrame.Offset(colour * kSwatchPitch, 0);
}

// Stays for the program's run from RegisterHandWriteClass to ReleasePadResources; see there.
std::optional<gui::Pen> strokePen;

// A point of a stroke other than its first and last is dropped when the steps into and out of
// it are nearly the same (under 2 pixels apart in x and in y): it lies on a straight, evenly
// drawn line its neighbours already give. The steps are those between the recorded points,
// whether a neighbour is dropped or not.
bool IsThinnedAway(std::span<const schedule::InkEntry> entries, size_t index) {
    if (index == 0 || index + 1 >= entries.size() ||
        schedule::KindOfInkEntry(entries[index - 1]) != schedule::InkEntryKind::Point ||
        schedule::KindOfInkEntry(entries[index + 1]) != schedule::InkEntryKind::Point) {
        return false;
    }
    const schedule::InkEntry& before = entries[index - 1];
    const schedule::InkEntry& here = entries[index];
    const schedule::InkEntry& after = entries[index + 1];
    const int64_t stepInX = static_cast<int64_t>(here.x) - before.x;
    const int64_t stepInY = static_cast<int64_t>(here.y) - before.y;
    const int64_t stepOutX = static_cast<int64_t>(after.x) - here.x;
    const int64_t stepOutY = static_cast<int64_t>(after.y) - here.y;
    return std::llabs(stepOutX - stepInX) < 2 && std::llabs(stepOutY - stepInY) < 2;
}

std::u16string_view WithinPadTextLimit(std::u16string_view text) {
    size_t length = std::min(text.size(), kMaxPadTextChars);
    if (length < text.size() && length > 0 && platform::IsHighSurrogate(text[length - 1])) {
        --length;
    }
    return text.substr(0, length);
}

}  // namespace

HandwritingPad::HandwritingPad(gui::DeviceScreen& screen, PadData& pad)
    : gui::Window(screen, u"HandWrite", u"", gui::kWhite), pad_(pad) {}

void HandwritingPad::OnCreate() {
    // The pad is created visible, as the editor makes it. The ink, the text and the mode are
    // the editor's; the stroke pen is left as it is.
    Show();
    textBox_ = Screen().CreateChild<gui::EditBox>(
        *this, kTextBox, kTextBoxId,
        gui::EditStyle{.multiLine = true, .verticalScrollBar = true, .border = false});
    textBox_->LimitText(static_cast<int>(kMaxPadTextChars));
    if (pad_.PadTextMode == 1) {
        textBox_->Show();
        textBox_->SetText(pad_.PadText);
    } else {
        textBox_->Hide();
    }
}

// ---- Painting ----

void HandwritingPad::OnPaint(gui::Surface& surface) {
    DrawToolbar(surface);
    views::DrawInk(surface, pad_.InkBuffer, pad_.InkCount, kInkOrigin.x, kInkOrigin.y,
                   views::kFullInkScale);
}

void HandwritingPad::DrawToolbar(gui::Surface& surface) const {
    const int width = ClientRect().Width();
    surface.FillRect(0, 0, width, kToolbarBandHeight, gui::Brush::Stock(gui::StockBrush::Gray));
    surface.SetTextColor(gui::kBlack);
    surface.DrawText(u"色", kColourLabel, gui::TextAlign::LeftTop);

    // The selected swatch's frame: drawn before the swatches, it leaves a 1-pixel black frame
    // around its swatch.
    const Rect frame = SwatchFrame(colour_);
    surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    surface.SelectBrush(gui::Brush::Stock(gui::StockBrush::White));
    surface.Rectangle(frame.left, frame.top, frame.right, frame.bottom);
    for (int32_t colour = 0; colour < schedule::kInkColourCount; ++colour) {
        const Rect swatch = SwatchFrame(colour);
        surface.FillRect(swatch.left + 1, swatch.top + 1, swatch.right - 1, swatch.bottom - 1,
                         schedule::InkColourOf(colour));
    }

    surface.DrawText(u"Un", kUndoLabel, gui::TextAlign::LeftTop);
    surface.DrawText(u"Cr", kClearLabel, gui::TextAlign::LeftTop);
    surface.FillRect(kWidthSample.left, kWidthSample.top, kWidthSample.right, kWidthSample.bottom,
                     gui::kWhite);
    if (strokePen) {
        surface.SelectPen(*strokePen);
        surface.Polyline({kWidthSampleFrom, kWidthSampleTo});
    }
    DrawGauge(surface);
    surface.DrawText(pad_.PadTextMode == 1 ? u"H" : u"T", kModeLabel, gui::TextAlign::LeftTop);
    surface.DrawText(padEnlarged_ == 1 ? u"▼" : u"▲", kSizeLabel, gui::TextAlign::LeftTop);

    surface.SelectPen(gui::Pen::Dashed(kGuideColour));
    surface.Polyline({kGuideFrom, {width, kGuideFrom.y}});
}

void HandwritingPad::DrawGauge(gui::Surface& surface) const {
    surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    surface.SelectBrush(gui::Brush::Stock(gui::StockBrush::White));
    surface.Rectangle(kGaugeOutline.left, kGaugeOutline.top, kGaugeOutline.right,
                      kGaugeOutline.bottom);
    const int filled = pad_.InkCount * kGaugeFillWidth / static_cast<int>(schedule::kMaxInkEntries);
    surface.FillRect(kGaugeFill.left, kGaugeFill.top, kGaugeFill.left + filled, kGaugeFill.bottom,
                     kGaugeColour);
}

// ---- Pen input ----

bool HandwritingPad::InDrawingArea(gui::Point point) const {
    // The pen is captured, so it may leave the pad while a stroke is drawn; a point outside
    // cannot be stored, as an x of -1 to -3 would read back as a record of another kind.
    const Rect client = ClientRect();
    return point.y > kToolbarLastRow && point.x >= client.left && point.x < client.right &&
           point.y < client.bottom;
}

void HandwritingPad::OnPenDown(gui::Point point) {
    if (point.y <= kToolbarLastRow) {
        switch (ToolbarButtonAt(point.x)) {
            case ToolbarButton::Black:
                PickColour(0);
                break;
            case ToolbarButton::Red:
                PickColour(1);
                break;
            case ToolbarButton::Green:
                PickColour(2);
                break;
            case ToolbarButton::Blue:
                PickColour(3);
                break;
            case ToolbarButton::Undo:
                Undo();
                break;
            case ToolbarButton::Clear:
                Clear();
                break;
            case ToolbarButton::Width:
                NextWidth();
                break;
            case ToolbarButton::Mode:
                SwitchMode();
                break;
            case ToolbarButton::Size:
                SwitchSize();
                break;
            case ToolbarButton::None:
                break;
        }
        return;
    }
    penDown_ = true;
    stroke_[0] = {schedule::kInkWidthRecord, width_};
    stroke_[1] = {schedule::kInkColourRecord, colour_};
    stroke_[2] = {point.x, point.y};
    strokeCount_ = 3;
    DrawNow([point](gui::Surface& surface) { surface.SetPixel(point.x, point.y, gui::kBlack); });
    lastPoint_ = point;
}

void HandwritingPad::OnPenMove(gui::Point point) {
    // The last entry is kept for the end record.
    if (!penDown_ || !InDrawingArea(point) || strokeCount_ >= kStrokeEntries - 1) {
        return;
    }
    stroke_[strokeCount_++] = {point.x, point.y};
    strokePen = gui::Pen::Solid(schedule::InkColourOf(colour_), width_);
    const gui::Point from = lastPoint_;
    DrawNow([from, point](gui::Surface& surface) {
        surface.SelectPen(*strokePen);
        surface.Polyline({from, point});
    });
    lastPoint_ = point;
}

void HandwritingPad::OnPenUp(gui::Point /*point*/) {
    if (!penDown_) {
        return;
    }
    stroke_[strokeCount_++] = {schedule::kInkEndRecord, -1};
    AppendStroke(std::span<const schedule::InkEntry>(stroke_.data(), strokeCount_), kInkOrigin.x,
                 kInkOrigin.y);
    // The gauge at once, and its fill again at the next paint; the stroke stays as drawn.
    DrawNow([this](gui::Surface& surface) { DrawGauge(surface); });
    Invalidate(kGaugeFill, false);
    penDown_ = false;
}

void HandwritingPad::AppendStroke(std::span<const schedule::InkEntry> entries, int dx, int dy) {
    // The whole stroke must fit before thinning: what thinning would save does not count.
    if (static_cast<size_t>(pad_.InkCount) + entries.size() > schedule::kMaxInkEntries) {
        Screen().ShowMessageBox(kInkFullMessage, u"", gui::MessageBoxButtons::Ok);
        return;
    }
    for (size_t index = 0; index < entries.size(); ++index) {
        schedule::InkEntry entry = entries[index];
        if (schedule::KindOfInkEntry(entry) == schedule::InkEntryKind::Point) {
            if (IsThinnedAway(entries, index)) {
                continue;
            }
            entry = {entry.x - dx, entry.y - dy};
        }
        pad_.InkBuffer[static_cast<size_t>(pad_.InkCount)] = entry;
        ++pad_.InkCount;
    }
}

// ---- Toolbar ----

void HandwritingPad::PickColour(int32_t colour) {
    // The stroke pen takes the colour at the next pen move.
    colour_ = colour;
    InvalidateAll(true);
}

void HandwritingPad::Undo() {
    // One entry alone is no stroke to take back.
    if (pad_.InkCount <= 1) {
        return;
    }
    // The last end record, then back to the end record of the stroke before.
    --pad_.InkCount;
    while (pad_.InkCount > 0 &&
           schedule::KindOfInkEntry(pad_.InkBuffer[static_cast<size_t>(pad_.InkCount) - 1]) !=
               schedule::InkEntryKind::End) {
        --pad_.InkCount;
    }
    InvalidateAll(true);
}

void HandwritingPad::Clear() {
    // The text box keeps its text; the stroke pen is left until the next move rebuilds it.
    colour_ = 0;
    width_ = kMinWidth;
    pad_.InkCount = 0;
    InvalidateAll(true);
}

void HandwritingPad::NextWidth() {
    width_ = width_ >= kMaxWidth ? kMinWidth : width_ + 1;
    strokePen = gui::Pen::Solid(schedule::InkColourOf(colour_), width_);
    InvalidateAll(true);
}

void HandwritingPad::SwitchMode() {
    gui::DeviceScreen& screen = Screen();
    if (pad_.PadTextMode == 1) {
        textBox_->Hide();
        pad_.PadTextMode = 0;
        if (padEnlarged_ == 1) {
            screen.HideInputPanel();
        }
    } else {
        // Whatever was typed before is replaced: the text box always starts from PadText.
        textBox_->Show();
        textBox_->SetText(pad_.PadText);
        pad_.PadTextMode = 1;
        if (padEnlarged_ == 1) {
            screen.ShowInputPanel();
            FitTextBoxAboveInputPanel();
        }
    }
    InvalidateAll(true);
}

void HandwritingPad::SwitchSize() {
    gui::Window* parent = Parent();
    const bool enlarging = padEnlarged_ != 1;
    if (parent) {
        for (gui::Window* sibling : parent->Children()) {
            if (sibling == this) {
                continue;
            }
            if (enlarging) {
                sibling->Hide();
            } else {
                sibling->Show();
            }
        }
    }
    if (enlarging) {
        Move(enlargedPlace_.left, enlargedPlace_.top, enlargedPlace_.Width(),
             enlargedPlace_.Height(), true);
        if (pad_.PadTextMode == 1) {
            Screen().ShowInputPanel();
            FitTextBoxAboveInputPanel();
        } else {
            Screen().HideInputPanel();
        }
    } else {
        // The input panel stays as it is.
        Move(normalPlace_.left, normalPlace_.top, normalPlace_.Width(), normalPlace_.Height(),
             true);
        PlaceTextBox();
    }
    if (parent) {
        parent->InvalidateAll(true);
    }
    padEnlarged_ = enlarging ? 1 : 0;
}

void HandwritingPad::SetPlaces(const gui::Rect& normal, const gui::Rect& enlarged) {
    normalPlace_ = normal;
    enlargedPlace_ = enlarged;
    const Rect& place = padEnlarged_ == 1 ? enlargedPlace_ : normalPlace_;
    Move(place.left, place.top, place.Width(), place.Height(), true);
    if (padEnlarged_ == 1 && pad_.PadTextMode == 1) {
        FitTextBoxAboveInputPanel();
    } else {
        PlaceTextBox();
    }
}

void HandwritingPad::PlaceTextBox() {
    const int height = std::min(kTextBox.Height(), ClientRect().Height() - kTextBox.top);
    textBox_->Move(kTextBox.left, kTextBox.top, ClientRect().Width(), std::max(0, height), true);
}

void HandwritingPad::FitTextBoxAboveInputPanel() {
    const int height = Screen().InputPanelRect().top - kTextBoxAbovePanel;
    textBox_->Move(kTextBox.left, kTextBox.top, ClientRect().Width(), height, true);
}

std::u16string HandwritingPad::ReadPadText() const {
    const std::u16string text = textBox_->Text();
    return std::u16string(WithinPadTextLimit(text));
}

void RegisterHandWriteClass() {
    strokePen = gui::Pen::Solid(gui::kBlack, kMinWidth);
}

void ReleasePadResources() {
    strokePen.reset();
}

}  // namespace controls

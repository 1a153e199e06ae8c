#pragma once

#include <QGlyphRun>
#include <QImage>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gui/brush.h"
#include "platform/gui/colors.h"
#include "platform/gui/font.h"
#include "platform/gui/geometry.h"
#include "platform/gui/pen.h"

namespace gui {

// Where text goes in its rectangle. Text is one line; centring divides the spare pixels by two
// and drops the odd one, so centred text leans left and up.
enum class TextAlign {
    LeftTop,
    CenterTop,
    Center,  // horizontally and vertically
    RightTop,
};

struct TextSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const TextSize&, const TextSize&) = default;
};

// The drawing surface of one paint: an image and the drawing state that goes with it (pen,
// brush, font, text colour, clip). Every panel, on the screen or in an off-screen image, is
// drawn through this one class, pixel for pixel the same. Coordinates are the image's pixels.
//
// A fresh surface holds a black 1-pixel pen, the white stock brush, a 12-pixel gothic font,
// black text and a clip covering the whole image. Text is always drawn without a background.
// Make one per paint: the surface keeps a reference to the image and must not outlive it.
class Surface {
public:
    // The image should be Format_RGB32 or Format_ARGB32(_Premultiplied); other formats work
    // through Qt's slower per-pixel path.
    explicit Surface(QImage& target);

    int Width() const { return target_.width(); }
    int Height() const { return target_.height(); }

    // Each Select returns what was selected before, so a caller can put it back.
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    Font SelectFont(const Font& font);
    ColorRef SetTextColor(ColorRef color);
    const Pen& CurrentPen() const { return pen_; }
    const Brush& CurrentBrush() const { return brush_; }
    const Font& CurrentFont() const { return font_; }
    ColorRef TextColor() const { return textColor_; }

    // Limits every later drawing operation to [left, right) x [top, bottom) within the image.
    void SetClip(int left, int top, int right, int bottom);
    void ResetClip();
    Rect Clip() const { return clip_; }

    // Covers [left, right) x [top, bottom); a rectangle given right-to-left or bottom-to-top is
    // taken the right way round.
    void FillRect(int left, int top, int right, int bottom, ColorRef color);
    void FillRect(int left, int top, int right, int bottom, const Brush& brush);

    // A border in the current pen on the outermost pixels of [left, right) x [top, bottom), the
    // inside filled with the current brush: (x, y, x + 1, bottom) is a vertical line. With the
    // null pen there is no border and the brush covers [left, right - 1) x [top, bottom - 1).
    void Rectangle(int left, int top, int right, int bottom);

    // Line segments through the points in the current pen; each segment leaves out its end
    // pixel (see LinePixels), so one point draws nothing and two points leave out the second.
    void Polyline(std::span<const Point> points);
    void Polyline(std::initializer_list<Point> points);

    void SetPixel(int x, int y, ColorRef color);
    // The colour at (x, y), or nothing outside the clip.
    std::optional<ColorRef> GetPixel(int x, int y) const;

    // Draws one line of text in the current font and text colour, placed in `rect` by `align`
    // and clipped to it. Text is drawn as given: "&" is an ordinary character.
    void DrawText(std::u16string_view text, const Rect& rect, TextAlign align);
    // The width the text takes in the current font, and the font's cell height.
    TextSize MeasureText(std::u16string_view text) const;

    // Draws an image at its own size with its top-left corner at (x, y), blending where it is
    // transparent.
    void DrawImage(const QImage& image, int x, int y);

private:
    Rect Bounds() const;
    void FillClipped(const Rect& rect, ColorRef color);
    void DrawSegment(Point from, Point to);

    // The text's glyphs at the planner's face's own pitch, and their width; nullopt when the
    // font keeps Qt's layout.
    std::optional<QGlyphRun> DevicePitchRun(const QString& text, int& width) const;

    QImage& target_;
    Pen pen_;
    Brush brush_;
    Font font_;
    ColorRef textColor_ = kBlack;
    Rect clip_;
    std::vector<Point> linePixels_;  // reused by every line of the paint
};

}  // namespace gui

#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>
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
    // The border is one pixel and solid whatever the pen's width and style.
    void Rectangle(int left, int top, int right, int bottom);

    // Line segments through the points in the current pen; each segment leaves out its end
    // pixel (see LinePixels), so one point draws nothing and two points leave out the second.
    // A dashed pen lights the same pixels where they fall on a dash, the pattern counted along
    // the polyline's pixels from its first point across every segment (see kDashOnPixels).
    void Polyline(std::span<const Point> points);
    void Polyline(std::initializer_list<Point> points);

    void SetPixel(int x, int y, ColorRef color);
    // The colour at (x, y), or nothing outside the clip.
    std::optional<ColorRef> GetPixel(int x, int y) const;

    // Draws one line of text in the current font and text colour, placed in `rect` by `align`
    // and clipped to it. Text is drawn as given: "&" is an ordinary character. In the planner's
    // face a character the face lacks is drawn in whatever face Qt finds for it, as wide as Qt
    // makes it, and the others keep their places on the face's pitch.
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
    void DrawDashedPolyline(std::span<const Point> points);

    // One line laid out at the planner's face's own pitch. The characters the face has are
    // glyphs on the pitch; each run of characters it lacks is a piece Qt draws in whatever
    // face it finds for them, at Qt's own width, so that it moves nothing else on the line.
    struct FallbackPiece {
        QString text;
        int x = 0;  // from the line's start
    };
    struct PitchedLine {
        QList<quint32> glyphs;     // in the planner's face
        QList<QPointF> positions;  // of the glyphs, from the line's start on the baseline
        std::vector<FallbackPiece> fallbacks;
        int width = 0;
    };
    // Nothing when the font keeps Qt's layout.
    std::optional<PitchedLine> DevicePitchLine(const QString& text) const;

    QImage& target_;
    Pen pen_;
    Brush brush_;
    Font font_;
    ColorRef textColor_ = kBlack;
    Rect clip_;
    std::vector<Point> linePixels_;  // reused by every line of the paint
};

}  // namespace gui

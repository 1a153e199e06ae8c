#include "platform/gui/surface.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/gui/line_rasteriser.h"

namespace gui {

namespace {

constexpr int kDefaultFontCellHeight = 12;

Rect Normalised(const Rect& rect) {
    return {std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
            std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
}

Rect Intersect(const Rect& a, const Rect& b) {
    const Rect overlap{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                       std::min(a.bottom, b.bottom)};
    return overlap.IsEmpty() ? Rect{} : overlap;
}

QRect ToQRect(const Rect& rect) {
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

bool HasDirectPixels(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The UTF-16 units of the character at `unit`: two for a surrogate pair, one otherwise (a lone
// surrogate too), as Qt counts characters when it maps them to glyphs.
qsizetype UnitsOfCharacter(const QString& text, qsizetype unit) {
    return QChar::isHighSurrogate(text[unit].unicode()) && unit + 1 < text.size() &&
                   QChar::isLowSurrogate(text[unit + 1].unicode())
               ? 2
               : 1;
}

}  // namespace

Surface::Surface(QImage& target)
    : target_(target),
      pen_(Pen::Solid(kBlack)),
      brush_(Brush::Stock(StockBrush::White)),
      font_(FontRequest{u"MS ゴシック", kDefaultFontCellHeight, false}),
      clip_(Bounds()) {}

Pen Surface::SelectPen(const Pen& pen) {
    return std::exchange(pen_, pen);
}

Brush Surface::SelectBrush(const Brush& brush) {
    return std::exchange(brush_, brush);
}

Font Surface::SelectFont(const Font& font) {
    return std::exchange(font_, font);
}

ColorRef Surface::SetTextColor(ColorRef color) {
    return std::exchange(textColor_, color);
}

void Surface::SetClip(int left, int top, int right, int bottom) {
    clip_ = Intersect(Normalised({left, top, right, bottom}), Bounds());
}

void Surface::ResetClip() {
    clip_ = Bounds();
}

Rect Surface::Bounds() const {
    return {0, 0, target_.width(), target_.height()};
}

void Surface::FillRect(int left, int top, int right, int bottom, ColorRef color) {
    FillClipped(Normalised({left, top, right, bottom}), color);
}

void Surface::FillRect(int left, int top, int right, int bottom, const Brush& brush) {
    if (!brush.IsNull()) {
        FillRect(left, top, right, bottom, brush.color);
    }
}

void Surface::Rectangle(int left, int top, int right, int bottom) {
    const Rect r = Normalised({left, top, right, bottom});
    if (r.IsEmpty()) {
        return;
    }
    if (pen_.IsNull()) {
        FillRect(r.left, r.top, r.right - 1, r.bottom - 1, brush_);
        return;
    }
    if (r.Width() > 2 && r.Height() > 2) {
        FillRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, brush_);
    }
    const ColorRef border = pen_.color;
    FillClipped({r.left, r.top, r.right, r.top + 1}, border);
    FillClipped({r.left, r.bottom - 1, r.right, r.bottom}, border);
    FillClipped({r.left, r.top, r.left + 1, r.bottom}, border);
    FillClipped({r.right - 1, r.top, r.right, r.bottom}, border);
}

void Surface::Polyline(std::span<const Point> points) {
    if (pen_.IsNull()) {
        return;
    }
    if (pen_.style == Pen::Style::Dash) {
        DrawDashedPolyline(points);
        return;
    }
    for (size_t i = 1; i < points.size(); ++i) {
        DrawSegment(points[i - 1], points[i]);
    }
}

void Surface::Polyline(std::initializer_list<Point> points) {
    Polyline(std::span<const Point>(points.begin(), points.size()));
}

void Surface::DrawSegment(Point from, Point to) {
    // A wide pen stamps a square centred on each pixel of the thin line; the window takes in
    // the pixels whose square still reaches into the clip.
    const int before = (pen_.width - 1) / 2;
    const int after = pen_.width / 2;
    const Rect window{clip_.left - after, clip_.top - after, clip_.right + before,
                      clip_.bottom + before};
    LinePixels(from, to, window, linePixels_);
    if (pen_.width == 1 && HasDirectPixels(target_.format())) {
        // The common case (every 1-pixel line, all ink in the day list): the window is the clip,
        // so every pixel is drawn, straight into the image.
        const QRgb pixel = ToQRgb(pen_.color);
        uchar* bits = target_.bits();
        const qsizetype stride = target_.bytesPerLine();
        for (const Point& p : linePixels_) {
            reinterpret_cast<QRgb*>(bits + p.y * stride)[p.x] = pixel;
        }
        return;
    }
    for (const Point& p : linePixels_) {
        if (pen_.width == 1) {
            FillClipped({p.x, p.y, p.x + 1, p.y + 1}, pen_.color);
        } else {
            FillClipped({p.x - before, p.y - before, p.x + after + 1, p.y + after + 1}, pen_.color);
        }
    }
}

void Surface::DrawDashedPolyline(std::span<const Point> points) {
    constexpr int64_t kPeriod = kDashOnPixels + kDashOffPixels;
    const bool direct = HasDirectPixels(target_.format());
    const QRgb pixel = ToQRgb(pen_.color);
    uchar* bits = direct ? target_.bits() : nullptr;
    const qsizetype stride = target_.bytesPerLine();
    // Where the segment's first pixel falls in the pattern: the count runs on from the pixels
    // of the segments before it, drawn or clipped.
    int64_t phase = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        const Point from = points[i - 1];
        const Point to = points[i];
        const int64_t dx = std::llabs(static_cast<int64_t>(to.x) - from.x);
        const int64_t dy = std::llabs(static_cast<int64_t>(to.y) - from.y);
        // The line lights one pixel per step along its major axis, so a pixel's place along
        // the line is its distance from the first pixel on that axis.
        const bool xMajor = dx >= dy;
        LinePixels(from, to, clip_, linePixels_);
        for (const Point& p : linePixels_) {
            const int64_t along = xMajor ? std::llabs(static_cast<int64_t>(p.x) - from.x)
                                         : std::llabs(static_cast<int64_t>(p.y) - from.y);
            if ((phase + along) % kPeriod >= kDashOnPixels) {
                continue;
            }
            if (direct) {
                reinterpret_cast<QRgb*>(bits + p.y * stride)[p.x] = pixel;
            } else {
                FillClipped({p.x, p.y, p.x + 1, p.y + 1}, pen_.color);
            }
        }
        phase = (phase + std::max(dx, dy)) % kPeriod;
    }
}

void Surface::SetPixel(int x, int y, ColorRef color) {
    FillClipped({x, y, x + 1, y + 1}, color);
}

std::optional<ColorRef> Surface::GetPixel(int x, int y) const {
    if (!clip_.Contains({x, y})) {
        return std::nullopt;
    }
    return FromQRgb(target_.pixel(x, y));
}

void Surface::FillClipped(const Rect& rect, ColorRef color) {
    const Rect area = Intersect(rect, clip_);
    if (area.IsEmpty()) {
        return;
    }
    const QRgb pixel = ToQRgb(color);
    if (!HasDirectPixels(target_.format())) {
        const QColor qtColor = ToQColor(color);
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                target_.setPixelColor(x, y, qtColor);
            }
        }
        return;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(target_.scanLine(y));
        std::fill(row + area.left, row + area.right, pixel);
    }
}

std::optional<Surface::PitchedLine> Surface::DevicePitchLine(const QString& text) const {
    const QRawFont* face = font_.DevicePitchFace();
    if (face == nullptr) {
        return std::nullopt;
    }
    // One glyph per character, 0 where the face lacks it.
    const QList<quint32> glyphs = face->glyphIndexesForString(text);
    const QList<QPointF> advances = face->advancesForGlyphIndexes(glyphs);
    const int cell = font_.CellHeight();
    PitchedLine line;
    line.positions.reserve(glyphs.size());
    // The glyphs the face has, once a missing one has made them fewer than `glyphs`.
    QList<quint32> kept;
    bool missing = false;
    std::optional<QFontMetrics> qtMetrics;  // for the characters Qt lays out
    int x = 0;
    qsizetype unit = 0;  // where the character of glyph i starts in the text
    qsizetype i = 0;
    while (i < glyphs.size() && unit < text.size()) {
        if (glyphs[i] != 0) {
            if (missing) {
                kept.append(glyphs[i]);
            }
            line.positions.append(QPointF(x, 0));
            const double natural = advances[i].x();
            // Full-width glyphs are an em wide, half-width ones half an em; marks take no room.
            x += natural <= 0 ? 0 : (natural > 0.75 * cell ? cell : cell / 2);
            unit += UnitsOfCharacter(text, unit);
            ++i;
            continue;
        }
        if (!missing) {
            kept = glyphs.first(i);
            missing = true;
        }
        // Consecutive characters the face lacks go to Qt together, so that Qt can join and
        // shape them: Arabic letters, or an emoji with its variation selector.
        const qsizetype first = unit;
        while (i < glyphs.size() && unit < text.size() && glyphs[i] == 0) {
            unit += UnitsOfCharacter(text, unit);
            ++i;
        }
        QString piece = text.sliced(first, unit - first);
        if (!qtMetrics) {
            qtMetrics.emplace(font_.QtFont());
        }
        const int width = qtMetrics->horizontalAdvance(piece);
        line.fallbacks.push_back({std::move(piece), x});
        x += width;
    }
    if (i != glyphs.size() || unit != text.size()) {
        // Glyphs and characters do not pair up: leave the whole line to Qt.
        return std::nullopt;
    }
    line.glyphs = missing ? std::move(kept) : glyphs;
    line.width = x;
    return line;
}

void Surface::DrawText(std::u16string_view text, const Rect& rect, TextAlign align) {
    const Rect area = Intersect(rect, clip_);
    if (area.IsEmpty() || text.empty()) {
        return;
    }
    const QString qtText = ToQString(text);
    const std::optional<PitchedLine> line = DevicePitchLine(qtText);
    const TextSize size = line ? TextSize{line->width, font_.CellHeight()} : MeasureText(text);
    int x = rect.left;
    int top = rect.top;
    switch (align) {
        case TextAlign::LeftTop:
            break;
        case TextAlign::CenterTop:
            x = rect.left + (rect.Width() - size.width) / 2;
            break;
        case TextAlign::Center:
            x = rect.left + (rect.Width() - size.width) / 2;
            top = rect.top + (rect.Height() - size.height) / 2;
            break;
        case TextAlign::RightTop:
            x = rect.right - size.width;
            break;
    }
    QPainter painter(&target_);
    painter.setClipRect(ToQRect(area));
    painter.setFont(font_.QtFont());
    painter.setPen(ToQColor(textColor_));
    const int baseline = top + font_.Ascent();
    if (!line) {
        painter.drawText(QPoint(x, baseline), qtText);
        return;
    }
    if (!line->glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(*font_.DevicePitchFace());
        run.setGlyphIndexes(line->glyphs);
        run.setPositions(line->positions);
        painter.drawGlyphRun(QPointF(x, baseline), run);
    }
    for (const FallbackPiece& piece : line->fallbacks) {
        painter.drawText(QPoint(x + piece.x, baseline), piece.text);
    }
}

TextSize Surface::MeasureText(std::u16string_view text) const {
    const QString qtText = ToQString(text);
    const std::optional<PitchedLine> line = DevicePitchLine(qtText);
    const int width = line ? line->width : QFontMetrics(font_.QtFont()).horizontalAdvance(qtText);
    return {width, font_.CellHeight()};
}

void Surface::DrawImage(const QImage& image, int x, int y) {
    const Rect area = Intersect({x, y, x + image.width(), y + image.height()}, clip_);
    if (area.IsEmpty()) {
        return;
    }
    QPainter painter(&target_);
    painter.setClipRect(ToQRect(area));
    painter.drawImage(QPoint(x, y), image);
}

}  // namespace gui

#include "platform/gui/surface.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QString>
#include <algorithm>
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

std::optional<QGlyphRun> Surface::DevicePitchRun(const QString& text, int& width) const {
    const QRawFont* face = font_.DevicePitchFace();
    if (face == nullptr) {
        return std::nullopt;
    }
    const QList<quint32> glyphs = face->glyphIndexesForString(text);
    const QList<QPointF> advances = face->advancesForGlyphIndexes(glyphs);
    const int cell = font_.CellHeight();
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    double x = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        // A character the face lacks is left to Qt, which finds it in another face.
        if (glyphs[i] == 0) {
            return std::nullopt;
        }
        positions.append(QPointF(x, 0));
        const double natural = advances[i].x();
        // Full-width glyphs are an em wide, half-width ones half an em; marks take no room.
        x += natural <= 0 ? 0 : (natural > 0.75 * cell ? cell : cell / 2);
    }
    width = static_cast<int>(x);
    QGlyphRun run;
    run.setRawFont(*face);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

void Surface::DrawText(std::u16string_view text, const Rect& rect, TextAlign align) {
    const Rect area = Intersect(rect, clip_);
    if (area.IsEmpty() || text.empty()) {
        return;
    }
    const QString qtText = ToQString(text);
    int pitchedWidth = 0;
    const std::optional<QGlyphRun> run = DevicePitchRun(qtText, pitchedWidth);
    const TextSize size = run ? TextSize{pitchedWidth, font_.CellHeight()} : MeasureText(text);
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
    if (run) {
        painter.drawGlyphRun(QPointF(x, top + font_.Ascent()), *run);
    } else {
        painter.drawText(QPoint(x, top + font_.Ascent()), qtText);
    }
}

TextSize Surface::MeasureText(std::u16string_view text) const {
    const QString qtText = ToQString(text);
    int width = 0;
    if (!DevicePitchRun(qtText, width)) {
        width = QFontMetrics(font_.QtFont()).horizontalAdvance(qtText);
    }
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

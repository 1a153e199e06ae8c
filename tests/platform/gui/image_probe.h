#pragma once

#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

#include "platform/gui/colors.h"
#include "platform/gui/geometry.h"

namespace gui {

// The pixel colour of an image, as the program names colours.
inline ColorRef ColorAt(const QImage& image, int x, int y) {
    return FromQRgb(image.pixel(x, y));
}

// The smallest rectangle holding every pixel that differs from the background, if any does.
inline std::optional<Rect> InkBounds(const QImage& image, ColorRef background) {
    std::optional<Rect> bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ColorAt(image, x, y) == background) {
                continue;
            }
            if (!bounds) {
                bounds = Rect{x, y, x + 1, y + 1};
            } else {
                *bounds = bounds->Union({x, y, x + 1, y + 1});
            }
        }
    }
    return bounds;
}

// Every pixel of the given colour, row by row.
inline std::vector<Point> PixelsOf(const QImage& image, ColorRef color) {
    std::vector<Point> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ColorAt(image, x, y) == color) {
                pixels.push_back({x, y});
            }
        }
    }
    return pixels;
}

inline QImage BlankImage(int width, int height, ColorRef background) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(ToQColor(background));
    return image;
}

}  // namespace gui

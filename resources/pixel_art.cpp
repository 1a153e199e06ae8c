#include "resources/pixel_art.h"

#include <QRgb>
#include <array>

namespace resources {
namespace {

struct PaletteEntry {
    char key;
    QRgb colour;
};

constexpr std::array kPalette{
    PaletteEntry{'k', qRgb(0, 0, 0)},       PaletteEntry{'K', qRgb(64, 64, 64)},
    PaletteEntry{'g', qRgb(128, 128, 128)}, PaletteEntry{'l', qRgb(192, 192, 192)},
    PaletteEntry{'w', qRgb(255, 255, 255)}, PaletteEntry{'y', qRgb(255, 216, 0)},
    PaletteEntry{'Y', qRgb(255, 248, 176)}, PaletteEntry{'o', qRgb(208, 152, 0)},
    PaletteEntry{'O', qRgb(240, 144, 0)},   PaletteEntry{'d', qRgb(112, 80, 0)},
    PaletteEntry{'n', qRgb(120, 72, 24)},   PaletteEntry{'r', qRgb(224, 0, 0)},
    PaletteEntry{'b', qRgb(40, 104, 216)},  PaletteEntry{'B', qRgb(16, 56, 144)},
    PaletteEntry{'e', qRgb(240, 200, 144)},
};

QRgb PaletteColour(char key) {
    for (const PaletteEntry& entry : kPalette) {
        if (entry.key == key) {
            return entry.colour;
        }
    }
    return qRgba(0, 0, 0, 0);
}

}  // namespace

QImage DrawPixelArt(std::span<const std::string_view> rows) {
    if (rows.empty()) {
        return {};
    }
    const int width = static_cast<int>(rows.front().size());
    QImage image(width, static_cast<int>(rows.size()), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const std::string_view row = rows[static_cast<size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const auto column = static_cast<size_t>(x);
            image.setPixel(x, y, column < row.size() ? PaletteColour(row[column]) : 0);
        }
    }
    return image;
}

}  // namespace resources

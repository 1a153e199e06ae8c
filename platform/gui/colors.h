#pragma once

#include <QColor>
#include <QRgb>
#include <cmath>
#include <cstdint>

namespace gui {

// A colour as the planner stores and passes it: 0x00BBGGRR, red in the low byte.
using ColorRef = uint32_t;

constexpr ColorRef Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
           (static_cast<ColorRef>(blue) << 16);
}

constexpr uint8_t RedOf(ColorRef color) {
    return static_cast<uint8_t>(color & 0xFF);
}
constexpr uint8_t GreenOf(ColorRef color) {
    return static_cast<uint8_t>((color >> 8) & 0xFF);
}
constexpr uint8_t BlueOf(ColorRef color) {
    return static_cast<uint8_t>((color >> 16) & 0xFF);
}

// Opaque Qt pixel value of a colour; the top byte of a ColorRef is ignored.
constexpr QRgb ToQRgb(ColorRef color) {
    return qRgb(RedOf(color), GreenOf(color), BlueOf(color));
}

// The colour of a pixel read back from an image; alpha is dropped.
constexpr ColorRef FromQRgb(QRgb pixel) {
    return Rgb(static_cast<uint8_t>(qRed(pixel)), static_cast<uint8_t>(qGreen(pixel)),
               static_cast<uint8_t>(qBlue(pixel)));
}

inline QColor ToQColor(ColorRef color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

inline constexpr ColorRef kBlack = Rgb(0, 0, 0);
inline constexpr ColorRef kWhite = Rgb(255, 255, 255);

// How bright a colour looks, 0 (black) to 1 (white): its relative luminance, from the channels
// made linear again.
inline double RelativeLuminance(ColorRef color) {
    const auto linear = [](uint8_t channel) {
        const double value = channel / 255.0;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(RedOf(color)) + 0.7152 * linear(GreenOf(color)) +
           0.0722 * linear(BlueOf(color));
}

// Black or white, whichever contrasts more with the background: text on a colour the user
// chose stays readable whatever the colour (white on blue or black, black on yellow or red).
inline ColorRef ReadableTextOn(ColorRef background) {
    // The contrast of two luminances is (lighter + 0.05) / (darker + 0.05).
    const double luminance = RelativeLuminance(background);
    const double onBlack = (luminance + 0.05) / 0.05;
    const double onWhite = 1.05 / (luminance + 0.05);
    return onWhite > onBlack ? kWhite : kBlack;
}
// The greys of the stock brushes: light grey, grey and dark grey.
inline constexpr ColorRef kLightGray = Rgb(0xC0, 0xC0, 0xC0);
inline constexpr ColorRef kGray = Rgb(0x80, 0x80, 0x80);
inline constexpr ColorRef kDarkGray = Rgb(0x40, 0x40, 0x40);

}  // namespace gui

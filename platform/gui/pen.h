#pragma once

#include "platform/gui/colors.h"

namespace gui {

// A dashed line's pixels, counted from its first: 4 on, 4 off reads as a dashed guide, not dots.
inline constexpr int kDashOnPixels = 4;
inline constexpr int kDashOffPixels = 4;

// What a surface draws lines and rectangle borders with. A null pen draws nothing. A dashed
// pen is always one pixel wide and dashes only lines; rectangle borders stay solid whatever
// the pen.
struct Pen {
    enum class Style { Solid, Dash, Null };

    Style style = Style::Solid;
    ColorRef color = kBlack;
    // Lines wider than one pixel are drawn by stamping a width x width square on every pixel
    // of the 1-pixel line; rectangle borders are always one pixel.
    int width = 1;

    static constexpr Pen Solid(ColorRef color, int width = 1) {
        return Pen{Style::Solid, color, width < 1 ? 1 : width};
    }
    static constexpr Pen Dashed(ColorRef color) { return Pen{Style::Dash, color, 1}; }
    static constexpr Pen Null() { return Pen{Style::Null, kBlack, 1}; }

    constexpr bool IsNull() const { return style == Style::Null; }
    friend constexpr bool operator==(const Pen&, const Pen&) = default;
};

}  // namespace gui

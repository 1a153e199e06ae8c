#pragma once

#include "platform/gui/colors.h"

namespace gui {

// What a surface draws lines and rectangle borders with. A null pen draws nothing.
struct Pen {
    enum class Style { Solid, Null };

    Style style = Style::Solid;
    ColorRef color = kBlack;
    // Lines wider than one pixel are drawn by stamping a width x width square on every pixel
    // of the 1-pixel line; rectangle borders are always one pixel.
    int width = 1;

    static constexpr Pen Solid(ColorRef color, int width = 1) {
        return Pen{Style::Solid, color, width < 1 ? 1 : width};
    }
    static constexpr Pen Null() { return Pen{Style::Null, kBlack, 1}; }

    constexpr bool IsNull() const { return style == Style::Null; }
    friend constexpr bool operator==(const Pen&, const Pen&) = default;
};

}  // namespace gui

#pragma once

#include "platform/gui/colors.h"

namespace gui {

// The brushes every surface can use without making one.
enum class StockBrush { White, LightGray, Gray, DarkGray, Black, Null };

// What a surface fills rectangles with. A null brush leaves the interior as it is.
struct Brush {
    enum class Style { Solid, Null };

    Style style = Style::Solid;
    ColorRef color = kWhite;

    static constexpr Brush Solid(ColorRef color) { return Brush{Style::Solid, color}; }
    static constexpr Brush Null() { return Brush{Style::Null, kWhite}; }
    static constexpr Brush Stock(StockBrush which) {
        switch (which) {
            case StockBrush::White:
                return Solid(kWhite);
            case StockBrush::LightGray:
                return Solid(kLightGray);
            case StockBrush::Gray:
                return Solid(kGray);
            case StockBrush::DarkGray:
                return Solid(kDarkGray);
            case StockBrush::Black:
                return Solid(kBlack);
            case StockBrush::Null:
                break;
        }
        return Null();
    }

    constexpr bool IsNull() const { return style == Style::Null; }
    friend constexpr bool operator==(const Brush&, const Brush&) = default;
};

}  // namespace gui

#pragma once

#include "platform/gui/geometry.h"

namespace gui {

// Dialog units of a dialog font: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height, each converted with rounding.
//
// Every dialog face is drawn in the controls' gothic face, at the point size on the handheld's
// 96 dots per inch. For "System" 8 that is an 11-pixel font with base units 6 x 12; for
// "System" 9 a 12-pixel font with base units 6 x 13 (the gothic's Latin letters are half an
// em wide, rounded up, and its height is ascent plus descent).
class DialogUnits {
public:
    DialogUnits(int baseX, int baseY, int fontPixels)
        : baseX_(baseX), baseY_(baseY), fontPixels_(fontPixels) {}
    // The units of the controls' face at a point size (0 or less: the handheld's default).
    static DialogUnits ForPointSize(int pointSize);

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    // The dialog font's character height in device pixels.
    int FontPixels() const { return fontPixels_; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    // A rectangle given as position and size in dialog units; each value is converted on its
    // own, as dialog templates are laid out.
    Rect ToPixels(int x, int y, int width, int height) const;

private:
    int baseX_;
    int baseY_;
    int fontPixels_;
};

}  // namespace gui

#pragma once

#include "platform/gui/geometry.h"

namespace gui {

// Dialog units of a dialog font: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height, each converted with rounding.
//
// The templates name the handheld's "System" face, a proportional gothic: its Latin letters,
// over which the average is taken, are wider than half an em, so a template leaves full-width
// text more room than half-em letters would. The average is therefore measured on the host's
// proportional gothic, while the controls draw in the fixed-pitch one, whose full-width
// characters are just as wide. The point size is taken on the handheld's 96 dots per inch: for
// "System" 8 an 11-pixel font with base units 7 x 12, for "System" 9 a 12-pixel font with base
// units 7 x 13 (the height is ascent plus descent).
class DialogUnits {
public:
    DialogUnits(int baseX, int baseY, int fontPixels)
        : baseX_(baseX), baseY_(baseY), fontPixels_(fontPixels) {}
    // The units of the dialog face at a point size (0 or less: the handheld's default size).
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

#pragma once

#include "platform/gui/geometry.h"

class QPainter;

namespace gui {

// The shell's input panel button at the right end of the menu bar: a square of 24 device pixels
// in the bar's bottom-right corner that shows and hides the input panel, in both orientations.
inline constexpr int kInputPanelButtonSize = 24;

// Where the button lies on a screen of that size, in screen pixels.
constexpr Rect InputPanelButtonRect(int screenWidth, int screenHeight) {
    return {screenWidth - kInputPanelButtonSize, screenHeight - kInputPanelButtonSize, screenWidth,
            screenHeight};
}

// Draws the button at a zoom: a small keyboard with a pen over it, drawn pressed (the bars' dark
// colour behind a white picture) while the panel is up.
void DrawInputPanelButton(QPainter& painter, const Rect& button, int zoom, bool panelShown);

}  // namespace gui

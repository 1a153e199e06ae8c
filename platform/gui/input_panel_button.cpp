#include "platform/gui/input_panel_button.h"

#include <QPainter>

#include "platform/gui/shell_look.h"

namespace gui {
namespace {

// The picture, in the button's own pixels: a keyboard of three rows of keys with a pen lying
// across its top right corner.
constexpr Rect kKeyboard{3, 10, 21, 21};
constexpr int kKeyTop = 12;
constexpr int kKeyRows = 3;
constexpr int kKeyPitch = 3;
constexpr int kKeyLeft = 5;
constexpr int kKeysPerRow = 5;
constexpr Rect kSpaceBar{8, 18, 16, 19};
// The pen: from its tip at the lower left up to its end at the upper right.
constexpr int kPenTipX = 11;
constexpr int kPenTipY = 8;
constexpr int kPenLength = 8;

void FillPixels(QPainter& painter, const Rect& button, const Rect& part, int zoom,
                const QColor& color) {
    painter.fillRect((button.left + part.left) * zoom, (button.top + part.top) * zoom,
                     part.Width() * zoom, part.Height() * zoom, color);
}

}  // namespace

void DrawInputPanelButton(QPainter& painter, const Rect& button, int zoom, bool panelShown) {
    const QColor background = panelShown ? kBarColor : kMenuBarColor;
    const QColor ink = panelShown ? kBarTextColor : kMenuTextColor;
    FillPixels(painter, button, {0, 0, button.Width(), button.Height()}, zoom, background);
    // The keyboard's outline, one pixel wide.
    FillPixels(painter, button, {kKeyboard.left, kKeyboard.top, kKeyboard.right, kKeyboard.top + 1},
               zoom, ink);
    FillPixels(painter, button,
               {kKeyboard.left, kKeyboard.bottom - 1, kKeyboard.right, kKeyboard.bottom}, zoom,
               ink);
    FillPixels(painter, button,
               {kKeyboard.left, kKeyboard.top, kKeyboard.left + 1, kKeyboard.bottom}, zoom, ink);
    FillPixels(painter, button,
               {kKeyboard.right - 1, kKeyboard.top, kKeyboard.right, kKeyboard.bottom}, zoom, ink);
    // Its keys, and the space bar on the last row.
    for (int row = 0; row < kKeyRows - 1; ++row) {
        for (int key = 0; key < kKeysPerRow; ++key) {
            const int x = kKeyLeft + key * kKeyPitch;
            const int y = kKeyTop + row * kKeyPitch;
            FillPixels(painter, button, {x, y, x + 2, y + 1}, zoom, ink);
        }
    }
    FillPixels(painter, button, kSpaceBar, zoom, ink);
    // The pen, a diagonal of 2-pixel steps.
    for (int step = 0; step < kPenLength; ++step) {
        const int x = kPenTipX + step;
        const int y = kPenTipY - step;
        FillPixels(painter, button, {x, y, x + 2, y + 1}, zoom, ink);
    }
}

}  // namespace gui

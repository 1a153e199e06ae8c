#pragma once

#include <QColor>
#include <QFont>

namespace gui {

// The shell's own look (its bars, its menus and the input panel): quiet colours, so the
// program's windows stay the centre of attention.
inline const QColor kBarColor(0x1F, 0x3A, 0x5F);
inline const QColor kBarTextColor(Qt::white);
inline const QColor kBarDimTextColor(0x9A, 0xA8, 0xBA);
inline const QColor kMenuBarColor(0xE8, 0xEB, 0xEF);
inline const QColor kMenuBarLineColor(0xB5, 0xBC, 0xC6);
inline const QColor kMenuTextColor(0x1A, 0x1A, 0x1A);

// The shell's face at a height in device pixels, at the screen's zoom.
inline QFont ShellFont(int pixelSize, int zoom) {
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(pixelSize * zoom);
    return font;
}

}  // namespace gui

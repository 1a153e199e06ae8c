#pragma once

#include <QFont>
#include <QString>

#include "platform/gui/colors.h"

namespace gui {

// The face every control and dialog is drawn in, whatever face a dialog template names.
inline constexpr char kControlFontFamily[] = "IPAGothic";
// The character height of controls that no dialog font sizes: the handheld's system font.
inline constexpr int kDefaultControlFontPixels = 12;

// The controls' font at the screen's zoom: the device pixel height times the zoom.
QFont ControlFont(int pixelSize, int zoom);

// The handheld's flat look for the control widgets at a zoom: black borders one device pixel
// thick, white fields, no desktop padding, on the given background.
QString ControlStyleSheet(int zoom, ColorRef background);

}  // namespace gui

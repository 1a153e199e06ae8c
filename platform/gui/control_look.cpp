#include "platform/gui/control_look.h"

namespace gui {
namespace {

// Device pixels: the scroll bar's width and the corner rounding of push buttons.
constexpr int kScrollBarWidth = 13;
constexpr int kButtonRounding = 2;

QString CssColor(ColorRef color) {
    return ToQColor(color).name(QColor::HexRgb);
}

}  // namespace

QFont ControlFont(int pixelSize, int zoom) {
    QFont font(QString::fromLatin1(kControlFontFamily));
    font.setPixelSize(pixelSize * zoom);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    return font;
}

QString ControlStyleSheet(int zoom, ColorRef background) {
    const QString line = QStringLiteral("%1px solid black").arg(zoom);
    const QString grey = QStringLiteral("%1px solid #808080").arg(zoom);
    return QStringLiteral(
               "QLabel, QCheckBox { background: %2; color: black; }"
               "QPushButton { background: white; color: black; border: %1; border-radius: %3px;"
               " padding: 0px; }"
               "QPushButton:default { border-width: %4px; }"
               "QPushButton:pressed { background: black; color: white; }"
               "QPushButton:disabled, QLabel:disabled, QCheckBox:disabled { color: #808080; }"
               "QPushButton:disabled { border: %5; }"
               "QLineEdit, QPlainTextEdit { background: white; color: black; border: %1;"
               " padding: 0px; }"
               "QLineEdit:disabled, QPlainTextEdit:disabled { background: %2; color: #808080; }"
               "QComboBox { background: white; color: black; border: %1; padding: 0px; }"
               "QComboBox QLineEdit { border: none; }"
               "QScrollBar:vertical { width: %6px; }"
               "QScrollBar:horizontal { height: %6px; }")
        .arg(line, CssColor(background))
        .arg(kButtonRounding * zoom)
        .arg(2 * zoom)
        .arg(grey)
        .arg(kScrollBarWidth * zoom);
}

}  // namespace gui

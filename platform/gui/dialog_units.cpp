#include "platform/gui/dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QString>

#include "platform/gui/control_look.h"

namespace gui {
namespace {

constexpr int kDotsPerInch = 96;
constexpr int kPointsPerInch = 72;
// The proportional member of the controls' gothic family: the host's stand-in for "System".
constexpr char kDialogFaceFamily[] = "IPAPGothic";

// The dialog face at a pixel height, as the controls' font is made; the controls' own face
// when the proportional one is not installed (texts may then be cut, but every unit is sound).
QFont DialogFace(int pixels) {
    QFont face = ControlFont(pixels, 1);
    face.setFamily(QString::fromLatin1(kDialogFaceFamily));
    if (QFontInfo(face).family() != QLatin1String(kDialogFaceFamily)) {
        return ControlFont(pixels, 1);
    }
    return face;
}

// a * b / c rounded to the nearest whole number, halves away from zero.
int MulDivRounded(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits DialogUnits::ForPointSize(int pointSize) {
    const int pixels = pointSize > 0 ? MulDivRounded(pointSize, kDotsPerInch, kPointsPerInch)
                                     : kDefaultControlFontPixels;
    const QFontMetrics metrics(DialogFace(pixels));
    // The average width is taken over the 52 Latin letters, as the classic rule measures it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    return DialogUnits(baseX, metrics.height(), pixels);
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDivRounded(units, baseX_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
    return MulDivRounded(units, baseY_, 8);
}

Rect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return {left, top, left + ToPixelsX(width), top + ToPixelsY(height)};
}

}  // namespace gui

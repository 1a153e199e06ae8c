#include "platform/gui/font.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <array>
#include <string_view>

namespace gui {

namespace {

// A request without a usable height gets the size of the surface's own font.
constexpr int kDefaultCellHeight = 12;

// The planner's face, by the names it is known under. Fontconfig knows none of them, and left
// to itself would draw the Latin letters in a proportional sans face.
constexpr std::array<std::u16string_view, 3> kGothicFaceNames = {u"MS ゴシック", u"ＭＳ ゴシック",
                                                                 u"MS Gothic"};
// The fixed-pitch gothic face with the same advances: full-width characters one em wide,
// half-width ones half an em.
constexpr char kOutlineGothicFamily[] = "IPAGothic";

// At 9 pixels the outline gothic without smoothing breaks the strokes of 火, 水 and 年, and
// smoothing only blurs them. An 8 x 8 dot-design gothic stays sharp there, so the 9-pixel cell
// takes it at its design size with the spare row above the glyphs, on the baseline the outline
// face would have. Its "2nd" cut has the taller, clearer digits the month grid is made of. Its
// glyphs sit on whole pixels, so smoothing changes nothing. From 10 pixels the outline face
// reads well unsmoothed and keeps the full advances.
constexpr char kDotGothicFamily[] = "MisakiGothic2nd";
constexpr int kDotGothicPixelSize = 8;
constexpr int kDotGothicCell = 9;

QString HostFamilyFor(std::u16string_view face) {
    for (std::u16string_view name : kGothicFaceNames) {
        if (face == name) {
            return QString::fromLatin1(kOutlineGothicFamily);
        }
    }
    return QString::fromUtf16(face.data(), static_cast<qsizetype>(face.size()));
}

QFont MakeQtFont(const QString& family, int pixelSize, bool clearType) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    // Full hinting gives whole-pixel advances, so text measures exactly as it draws.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    // Smoothing is grey only: coloured fringes would be magnified by the screen's zoom and would
    // differ between the screen and an off-screen image.
    font.setStyleStrategy(
        clearType ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                  : QFont::NoAntialias);
    return font;
}

}  // namespace

Font::Font(const FontRequest& request)
    : cellHeight_(request.pixelHeight > 0 ? request.pixelHeight : kDefaultCellHeight),
      clearType_(request.clearType) {
    const QString family = HostFamilyFor(request.face);
    if (family == QLatin1String(kOutlineGothicFamily) && cellHeight_ == kDotGothicCell) {
        const QString dotFamily = QString::fromLatin1(kDotGothicFamily);
        font_ = MakeQtFont(dotFamily, kDotGothicPixelSize, clearType_);
        const QFontMetrics metrics(font_);
        if (QFontInfo(font_).family() == dotFamily &&
            metrics.ascent() + metrics.descent() <= cellHeight_) {
            ascent_ = cellHeight_ - metrics.descent();
            return;
        }
    }
    // The cell is the em square, as in the planner's face: the gothic's em holds every glyph
    // (the rest of its descent is line gap), and advances stay the device's: full-width
    // characters one cell wide, half-width ones half of that, rounded up.
    font_ = MakeQtFont(family, cellHeight_, clearType_);
    ascent_ = std::min(QFontMetrics(font_).ascent(), cellHeight_);
    if (family == QLatin1String(kOutlineGothicFamily)) {
        rawFont_ = QRawFont::fromFont(font_);
        devicePitch_ = rawFont_.isValid();
    }
}

QString Font::Family() const {
    return QFontInfo(font_).family();
}

}  // namespace gui

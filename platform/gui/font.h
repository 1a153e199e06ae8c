#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>
#include <string>

namespace gui {

// What a paint asks for: a face, the character cell height in pixels and whether the text is
// smoothed (ClearType quality) or drawn in plain pixels (default quality).
struct FontRequest {
    std::u16string face;
    int pixelHeight = 0;
    bool clearType = false;
};

// A font made from a request, ready to select into a surface. Cheap to make, copy and drop:
// the glyphs themselves are cached by Qt.
//
// The cell is the requested pixel height: text drawn at the top of a rectangle fills rows
// top .. top + CellHeight() - 1, with the baseline Ascent() rows below the top. Advances are
// whole pixels, so measured widths are exactly the widths drawn.
class Font {
public:
    explicit Font(const FontRequest& request);

    int CellHeight() const { return cellHeight_; }
    int Ascent() const { return ascent_; }
    bool IsClearType() const { return clearType_; }
    // The family the text is really drawn in, as Qt resolved it.
    QString Family() const;
    const QFont& QtFont() const { return font_; }
    // The planner's gothic face lays text out on its own pitch: a full-width character takes
    // the whole cell, a half-width one half of it rounded down, as the handheld's face does (a
    // 13-pixel cell has 6-pixel digits; the outline face would round them up to 7). Null for
    // other faces, which keep Qt's own advances.
    const QRawFont* DevicePitchFace() const { return devicePitch_ ? &rawFont_ : nullptr; }

private:
    QFont font_;
    QRawFont rawFont_;
    bool devicePitch_ = false;
    int cellHeight_ = 0;
    int ascent_ = 0;
    bool clearType_ = false;
};

}  // namespace gui

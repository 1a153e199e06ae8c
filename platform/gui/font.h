#pragma once

#include <QFont>
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

private:
    QFont font_;
    int cellHeight_ = 0;
    int ascent_ = 0;
    bool clearType_ = false;
};

}  // namespace gui

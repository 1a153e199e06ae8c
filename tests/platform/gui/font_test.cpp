#include "platform/gui/font.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <string>

#include "platform/gui/surface.h"
#include "tests/platform/gui/image_probe.h"

namespace gui {
namespace {

constexpr std::u16string_view kSample =
    u"2026年12月 日月火水木金土 1 2 31 期限日:予定件前日翌日未完了▼▲・@ gjpqy_|()[] ÅÉ^`";

Font Gothic(int pixelHeight, bool clearType = false) {
    return Font(FontRequest{u"MS ゴシック", pixelHeight, clearType});
}

TEST(FontTest, PlannerFaceNamesAllDrawInIpaGothic) {
    for (const char16_t* face : {u"MS ゴシック", u"ＭＳ ゴシック", u"MS Gothic"}) {
        const Font font(FontRequest{face, 13, false});
        EXPECT_EQ(font.Family(), QStringLiteral("IPAGothic"));
    }
}

TEST(FontTest, OnlyTheNinePixelCellUsesTheDotGothic) {
    EXPECT_EQ(Gothic(9).Family(), QStringLiteral("MisakiGothic2nd"));
    EXPECT_EQ(Gothic(9, true).Family(), QStringLiteral("MisakiGothic2nd"));
    EXPECT_EQ(Gothic(8).Family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(Gothic(10).Family(), QStringLiteral("IPAGothic"));
}

// The outline gothic's cell is its em: a full-width character is as wide as the cell is high
// and a half-width one half of that, rounded up.
TEST(FontTest, OutlineGothicAdvancesFollowTheCellHeight) {
    for (int height : {10, 11, 12, 13, 60}) {
        const QFontMetrics metrics(Gothic(height).QtFont());
        EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("月")), height);
        EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("2")), (height + 1) / 2) << height;
    }
}

TEST(FontTest, MissingHeightGetsTheSurfaceFontSize) {
    EXPECT_EQ(Gothic(0).CellHeight(), 12);
    EXPECT_EQ(Gothic(-5).CellHeight(), 12);
}

// The requested height is the whole cell: nothing drawn at the top of a rectangle reaches
// below its cell; smoothing may shade one more row.
TEST(FontTest, TextStaysInsideItsCell) {
    for (bool clearType : {false, true}) {
        for (int height : {8, 9, 10, 11, 12, 13, 14, 16, 20, 60}) {
            const Font font = Gothic(height, clearType);
            EXPECT_EQ(font.CellHeight(), height);
            EXPECT_GT(font.Ascent(), 0);
            EXPECT_LE(font.Ascent(), height);

            QImage image = BlankImage(1000, 3 * height, kWhite);
            Surface surface(image);
            surface.SelectFont(font);
            surface.DrawText(kSample, {4, height, 1000, 3 * height}, TextAlign::LeftTop);
            const std::optional<Rect> ink = InkBounds(image, kWhite);
            ASSERT_TRUE(ink.has_value()) << height;
            EXPECT_GE(ink->top, height) << height << (clearType ? " cleartype" : "");
            EXPECT_LE(ink->bottom, 2 * height + (clearType ? 1 : 0))
                << height << (clearType ? " cleartype" : "");
            EXPECT_LE(ink->right, 4 + surface.MeasureText(kSample).width) << height;
        }
    }
}

// The dot gothic's 8 rows sit at the bottom of the 9-pixel cell, on the baseline a full-height
// face would have: the top row stays free, the digits end on the row above the last.
TEST(FontTest, NinePixelCellKeepsItsTopRowFree) {
    QImage image = BlankImage(200, 30, kWhite);
    Surface surface(image);
    surface.SelectFont(Gothic(9));
    surface.DrawText(u"日月火水木金土", {0, 10, 200, 30}, TextAlign::LeftTop);
    const std::optional<Rect> kanji = InkBounds(image, kWhite);
    ASSERT_TRUE(kanji.has_value());
    EXPECT_EQ(kanji->top, 11);
    EXPECT_LE(kanji->bottom, 19);

    image.fill(ToQColor(kWhite));
    surface.DrawText(u"31", {0, 10, 200, 30}, TextAlign::LeftTop);
    const std::optional<Rect> digits = InkBounds(image, kWhite);
    ASSERT_TRUE(digits.has_value());
    EXPECT_EQ(digits->bottom, 18);
}

}  // namespace
}  // namespace gui

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/gui/surface.h"
#include "tests/platform/gui/image_probe.h"

namespace gui {
namespace {

constexpr ColorRef kInk = Rgb(200, 0, 0);
constexpr std::u16string_view kMixedSample = u"予定 3件 abc";

Rect Shifted(const Rect& r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool Within(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

class SurfaceTextTest : public ::testing::Test {
protected:
    SurfaceTextTest() {
        surface_.SelectFont(Font(FontRequest{u"MS ゴシック", 13, false}));
        surface_.SetTextColor(kInk);
    }

    // Where the sample's ink lands when drawn into `rect` with `align` on a fresh image.
    std::optional<Rect> InkOf(const Rect& rect, TextAlign align) {
        image_.fill(ToQColor(kWhite));
        surface_.DrawText(kMixedSample, rect, align);
        return InkBounds(image_, kWhite);
    }

    QImage image_ = BlankImage(160, 60, kWhite);
    Surface surface_{image_};
};

TEST_F(SurfaceTextTest, MeasuredWidthIsTheSumOfWholePixelAdvances) {
    int sum = 0;
    for (char16_t unit : kMixedSample) {
        sum += surface_.MeasureText(std::u16string_view(&unit, 1)).width;
    }
    EXPECT_EQ(surface_.MeasureText(kMixedSample), (TextSize{sum, 13}));
    EXPECT_EQ(surface_.MeasureText(u""), (TextSize{0, 13}));
}

TEST_F(SurfaceTextTest, LeftTopTextLiesInItsMeasuredBoxAtTheRectanglesCorner) {
    const TextSize size = surface_.MeasureText(kMixedSample);
    const std::optional<Rect> ink = InkOf({7, 5, 150, 40}, TextAlign::LeftTop);
    ASSERT_TRUE(ink.has_value());
    EXPECT_TRUE(Within(*ink, {7, 5, 7 + size.width, 5 + size.height}));
    // The box is tight enough that the text starts and ends near its edges.
    EXPECT_LE(ink->left, 7 + 2);
    EXPECT_GE(ink->right, 7 + size.width - 3);
}

TEST_F(SurfaceTextTest, AlignmentsMoveTheTextByWholePixelsDroppingTheOddOne) {
    const TextSize size = surface_.MeasureText(kMixedSample);
    // Spare room of odd size both ways, so centring has a half pixel to drop.
    const int width = size.width + 41;
    const int height = size.height + 17;
    const Rect rect{3, 2, 3 + width, 2 + height};
    const std::optional<Rect> leftTop = InkOf(rect, TextAlign::LeftTop);
    ASSERT_TRUE(leftTop.has_value());

    EXPECT_EQ(InkOf(rect, TextAlign::CenterTop), Shifted(*leftTop, 20, 0));
    EXPECT_EQ(InkOf(rect, TextAlign::Center), Shifted(*leftTop, 20, 8));
    EXPECT_EQ(InkOf(rect, TextAlign::RightTop), Shifted(*leftTop, 41, 0));
}

TEST_F(SurfaceTextTest, TextIsClippedToItsRectangle) {
    const Rect narrow{10, 10, 30, 30};
    const std::optional<Rect> ink = InkOf(narrow, TextAlign::LeftTop);
    ASSERT_TRUE(ink.has_value());
    EXPECT_TRUE(Within(*ink, narrow));
    // Cut at the edge, not dropped: "定" runs on past x = 30.
    EXPECT_GE(ink->right, 29);

    const Rect shallow{10, 10, 150, 15};
    const std::optional<Rect> topRows = InkOf(shallow, TextAlign::LeftTop);
    ASSERT_TRUE(topRows.has_value());
    EXPECT_TRUE(Within(*topRows, shallow));
}

TEST_F(SurfaceTextTest, TextIsClippedToTheSurfaceClipToo) {
    surface_.SetClip(0, 0, 30, 60);
    const std::optional<Rect> ink = InkOf({10, 10, 150, 40}, TextAlign::LeftTop);
    ASSERT_TRUE(ink.has_value());
    EXPECT_TRUE(Within(*ink, {10, 10, 30, 40}));
}

TEST_F(SurfaceTextTest, DefaultQualityDrawsOnlyTheTextColour) {
    ASSERT_TRUE(InkOf({2, 2, 150, 40}, TextAlign::LeftTop).has_value());
    const size_t ink = PixelsOf(image_, kInk).size();
    const size_t paper = PixelsOf(image_, kWhite).size();
    EXPECT_GT(ink, 0u);
    EXPECT_EQ(ink + paper, static_cast<size_t>(image_.width() * image_.height()));
}

TEST_F(SurfaceTextTest, ClearTypeQualitySmoothsTheEdges) {
    surface_.SelectFont(Font(FontRequest{u"MS ゴシック", 13, true}));
    ASSERT_TRUE(InkOf({2, 2, 150, 40}, TextAlign::LeftTop).has_value());
    const size_t ink = PixelsOf(image_, kInk).size();
    const size_t paper = PixelsOf(image_, kWhite).size();
    EXPECT_LT(ink + paper, static_cast<size_t>(image_.width() * image_.height()));
}

TEST_F(SurfaceTextTest, EmptyTextOrRectangleDrawsNothing) {
    EXPECT_EQ(InkOf({2, 2, 2, 40}, TextAlign::LeftTop), std::nullopt);
    image_.fill(ToQColor(kWhite));
    surface_.DrawText(u"", {2, 2, 150, 40}, TextAlign::Center);
    EXPECT_EQ(InkBounds(image_, kWhite), std::nullopt);
}

// Pixels where two images of the same size differ.
int DifferingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

// A line of text as pieces: the line drawn whole should be the pieces drawn one after another,
// each where the measured widths of those before it end.
class SurfacePieceTest : public SurfaceTextTest {
protected:
    static std::u16string Joined(std::initializer_list<std::u16string_view> pieces) {
        std::u16string line;
        for (std::u16string_view piece : pieces) {
            line += piece;
        }
        return line;
    }

    int WidthOf(std::initializer_list<std::u16string_view> pieces) {
        int width = 0;
        for (std::u16string_view piece : pieces) {
            width += surface_.MeasureText(piece).width;
        }
        return width;
    }

    // The pieces drawn one by one from `left`, on a fresh image.
    QImage PiecesDrawn(std::initializer_list<std::u16string_view> pieces, int left, int top) {
        QImage image = BlankImage(image_.width(), image_.height(), kWhite);
        Surface surface(image);
        surface.SelectFont(surface_.CurrentFont());
        surface.SetTextColor(kInk);
        int x = left;
        for (std::u16string_view piece : pieces) {
            surface.DrawText(piece, {x, top, image.width(), image.height()}, TextAlign::LeftTop);
            x += surface.MeasureText(piece).width;
        }
        return image;
    }

    QImage LineDrawn(std::u16string_view line, const Rect& rect, TextAlign align) {
        image_.fill(ToQColor(kWhite));
        surface_.DrawText(line, rect, align);
        return image_;
    }
};

TEST_F(SurfacePieceTest, TextTheFaceHoldsKeepsTheDevicePitchCharacterByCharacter) {
    const std::initializer_list<std::u16string_view> pieces = {
        u"予", u"定", u" ", u"3", u"件", u" ", u"a", u"b", u"c", u"@", u"ÅÉ"};
    EXPECT_EQ(surface_.MeasureText(Joined(pieces)).width, WidthOf(pieces));
    EXPECT_EQ(DifferingPixels(LineDrawn(Joined(pieces), {4, 3, 160, 60}, TextAlign::LeftTop),
                              PiecesDrawn(pieces, 4, 3)),
              0);
    // "𠮟" lies beyond the first 65536 characters, two UTF-16 units, and is full-width.
    EXPECT_EQ(surface_.MeasureText(u"𠮟").width, 13);
    EXPECT_EQ(surface_.MeasureText(u"A𠮟B").width, 6 + 13 + 6);
}

// A character the gothic face lacks is drawn by Qt in a face that has it; the rest of the line
// stays where the device pitch puts it, before and after.
TEST_F(SurfacePieceTest, MissingCharacterFallsBackAloneAndShiftsTheRestByItsOwnWidth) {
    const std::u16string_view emoji = u"😀";
    // Qt's own advance, not the pitch's full-width cell.
    EXPECT_EQ(surface_.MeasureText(emoji).width,
              QFontMetrics(surface_.CurrentFont().QtFont())
                  .horizontalAdvance(QString::fromUtf16(emoji.data(), 2)));
    EXPECT_NE(surface_.MeasureText(emoji).width, 13);

    const std::initializer_list<std::u16string_view> pieces = {u"AB", emoji, u"CD"};
    EXPECT_EQ(surface_.MeasureText(Joined(pieces)).width, WidthOf(pieces));
    EXPECT_EQ(DifferingPixels(LineDrawn(Joined(pieces), {4, 3, 160, 60}, TextAlign::LeftTop),
                              PiecesDrawn(pieces, 4, 3)),
              0);
    const QImage emojiAlone = PiecesDrawn({emoji}, 20, 3);
    EXPECT_TRUE(InkBounds(emojiAlone, kWhite).has_value());

    // Placed from the right, the line ends at the rectangle's edge all the same.
    const int width = WidthOf(pieces);
    EXPECT_EQ(DifferingPixels(LineDrawn(Joined(pieces), {4, 3, 150, 60}, TextAlign::RightTop),
                              PiecesDrawn(pieces, 150 - width, 3)),
              0);
}

TEST_F(SurfacePieceTest, CharacterNoFaceHoldsTakesQtsBoxAndItsWidth) {
    const std::initializer_list<std::u16string_view> pieces = {u"予定", u"가", u"3件"};
    EXPECT_GT(surface_.MeasureText(u"가").width, 0);
    EXPECT_EQ(surface_.MeasureText(Joined(pieces)).width, WidthOf(pieces));
    EXPECT_EQ(DifferingPixels(LineDrawn(Joined(pieces), {4, 3, 160, 60}, TextAlign::LeftTop),
                              PiecesDrawn(pieces, 4, 3)),
              0);
}

// Characters the face lacks that stand together go to Qt together, so that it can join and
// shape them: Arabic letters take their joined forms, a variation selector stays with its emoji.
TEST_F(SurfacePieceTest, MissingCharactersInARowFallBackTogether) {
    const std::u16string_view word = u"سلام";
    const std::initializer_list<std::u16string_view> letters = {u"س", u"ل", u"ا", u"م"};
    ASSERT_GT(DifferingPixels(PiecesDrawn({word}, 4, 3), PiecesDrawn(letters, 4, 3)), 0);

    const std::initializer_list<std::u16string_view> pieces = {u"A𠮟", word, u"B", u"😀\uFE0F",
                                                               u"C"};
    EXPECT_EQ(surface_.MeasureText(Joined(pieces)).width, WidthOf(pieces));
    EXPECT_EQ(DifferingPixels(LineDrawn(Joined(pieces), {4, 3, 160, 60}, TextAlign::LeftTop),
                              PiecesDrawn(pieces, 4, 3)),
              0);
}

}  // namespace
}  // namespace gui

#include <gtest/gtest.h>

#include <QImage>
#include <string_view>

#include "platform/gui/surface.h"
#include "tests/platform/gui/image_probe.h"

namespace gui {
namespace {

constexpr ColorRef kPaper = Rgb(255, 255, 255);
constexpr ColorRef kInk = Rgb(200, 0, 0);
constexpr std::u16string_view kSample = u"予定 3件 abc";

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
        image_.fill(ToQColor(kPaper));
        surface_.DrawText(kSample, rect, align);
        return InkBounds(image_, kPaper);
    }

    QImage image_ = BlankImage(160, 60, kPaper);
    Surface surface_{image_};
};

TEST_F(SurfaceTextTest, MeasuredWidthIsTheSumOfWholePixelAdvances) {
    int sum = 0;
    for (char16_t unit : kSample) {
        sum += surface_.MeasureText(std::u16string_view(&unit, 1)).width;
    }
    EXPECT_EQ(surface_.MeasureText(kSample), (TextSize{sum, 13}));
    EXPECT_EQ(surface_.MeasureText(u""), (TextSize{0, 13}));
}

TEST_F(SurfaceTextTest, LeftTopTextLiesInItsMeasuredBoxAtTheRectanglesCorner) {
    const TextSize size = surface_.MeasureText(kSample);
    const std::optional<Rect> ink = InkOf({7, 5, 150, 40}, TextAlign::LeftTop);
    ASSERT_TRUE(ink.has_value());
    EXPECT_TRUE(Within(*ink, {7, 5, 7 + size.width, 5 + size.height}));
    // The box is tight enough that the text starts and ends near its edges.
    EXPECT_LE(ink->left, 7 + 2);
    EXPECT_GE(ink->right, 7 + size.width - 3);
}

TEST_F(SurfaceTextTest, AlignmentsMoveTheTextByWholePixelsDroppingTheOddOne) {
    const TextSize size = surface_.MeasureText(kSample);
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
    const size_t paper = PixelsOf(image_, kPaper).size();
    EXPECT_GT(ink, 0u);
    EXPECT_EQ(ink + paper, static_cast<size_t>(image_.width() * image_.height()));
}

TEST_F(SurfaceTextTest, ClearTypeQualitySmoothsTheEdges) {
    surface_.SelectFont(Font(FontRequest{u"MS ゴシック", 13, true}));
    ASSERT_TRUE(InkOf({2, 2, 150, 40}, TextAlign::LeftTop).has_value());
    const size_t ink = PixelsOf(image_, kInk).size();
    const size_t paper = PixelsOf(image_, kPaper).size();
    EXPECT_LT(ink + paper, static_cast<size_t>(image_.width() * image_.height()));
}

TEST_F(SurfaceTextTest, EmptyTextOrRectangleDrawsNothing) {
    EXPECT_EQ(InkOf({2, 2, 2, 40}, TextAlign::LeftTop), std::nullopt);
    image_.fill(ToQColor(kPaper));
    surface_.DrawText(u"", {2, 2, 150, 40}, TextAlign::Center);
    EXPECT_EQ(InkBounds(image_, kPaper), std::nullopt);
}

}  // namespace
}  // namespace gui

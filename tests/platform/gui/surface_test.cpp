#include "platform/gui/surface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <vector>

#include "tests/platform/gui/image_probe.h"

namespace gui {
namespace {

// A background no drawing operation uses, so every changed pixel shows.
constexpr ColorRef kPaper = Rgb(0x12, 0x34, 0x56);
constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kBlue = Rgb(0, 0, 255);

std::vector<Point> AllIn(const Rect& r) {
    std::vector<Point> pixels;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            pixels.push_back({x, y});
        }
    }
    return pixels;
}

// Row by row, as PixelsOf lists them.
std::vector<Point> RowOrder(std::vector<Point> pixels) {
    std::sort(pixels.begin(), pixels.end(),
              [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    return pixels;
}

class SurfaceTest : public ::testing::Test {
protected:
    QImage image_ = BlankImage(24, 20, kPaper);
    Surface surface_{image_};
};

TEST_F(SurfaceTest, ColoursReachThePixelsWithRedInTheLowByte) {
    surface_.SetPixel(1, 1, 0x0000FF);
    surface_.SetPixel(2, 1, 0xFF0000);
    EXPECT_EQ(image_.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(image_.pixel(2, 1), qRgb(0, 0, 255));
    EXPECT_EQ(surface_.GetPixel(1, 1), 0x0000FFu);

    // The day strip's shading: the stock grey and dark-grey brushes.
    surface_.FillRect(0, 5, 1, 6, Brush::Stock(StockBrush::Gray));
    surface_.FillRect(1, 5, 2, 6, Brush::Stock(StockBrush::DarkGray));
    surface_.FillRect(2, 5, 3, 6, Brush::Stock(StockBrush::LightGray));
    EXPECT_EQ(image_.pixel(0, 5), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(image_.pixel(1, 5), qRgb(0x40, 0x40, 0x40));
    EXPECT_EQ(image_.pixel(2, 5), qRgb(0xC0, 0xC0, 0xC0));
}

TEST_F(SurfaceTest, FillRectCoversLeftTopButNotRightBottom) {
    surface_.FillRect(2, 3, 7, 5, kRed);
    EXPECT_EQ(PixelsOf(image_, kRed), AllIn({2, 3, 7, 5}));
}

TEST_F(SurfaceTest, FillRectTakesReversedSpansTheRightWayRound) {
    surface_.FillRect(7, 5, 2, 3, kRed);
    EXPECT_EQ(PixelsOf(image_, kRed), AllIn({2, 3, 7, 5}));
}

TEST_F(SurfaceTest, FillRectWithEmptySpanOrNullBrushDrawsNothing) {
    surface_.FillRect(4, 4, 4, 9, kRed);
    surface_.FillRect(1, 1, 9, 9, Brush::Null());
    EXPECT_EQ(InkBounds(image_, kPaper), std::nullopt);
}

TEST_F(SurfaceTest, RectangleDrawsItsBorderInsideItsBoundsAndFillsTheInside) {
    surface_.SelectPen(Pen::Solid(kRed));
    surface_.SelectBrush(Brush::Solid(kBlue));
    surface_.Rectangle(2, 3, 8, 7);

    EXPECT_EQ(InkBounds(image_, kPaper), (Rect{2, 3, 8, 7}));
    EXPECT_EQ(PixelsOf(image_, kBlue), AllIn({3, 4, 7, 6}));
    EXPECT_EQ(PixelsOf(image_, kRed).size(), 6u * 4u - 4u * 2u);
    for (int x = 2; x < 8; ++x) {
        EXPECT_EQ(ColorAt(image_, x, 3), kRed);
        EXPECT_EQ(ColorAt(image_, x, 6), kRed);
    }
    for (int y = 3; y < 7; ++y) {
        EXPECT_EQ(ColorAt(image_, 2, y), kRed);
        EXPECT_EQ(ColorAt(image_, 7, y), kRed);
    }
}

// The views' frame and grid lines are drawn this way.
TEST_F(SurfaceTest, OnePixelThickRectanglesAreLinesInThePenColour) {
    surface_.SelectPen(Pen::Solid(kRed));
    surface_.SelectBrush(Brush::Solid(kBlue));
    surface_.Rectangle(3, 2, 4, 12);
    EXPECT_EQ(PixelsOf(image_, kRed), AllIn({3, 2, 4, 12}));

    image_.fill(ToQColor(kPaper));
    surface_.Rectangle(5, 9, 20, 10);
    EXPECT_EQ(PixelsOf(image_, kRed), AllIn({5, 9, 20, 10}));
    EXPECT_TRUE(PixelsOf(image_, kBlue).empty());
}

TEST_F(SurfaceTest, RectangleTakesReversedSpansTheRightWayRound) {
    surface_.SelectPen(Pen::Solid(kRed));
    surface_.SelectBrush(Brush::Solid(kBlue));
    surface_.Rectangle(8, 7, 2, 3);
    EXPECT_EQ(InkBounds(image_, kPaper), (Rect{2, 3, 8, 7}));
    EXPECT_EQ(PixelsOf(image_, kBlue), AllIn({3, 4, 7, 6}));
}

TEST_F(SurfaceTest, RectangleWithNullBrushKeepsTheInside) {
    surface_.SelectPen(Pen::Solid(kRed));
    surface_.SelectBrush(Brush::Null());
    surface_.Rectangle(2, 3, 8, 7);
    EXPECT_EQ(PixelsOf(image_, kPaper).size(), 24u * 20u - 16u);
    EXPECT_EQ(ColorAt(image_, 4, 5), kPaper);
}

TEST_F(SurfaceTest, RectangleWithNullPenFillsOnePixelShortOnTheRightAndBottom) {
    surface_.SelectPen(Pen::Null());
    surface_.SelectBrush(Brush::Solid(kBlue));
    surface_.Rectangle(2, 3, 8, 7);
    EXPECT_EQ(PixelsOf(image_, kBlue), AllIn({2, 3, 7, 6}));
}

TEST_F(SurfaceTest, TwoPointPolylineLeavesOutItsEndPoint) {
    surface_.SelectPen(Pen::Solid(kBlue));
    surface_.Polyline({{3, 8}, {12, 8}});
    EXPECT_EQ(PixelsOf(image_, kBlue), AllIn({3, 8, 12, 9}));
}

TEST_F(SurfaceTest, PolylineSegmentsMeetAtTheirJointsAndLeaveOutOnlyTheLastPoint) {
    surface_.SelectPen(Pen::Solid(kBlue));
    const std::vector<Point> points = {{1, 1}, {5, 1}, {5, 4}, {2, 4}};
    surface_.Polyline(points);
    const std::vector<Point> expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1},
                                         {5, 2}, {5, 3}, {3, 4}, {4, 4}, {5, 4}};
    EXPECT_EQ(PixelsOf(image_, kBlue), expected);
}

TEST_F(SurfaceTest, OnePointPolylineAndNullPenDrawNothing) {
    surface_.Polyline({{4, 4}});
    surface_.SelectPen(Pen::Null());
    surface_.Polyline({{1, 1}, {9, 9}});
    EXPECT_EQ(InkBounds(image_, kPaper), std::nullopt);
}

TEST_F(SurfaceTest, WidePenStampsASquareOnEachPixelOfTheLine) {
    surface_.SelectPen(Pen::Solid(kBlue, 3));
    surface_.Polyline({{4, 6}, {10, 6}});
    EXPECT_EQ(PixelsOf(image_, kBlue), AllIn({3, 5, 11, 8}));
}

TEST_F(SurfaceTest, ClipLimitsEveryDrawingOperation) {
    surface_.SetClip(4, 4, 10, 10);
    surface_.FillRect(0, 0, 24, 20, kRed);
    EXPECT_EQ(PixelsOf(image_, kRed), AllIn({4, 4, 10, 10}));

    image_.fill(ToQColor(kPaper));
    surface_.SetPixel(3, 5, kBlue);
    surface_.SetPixel(5, 5, kBlue);
    surface_.SelectPen(Pen::Solid(kBlue));
    surface_.Polyline({{0, 7}, {20, 7}});
    surface_.Rectangle(8, 0, 9, 20);
    std::vector<Point> expected = {{5, 5}};
    for (const Point& p : AllIn({8, 4, 9, 7})) {
        expected.push_back(p);
    }
    for (const Point& p : AllIn({4, 7, 10, 8})) {
        expected.push_back(p);
    }
    for (const Point& p : AllIn({8, 8, 9, 10})) {
        expected.push_back(p);
    }
    EXPECT_EQ(PixelsOf(image_, kBlue), RowOrder(expected));
    EXPECT_EQ(surface_.GetPixel(3, 5), std::nullopt);

    surface_.ResetClip();
    surface_.SetPixel(3, 5, kBlue);
    EXPECT_EQ(surface_.GetPixel(3, 5), kBlue);
}

TEST_F(SurfaceTest, DrawingBeyondTheImageIsCutOff) {
    surface_.FillRect(-5, -5, 2, 2, kRed);
    surface_.SetPixel(24, 0, kRed);
    surface_.SelectPen(Pen::Solid(kRed));
    surface_.Polyline({{-1000, 19}, {1000, 19}});
    std::vector<Point> expected = AllIn({0, 0, 2, 2});
    for (const Point& p : AllIn({0, 19, 24, 20})) {
        expected.push_back(p);
    }
    EXPECT_EQ(PixelsOf(image_, kRed), expected);
    EXPECT_EQ(surface_.GetPixel(-1, 0), std::nullopt);
}

// Icons are 16 x 16 with transparent pixels around the picture.
TEST_F(SurfaceTest, DrawImageBlendsTransparentPixelsAndIsClipped) {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    for (int i = 0; i < 16; ++i) {
        icon.setPixel(i, i, qRgb(255, 0, 0));
    }
    surface_.DrawImage(icon, 2, 1);
    std::vector<Point> diagonal;
    for (int i = 0; i < 16; ++i) {
        diagonal.push_back({2 + i, 1 + i});
    }
    EXPECT_EQ(PixelsOf(image_, kRed), diagonal);
    EXPECT_EQ(PixelsOf(image_, kPaper).size(), 24u * 20u - 16u);

    image_.fill(ToQColor(kPaper));
    surface_.SetClip(0, 0, 10, 20);
    surface_.DrawImage(icon, 2, 1);
    diagonal.resize(8);
    EXPECT_EQ(PixelsOf(image_, kRed), diagonal);
}

TEST(SurfaceFormatTest, PremultipliedImagesGetTheSamePixels) {
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    Surface surface(image);
    surface.SelectPen(Pen::Solid(kRed));
    surface.SelectBrush(Brush::Solid(kBlue));
    surface.Rectangle(1, 1, 5, 5);
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace gui

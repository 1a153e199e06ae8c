#include "platform/gui/surface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/gui/line_rasteriser.h"
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

std::vector<Point> Row(int y, std::initializer_list<int> xs) {
    std::vector<Point> pixels;
    for (int x : xs) {
        pixels.push_back({x, y});
    }
    return pixels;
}

TEST_F(SurfaceTest, DashedLineLightsFourPixelsInEveryEightFromItsFirst) {
    surface_.SelectPen(Pen::Dashed(kBlue));
    surface_.Polyline({{1, 8}, {19, 8}});
    EXPECT_EQ(PixelsOf(image_, kBlue), Row(8, {1, 2, 3, 4, 9, 10, 11, 12, 17, 18}));

    // The pattern starts at the line's own first pixel, wherever that is.
    image_.fill(ToQColor(kPaper));
    surface_.Polyline({{3, 5}, {20, 5}});
    EXPECT_EQ(PixelsOf(image_, kBlue), Row(5, {3, 4, 5, 6, 11, 12, 13, 14, 19}));

    // Drawn the other way, it counts from the right.
    image_.fill(ToQColor(kPaper));
    surface_.Polyline({{20, 5}, {3, 5}});
    EXPECT_EQ(PixelsOf(image_, kBlue), Row(5, {4, 9, 10, 11, 12, 17, 18, 19, 20}));
}

TEST_F(SurfaceTest, DashPatternCarriesOnAcrossThePolylinesSegments) {
    surface_.SelectPen(Pen::Dashed(kBlue));
    // Five pixels along the top (the fifth off), then down: three more off, four on, one off.
    surface_.Polyline({{1, 1}, {6, 1}, {6, 9}});
    const std::vector<Point> expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1},
                                         {6, 4}, {6, 5}, {6, 6}, {6, 7}};
    EXPECT_EQ(PixelsOf(image_, kBlue), expected);

    // A new polyline starts the pattern afresh.
    surface_.Polyline({{10, 12}, {10, 18}});
    EXPECT_EQ(PixelsOf(image_, kBlue).size(), expected.size() + 4);
    EXPECT_EQ(ColorAt(image_, 10, 15), kBlue);
    EXPECT_EQ(ColorAt(image_, 10, 16), kPaper);
}

// Clipping takes pixels away from the pattern without moving it.
TEST_F(SurfaceTest, ClippedDashedLineKeepsItsPatternFromTheUnclippedStart) {
    surface_.SelectPen(Pen::Dashed(kBlue));
    surface_.Polyline({{-10, 3}, {30, 3}});
    EXPECT_EQ(PixelsOf(image_, kBlue), Row(3, {0, 1, 6, 7, 8, 9, 14, 15, 16, 17, 22, 23}));

    image_.fill(ToQColor(kPaper));
    surface_.SetClip(5, 0, 15, 20);
    surface_.Polyline({{0, 7}, {24, 7}});
    EXPECT_EQ(PixelsOf(image_, kBlue), Row(7, {8, 9, 10, 11}));
}

// Steep, shallow and reversed lines, clipped or not: the dashed pen lights exactly the solid
// line's pixels whose place along the line falls on a dash.
TEST_F(SurfaceTest, DashedPixelsAreTheSolidLinesPixelsOnTheDashes) {
    const std::vector<std::pair<Point, Point>> lines = {
        {{2, 1}, {21, 18}}, {{22, 19}, {3, 0}}, {{5, -9}, {9, 30}}, {{-7, 2}, {30, 11}}};
    for (const Rect& clip : {Rect{0, 0, 24, 20}, Rect{4, 3, 17, 15}}) {
        for (const auto& [from, to] : lines) {
            const std::vector<Point> solid = LinePixels(from, to, {-100, -100, 100, 100});
            std::vector<Point> dashed;
            for (size_t i = 0; i < solid.size(); ++i) {
                if (static_cast<int>(i) % (kDashOnPixels + kDashOffPixels) < kDashOnPixels &&
                    clip.Contains(solid[i])) {
                    dashed.push_back(solid[i]);
                }
            }
            image_.fill(ToQColor(kPaper));
            surface_.SetClip(clip.left, clip.top, clip.right, clip.bottom);
            surface_.SelectPen(Pen::Dashed(kBlue));
            surface_.Polyline({from, to});
            EXPECT_EQ(PixelsOf(image_, kBlue), RowOrder(dashed));

            // The solid pen still lights all of them.
            image_.fill(ToQColor(kPaper));
            surface_.SelectPen(Pen::Solid(kRed));
            surface_.Polyline({from, to});
            std::vector<Point> clipped;
            std::copy_if(solid.begin(), solid.end(), std::back_inserter(clipped),
                         [&](Point p) { return clip.Contains(p); });
            EXPECT_EQ(PixelsOf(image_, kRed), RowOrder(clipped));
        }
    }
}

// The handwriting pad's guide line, across the whole screen width.
TEST(SurfaceDashTest, GuideAcrossTheScreenIsThirtyDashes) {
    QImage image = BlankImage(240, 60, kPaper);
    Surface surface(image);
    surface.SelectPen(Pen::Dashed(kBlue));
    surface.Polyline({{0, 52}, {240, 52}});
    const std::vector<Point> lit = PixelsOf(image, kBlue);
    ASSERT_EQ(lit.size(), 120u);
    for (size_t dash = 0; dash < 30; ++dash) {
        EXPECT_EQ(lit[dash * 4], (Point{static_cast<int>(dash) * 8, 52}));
        EXPECT_EQ(lit[dash * 4 + 3], (Point{static_cast<int>(dash) * 8 + 3, 52}));
    }
}

TEST_F(SurfaceTest, RectangleBorderStaysSolidWithADashedPen) {
    surface_.SelectPen(Pen::Dashed(kRed));
    surface_.SelectBrush(Brush::Null());
    surface_.Rectangle(1, 1, 20, 15);
    EXPECT_EQ(PixelsOf(image_, kRed).size(), 2u * 19u + 2u * 12u);
}

TEST(SurfaceFormatTest, DashedLineOnAnImageWithoutDirectPixelsGetsTheSamePixels) {
    QImage image(24, 4, QImage::Format_RGB888);
    image.fill(Qt::white);
    Surface surface(image);
    surface.SelectPen(Pen::Dashed(kRed));
    surface.Polyline({{-2, 1}, {24, 1}});
    EXPECT_EQ(PixelsOf(image, kRed), Row(1, {0, 1, 6, 7, 8, 9, 14, 15, 16, 17, 22, 23}));
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

#include "views/ink_drawing.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/surface.h"

namespace views {
namespace {

using gui::FromQRgb;
using gui::kWhite;

constexpr schedule::InkEntry Width(int w) {
    return {schedule::kInkWidthRecord, w};
}
constexpr schedule::InkEntry Colour(int c) {
    return {schedule::kInkColourRecord, c};
}
constexpr schedule::InkEntry End() {
    return {schedule::kInkEndRecord, -1};
}

class InkDrawingTest : public ::testing::Test {
protected:
    InkDrawingTest() : image_(60, 60, QImage::Format_RGB32) { image_.fill(Qt::white); }

    void Draw(const std::vector<schedule::InkEntry>& entries, int x0, int y0, int scale,
              int count = -1) {
        gui::Surface surface(image_);
        DrawInk(surface, entries, count < 0 ? static_cast<int32_t>(entries.size()) : count, x0, y0,
                scale);
    }
    gui::ColorRef At(int x, int y) const { return FromQRgb(image_.pixel(x, y)); }
    int InkedPixels() const {
        int inked = 0;
        for (int y = 0; y < image_.height(); ++y) {
            for (int x = 0; x < image_.width(); ++x) {
                inked += At(x, y) != kWhite ? 1 : 0;
            }
        }
        return inked;
    }

    QImage image_;
};

TEST_F(InkDrawingTest, StrokeIsAPolylineInItsColourLeavingOutItsLastPixel) {
    Draw({Width(1), Colour(1), {0, 0}, {10, 0}, {10, 5}, End()}, 0, 20, kFullInkScale);
    EXPECT_EQ(At(0, 20), schedule::kInkRed);
    EXPECT_EQ(At(9, 20), schedule::kInkRed);
    EXPECT_EQ(At(10, 20), schedule::kInkRed);  // the joint, drawn once by the second segment
    EXPECT_EQ(At(10, 24), schedule::kInkRed);
    EXPECT_EQ(At(10, 25), kWhite);  // the stroke's last point
    EXPECT_EQ(InkedPixels(), 15);
}

TEST_F(InkDrawingTest, HalfScaleTruncatesAndDrawsOnePixelWide) {
    Draw({Width(3), Colour(3), {3, 3}, {23, 3}, End()}, 10, 10, kHalfInkScale);
    // (3, 3) * 50 / 100 = (1, 1); (23, 3) -> (11, 1).
    EXPECT_EQ(At(11, 11), schedule::kInkBlue);
    EXPECT_EQ(At(20, 11), schedule::kInkBlue);
    EXPECT_EQ(At(21, 11), kWhite);
    EXPECT_EQ(At(11, 12), kWhite);
    EXPECT_EQ(InkedPixels(), 10);
}

TEST_F(InkDrawingTest, FullScaleKeepsThePenWidth) {
    Draw({Width(3), Colour(0), {10, 10}, {20, 10}, End()}, 0, 0, kFullInkScale);
    EXPECT_GT(InkedPixels(), 10 * 2);
}

TEST_F(InkDrawingTest, NothingShowsForOnePointStrokesEmptyCountsAndUnfinishedStrokes) {
    Draw({Width(1), Colour(0), {5, 5}, End()}, 0, 0, kFullInkScale);
    Draw({Width(1), Colour(0), {0, 30}, {40, 30}, End()}, 0, 0, kFullInkScale, 0);
    Draw({Width(1), Colour(0), {0, 40}, {40, 40}}, 0, 0, kFullInkScale);
    EXPECT_EQ(InkedPixels(), 0);
}

TEST_F(InkDrawingTest, LongStrokesAreDrawnWholeAndUnknownColoursDrawBlack) {
    std::vector<schedule::InkEntry> entries{Width(1), Colour(7)};
    for (int i = 0; i < 150; ++i) {
        entries.push_back({i % 50, i / 50 * 10});
    }
    entries.push_back(End());
    Draw(entries, 0, 0, kFullInkScale);
    EXPECT_EQ(At(48, 20), gui::kBlack);  // a point far past the hundredth
    EXPECT_EQ(At(10, 0), gui::kBlack);
}

TEST_F(InkDrawingTest, HugeCoordinatesFromAFileAreHarmless) {
    Draw({Width(1), Colour(0), {2000000000, 5}, {5, 2000000000}, {1, 1}, End()}, 0, 0,
         kFullInkScale);
    Draw({Width(100000), Colour(0), {1, 1}, {2, 1}, End()}, 0, 0, kFullInkScale);
    EXPECT_EQ(At(1, 1), gui::kBlack);
}

TEST_F(InkDrawingTest, TheSurfaceGetsItsPenBack) {
    gui::Surface surface(image_);
    surface.SelectPen(gui::Pen::Solid(schedule::kInkGreen, 2));
    DrawInk(surface, std::vector<schedule::InkEntry>{Width(1), Colour(1), {0, 0}, {5, 0}, End()}, 5,
            0, 0, kFullInkScale);
    EXPECT_EQ(surface.CurrentPen(), gui::Pen::Solid(schedule::kInkGreen, 2));
}

}  // namespace
}  // namespace views

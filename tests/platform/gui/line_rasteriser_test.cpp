#include "platform/gui/line_rasteriser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace gui {
namespace {

const Rect kWide{-1000, -1000, 1000, 1000};

std::vector<Point> Pixels(Point from, Point to) {
    return LinePixels(from, to, kWide);
}

struct LineCase {
    Point from;
    Point to;
    std::vector<Point> expected;
};

// Worked by hand: the nearest pixel at each step of the major axis, a tie taking the smaller
// minor coordinate, the end left out.
TEST(LinePixelsTest, MatchesHandWorkedPixelsInEveryOctant) {
    const std::vector<LineCase> cases = {
        {{0, 0}, {5, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        {{0, 0}, {0, -3}, {{0, 0}, {0, -1}, {0, -2}}},
        {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {{0, 0}, {-3, 3}, {{0, 0}, {-1, 1}, {-2, 2}}},
        {{0, 0}, {-3, -3}, {{0, 0}, {-1, -1}, {-2, -2}}},
        // Shallow: right and down, right and up, left and down, left and up.
        {{0, 0}, {5, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
        {{0, 0}, {4, -1}, {{0, 0}, {1, 0}, {2, -1}, {3, -1}}},
        {{0, 0}, {-4, 1}, {{0, 0}, {-1, 0}, {-2, 0}, {-3, 1}}},
        {{0, 0}, {-5, -2}, {{0, 0}, {-1, 0}, {-2, -1}, {-3, -1}, {-4, -2}}},
        // Steep: down and right, down and left, up and right, up and left.
        {{0, 0}, {1, 4}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
        {{0, 0}, {-1, 4}, {{0, 0}, {0, 1}, {-1, 2}, {-1, 3}}},
        {{0, 0}, {2, -5}, {{0, 0}, {0, -1}, {1, -2}, {1, -3}, {2, -4}}},
        {{0, 0}, {-1, -4}, {{0, 0}, {0, -1}, {-1, -2}, {-1, -3}}},
        // The month grid's underline and the list's strike-through: pixels 3 to 11.
        {{3, 8},
         {12, 8},
         {{3, 8}, {4, 8}, {5, 8}, {6, 8}, {7, 8}, {8, 8}, {9, 8}, {10, 8}, {11, 8}}},
        {{10, 20}, {14, 21}, {{10, 20}, {11, 20}, {12, 20}, {13, 21}}},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(Pixels(c.from, c.to), c.expected)
            << "(" << c.from.x << "," << c.from.y << ") to (" << c.to.x << "," << c.to.y << ")";
    }
}

TEST(LinePixelsTest, ZeroLengthLineLightsNothing) {
    EXPECT_TRUE(Pixels({7, 7}, {7, 7}).empty());
}

// Every line from the origin to a point of a 19 x 19 square: one pixel per major step, from
// the start, never the end, each the nearest to the exact line, ties to the smaller side.
TEST(LinePixelsTest, EveryShortLineTakesTheNearestPixelAtEachStep) {
    for (int dx = -9; dx <= 9; ++dx) {
        for (int dy = -9; dy <= 9; ++dy) {
            const std::vector<Point> pixels = Pixels({0, 0}, {dx, dy});
            const bool xMajor = std::abs(dx) >= std::abs(dy);
            const int n = std::max(std::abs(dx), std::abs(dy));
            ASSERT_EQ(static_cast<int>(pixels.size()), n) << dx << "," << dy;
            for (int i = 0; i < n; ++i) {
                const Point p = pixels[i];
                const int major = xMajor ? p.x : p.y;
                const int minor = xMajor ? p.y : p.x;
                const int majorDelta = xMajor ? dx : dy;
                const int minorDelta = xMajor ? dy : dx;
                ASSERT_EQ(major, i * (majorDelta > 0 ? 1 : -1)) << dx << "," << dy;
                // minor - exact = minor - i * minorDelta / n, scaled by 2n.
                const int twiceOff = 2 * (minor * n - i * minorDelta);
                EXPECT_LE(std::abs(twiceOff), n) << dx << "," << dy << " step " << i;
                if (std::abs(twiceOff) == n) {
                    EXPECT_LT(twiceOff, 0) << "tie not on the smaller side: " << dx << "," << dy;
                }
            }
        }
    }
}

TEST(LinePixelsTest, LineAndItsReverseShareAllButTheirEnds) {
    const Point a{3, -2};
    for (int dx = -9; dx <= 9; ++dx) {
        for (int dy = -9; dy <= 9; ++dy) {
            const Point b{a.x + dx, a.y + dy};
            if (dx == 0 && dy == 0) {
                continue;
            }
            std::vector<Point> forward = Pixels(a, b);
            std::vector<Point> backward = Pixels(b, a);
            forward.push_back(b);
            backward.push_back(a);
            const auto byPosition = [](Point p, Point q) {
                return p.x != q.x ? p.x < q.x : p.y < q.y;
            };
            std::sort(forward.begin(), forward.end(), byPosition);
            std::sort(backward.begin(), backward.end(), byPosition);
            EXPECT_EQ(forward, backward) << dx << "," << dy;
        }
    }
}

TEST(LinePixelsTest, WindowKeepsExactlyThePixelsInsideIt) {
    const Rect window{2, 1, 7, 5};
    for (int dx = -12; dx <= 12; dx += 3) {
        for (int dy = -12; dy <= 12; dy += 2) {
            const Point from{4 - dx / 2, 3 - dy / 2};
            const Point to{from.x + dx, from.y + dy};
            std::vector<Point> expected;
            for (const Point& p : Pixels(from, to)) {
                if (window.Contains(p)) {
                    expected.push_back(p);
                }
            }
            EXPECT_EQ(LinePixels(from, to, window), expected) << dx << "," << dy;
        }
    }
}

TEST(LinePixelsTest, FarEndsAreWalkedOnlyInsideTheWindow) {
    const Rect window{0, 0, 4, 4};
    const std::vector<Point> pixels = LinePixels({-100'000'000, 1}, {100'000'000, 3}, window);
    EXPECT_EQ(pixels, (std::vector<Point>{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
    EXPECT_TRUE(LinePixels({0, 0}, {kMaxLineCoordinate + 1, 0}, window).empty());
}

}  // namespace
}  // namespace gui

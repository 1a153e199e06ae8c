#include "resources/dial.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <vector>

#include "resources/images.h"

namespace resources {
namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kShade = qRgb(192, 192, 192);

// Sample radii in the middle of each ring: the disc is about 30 across, the inner ring reaches
// about 33 and the outer about 49.
constexpr double kInnerSampleRadius = 24.0;
constexpr double kOuterSampleRadius = 41.0;

QRgb Opaque(QRgb pixel) {
    return pixel | 0xFF000000u;
}

// The hit-map region at a distance and clock angle (degrees clockwise from 12) from the middle.
int RegionAt(const QImage& hitMap, double radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    const int x = static_cast<int>(std::floor(50.0 + radius * std::sin(radians)));
    const int y = static_cast<int>(std::floor(50.0 - radius * std::cos(radians)));
    return DialRegionOfColour(hitMap.pixel(x, y));
}

bool Night(int hour) {
    return hour >= 18 || hour < 6;
}

class DialTest : public ::testing::Test {
protected:
    QImage hitMap_ = Bitmap(108);
};

TEST_F(DialTest, HitColoursAreDistinctAndNeitherBlackNorWhite) {
    std::set<QRgb> colours;
    for (const DialColour& colour : DialHitColours) {
        const QRgb rgb = qRgb(colour.red, colour.green, colour.blue);
        EXPECT_NE(rgb, kBlack);
        EXPECT_NE(rgb, kWhite);
        colours.insert(rgb);
    }
    EXPECT_EQ(colours.size(), DialHitColours.size());
    EXPECT_EQ(DialRegionOfColour(kBlack), -1);
    EXPECT_EQ(DialRegionOfColour(qRgba(255, 0, 0, 0)), 24) << "alpha plays no part";
}

TEST_F(DialTest, FaceHoursPairTheRingsAndCoverTheDayAndTheNight) {
    std::set<int> dayHours;
    std::set<int> nightHours;
    for (int position = 1; position <= 12; ++position) {
        const auto outer = static_cast<size_t>(position);
        EXPECT_EQ(DayFaceHours[outer], DayFaceHours[outer + 12]);
        EXPECT_EQ(NightFaceHours[outer], NightFaceHours[outer + 12]);
        EXPECT_EQ((DayFaceHours[outer] + 12) % 24, NightFaceHours[outer]);
        EXPECT_EQ(DayFaceHours[outer] % 12, position % 12) << "the hour hand's own position";
        dayHours.insert(DayFaceHours[outer]);
        nightHours.insert(NightFaceHours[outer]);
    }
    EXPECT_EQ(dayHours.size(), 12u);
    EXPECT_EQ(*dayHours.begin(), 9);
    EXPECT_EQ(*dayHours.rbegin(), 20);
    EXPECT_EQ(nightHours.size(), 12u);
    EXPECT_EQ(DayFaceHours[0], -1);
    EXPECT_EQ(NightFaceHours[0], -1);
}

TEST_F(DialTest, HitMapHoldsOnlyLinesCornersAndRegionColours) {
    ASSERT_EQ(hitMap_.size(), QSize(100, 100));
    std::array<int, kDialRegionCount> area{};
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const QRgb pixel = Opaque(hitMap_.pixel(x, y));
            const int region = DialRegionOfColour(pixel);
            if (region >= 0) {
                ++area[static_cast<size_t>(region)];
            } else {
                EXPECT_TRUE(pixel == kBlack || pixel == kWhite) << x << "," << y;
            }
            // Beyond the outer ring (about 49 out) there is only white.
            if (std::hypot(x + 0.5 - 50, y + 0.5 - 50) > 49.5) {
                EXPECT_EQ(pixel, kWhite) << x << "," << y;
            }
        }
    }
    for (int region = 0; region < kDialRegionCount; ++region) {
        EXPECT_GT(area[static_cast<size_t>(region)], 0) << region;
    }
    // The sectors of a ring are equal slices.
    const auto outer = std::minmax_element(area.begin() + 1, area.begin() + 13);
    const auto inner = std::minmax_element(area.begin() + 13, area.end());
    EXPECT_LE(*outer.second, *outer.first * 1.1);
    EXPECT_LE(*inner.second, *inner.first * 1.1);
    EXPECT_EQ(hitMap_.pixel(0, 0), kWhite);
    EXPECT_EQ(hitMap_.pixel(99, 99), kWhite);
}

TEST_F(DialTest, CentreIsRegionZeroAboutThirtyPixelsAcross) {
    EXPECT_EQ(DialRegionOfColour(hitMap_.pixel(50, 50)), 0);
    EXPECT_EQ(DialRegionOfColour(hitMap_.pixel(49, 49)), 0);
    int across = 0;
    for (int x = 0; x < 100; ++x) {
        across += DialRegionOfColour(hitMap_.pixel(x, 50)) == 0 ? 1 : 0;
    }
    EXPECT_GE(across, 28);
    EXPECT_LE(across, 32);
}

TEST_F(DialTest, RingsAreCutAtTheClockPositions) {
    for (int position = 1; position <= 12; ++position) {
        SCOPED_TRACE(position);
        // The middle of the sector and well towards either of its edges.
        for (double offset : {-10.0, 0.0, 10.0}) {
            const double degrees = 30.0 * position + offset;
            EXPECT_EQ(RegionAt(hitMap_, kOuterSampleRadius, degrees), position);
            EXPECT_EQ(RegionAt(hitMap_, kInnerSampleRadius, degrees), 12 + position);
        }
    }
}

TEST_F(DialTest, SeparatorsAreOnePixelLinesMirroredLeftToRight) {
    // Across the middle the line crosses the three circles on each side, each one pixel wide.
    for (bool across : {true, false}) {
        std::vector<int> runs;
        int run = 0;
        for (int i = 0; i < 100; ++i) {
            const QRgb pixel = across ? hitMap_.pixel(i, 50) : hitMap_.pixel(50, i);
            if (pixel == kBlack) {
                ++run;
            } else if (run > 0) {
                runs.push_back(run);
                run = 0;
            }
        }
        EXPECT_EQ(runs, std::vector<int>(6, 1)) << (across ? "row" : "column");
    }
    // All lines together: three circles and twelve spokes between the disc and the rim, one
    // pixel wide (a slanted line takes fewer pixels than its length).
    int black = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            black += hitMap_.pixel(x, y) == kBlack ? 1 : 0;
        }
    }
    const double length = 2 * std::numbers::pi * (15 + 33 + 49) + 12 * (49 - 15);
    EXPECT_GT(black, 0.75 * length);
    EXPECT_LT(black, 1.15 * length);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const int here = DialCellAt(x, y);
            const int mirrored = DialCellAt(99 - x, y);
            if (here < 1) {
                EXPECT_EQ(here, mirrored) << x << "," << y;
            } else {
                // Position p mirrors to 12 - p (12 stays 12), on the same ring.
                const int ringStart = here <= 12 ? 0 : 12;
                const int position = here - ringStart;
                EXPECT_EQ(mirrored, ringStart + (position == 12 ? 12 : 12 - position))
                    << x << "," << y;
            }
        }
    }
}

TEST_F(DialTest, FacesShadeExactlyTheNightSectorsOfTheInnerRing) {
    for (int id : {107, 109}) {
        SCOPED_TRACE(id);
        const QImage face = Bitmap(id);
        ASSERT_EQ(face.size(), QSize(100, 100));
        const auto& hours = id == 109 ? DayFaceHours : NightFaceHours;
        std::set<int> shaded;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                const QRgb hit = Opaque(hitMap_.pixel(x, y));
                const QRgb pixel = Opaque(face.pixel(x, y));
                const int region = DialRegionOfColour(hit);
                if (hit == kBlack || hit == kWhite) {
                    EXPECT_EQ(pixel, hit) << x << "," << y;
                } else if (region >= 13) {
                    const bool night = Night(hours[static_cast<size_t>(region)]);
                    EXPECT_EQ(pixel, night ? kShade : kWhite) << x << "," << y;
                    if (night) {
                        shaded.insert(region - 12);
                    }
                } else if (region >= 1) {
                    EXPECT_TRUE(pixel == kWhite || pixel == kBlack) << x << "," << y;
                }
            }
        }
        const std::set<int> expected =
            id == 109 ? std::set<int>{6, 7, 8} : std::set<int>{1, 2, 3, 4, 5, 9, 10, 11, 12};
        EXPECT_EQ(shaded, expected);
    }
}

TEST_F(DialTest, FacesPrintANumberInEveryOuterSector) {
    const QImage day = Bitmap(109);
    const QImage night = Bitmap(107);
    std::array<int, 13> ink{};
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const int region = DialRegionOfColour(hitMap_.pixel(x, y));
            if (region >= 1 && region <= 12 && day.pixel(x, y) == kBlack) {
                ++ink[static_cast<size_t>(region)];
                EXPECT_EQ(night.pixel(x, y), kBlack) << "both faces number the same positions";
            }
        }
    }
    for (int position = 1; position <= 12; ++position) {
        EXPECT_GE(ink[static_cast<size_t>(position)], 8) << position;
    }
    // Two digits take more ink than one of them alone.
    EXPECT_GT(ink[11], ink[1]);
    EXPECT_GT(ink[12], ink[2]);
}

}  // namespace
}  // namespace resources

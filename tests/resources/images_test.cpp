#include "resources/images.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <array>

namespace resources {
namespace {

constexpr std::array kIconIds{101, 117, 118, 119, 120, 121};

bool Transparent(const QImage& icon, int x, int y) {
    return qAlpha(icon.pixel(x, y)) == 0;
}

bool Reddish(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) >= 192 && qGreen(pixel) < 64 && qBlue(pixel) < 64;
}

bool Yellowish(QRgb pixel) {
    return qRed(pixel) >= 192 && qGreen(pixel) >= 128 && qBlue(pixel) < 96;
}

bool White(QRgb pixel) {
    return pixel == qRgba(255, 255, 255, 255);
}

TEST(Icons, AreSixteenSquareAndCrispOnATransparentGround) {
    for (int id : kIconIds) {
        SCOPED_TRACE(id);
        const QImage icon = Icon(id);
        ASSERT_EQ(icon.size(), QSize(16, 16));
        ASSERT_TRUE(icon.hasAlphaChannel());
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int alpha = qAlpha(icon.pixel(x, y));
                EXPECT_TRUE(alpha == 0 || alpha == 255) << x << "," << y << " half-covered";
                opaque += alpha == 255 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 40);
        EXPECT_LT(opaque, 16 * 16);
        EXPECT_TRUE(Transparent(icon, 15, 15) || Transparent(icon, 0, 15) ||
                    Transparent(icon, 15, 0) || Transparent(icon, 0, 0));
    }
    EXPECT_TRUE(Icon(102).isNull());
    EXPECT_TRUE(Icon(0).isNull());
}

TEST(Icons, ShowWhatTheyStandFor) {
    // The bell is mostly yellow.
    const QImage bell = Icon(117);
    int yellow = 0;
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            opaque += Transparent(bell, x, y) ? 0 : 1;
            yellow += Yellowish(bell.pixel(x, y)) ? 1 : 0;
        }
    }
    EXPECT_GT(yellow * 2, opaque);

    // The recurrence arrows chase each other: the icon looks the same turned half a circle.
    const QImage arrows = Icon(118);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(arrows.pixel(x, y), arrows.pixel(15 - x, 15 - y)) << x << "," << y;
        }
    }
    EXPECT_TRUE(Transparent(arrows, 7, 7)) << "the circle is open in the middle";

    // The memo is a white sheet.
    const QImage memo = Icon(119);
    EXPECT_TRUE(White(memo.pixel(5, 3)));
    EXPECT_TRUE(White(memo.pixel(8, 12)));

    // The all-day clock is struck through corner to corner in red, on a white face.
    const QImage allDay = Icon(120);
    for (int i : {3, 5, 10, 12}) {
        EXPECT_TRUE(Reddish(allDay.pixel(i, i))) << i;
        EXPECT_TRUE(Reddish(allDay.pixel(15 - i, i))) << i;
    }
    EXPECT_TRUE(White(allDay.pixel(7, 3)));

    // The holiday flag: a red disc in the middle of white cloth, a pole at the left reaching
    // the bottom.
    const QImage flag = Icon(121);
    EXPECT_TRUE(Reddish(flag.pixel(8, 6)));
    EXPECT_TRUE(Reddish(flag.pixel(9, 7)));
    EXPECT_TRUE(White(flag.pixel(4, 6)));
    EXPECT_TRUE(White(flag.pixel(13, 7)));
    EXPECT_FALSE(Transparent(flag, 1, 15));
    EXPECT_TRUE(Transparent(flag, 12, 14));
}

TEST(Bitmaps, DialPicturesAreHundredSquareAndTheFacesDiffer) {
    for (int id : {107, 108, 109}) {
        EXPECT_EQ(Bitmap(id).size(), QSize(100, 100)) << id;
    }
    EXPECT_NE(Bitmap(107), Bitmap(109));
    EXPECT_TRUE(Bitmap(110).isNull());
    EXPECT_TRUE(Bitmap(101).isNull());
}

}  // namespace
}  // namespace resources

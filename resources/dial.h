#pragma once

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

// The appointment editor's clock dial: a centre disc (region 0), an inner ring (regions 13-24)
// and an outer ring (regions 1-12), each ring cut into twelve 30-degree sectors centred on the
// clock positions 1 to 12. The hit map paints each region in its own colour, so a tap is
// resolved by reading one pixel; the two faces are what the user sees.
namespace resources {

inline constexpr int kDialSize = 100;  // pixels, square
inline constexpr int kDialRegionCount = 25;

struct DialColour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// The colour of each region in the hit map; a pixel names its region by an exact match.
inline constexpr std::array<DialColour, kDialRegionCount> DialHitColours{{
    {224, 128, 128},  // centre
    {128, 0, 0},      // outer 1
    {128, 128, 0},    // outer 2
    {0, 128, 0},      // outer 3
    {0, 0, 128},      // outer 4
    {128, 0, 128},    // outer 5
    {128, 128, 64},   // outer 6
    {0, 128, 192},    // outer 7
    {0, 64, 128},     // outer 8
    {64, 0, 192},     // outer 9
    {128, 64, 0},     // outer 10
    {192, 192, 192},  // outer 11
    {128, 128, 128},  // outer 12
    {255, 255, 0},    // inner 1
    {0, 255, 0},      // inner 2
    {0, 255, 255},    // inner 3
    {0, 0, 255},      // inner 4
    {255, 0, 255},    // inner 5
    {224, 224, 128},  // inner 6
    {0, 224, 128},    // inner 7
    {166, 202, 240},  // inner 8
    {128, 128, 192},  // inner 9
    {224, 0, 128},    // inner 10
    {224, 128, 64},   // inner 11
    {255, 0, 0},      // inner 12
}};

// The hour a region stands for on each face; the centre's -1 is never used. The day face
// covers 9 to 20 o'clock, the night face 21 to 8.
inline constexpr std::array<int, kDialRegionCount> DayFaceHours{-1, 13, 14, 15, 16, 17, 18, 19, 20,
                                                                9,  10, 11, 12, 13, 14, 15, 16, 17,
                                                                18, 19, 20, 9,  10, 11, 12};
inline constexpr std::array<int, kDialRegionCount> NightFaceHours{
    -1, 1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 0, 1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 0};

// The shade of inner-ring sectors whose hour falls in the night (18-23 and 0-5).
inline constexpr QRgb kDialNightShade = qRgb(192, 192, 192);

enum class DialFace { Day, Night };

// What a pixel of the dial picture belongs to: a region 0-24, or one of these.
inline constexpr int kDialSeparator = -1;  // the one-pixel black lines between regions
inline constexpr int kDialOutside = -2;    // the white corners outside the outer ring

// The cell of pixel (x, y) of the 100 x 100 dial picture.
int DialCellAt(int x, int y);

// The region whose hit colour is exactly the pixel's red, green and blue, or -1.
int DialRegionOfColour(QRgb pixel);

// True for the hours the faces shade: 18 to 23 and 0 to 5.
bool IsNightHour(int hour);

// The hit map: every region in its DialHitColours colour.
QImage DrawDialHitMap();

// The face the user sees: numbers 1 to 12 on the outer ring, night sectors of the inner ring
// shaded, a sun or a moon in the centre disc. Needs a QGuiApplication for the numbers' font.
QImage DrawDialFace(DialFace face);

}  // namespace resources

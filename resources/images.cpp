#include "resources/images.h"

#include <QRgb>
#include <array>
#include <string_view>

#include "resources/dial.h"
#include "resources/pixel_art.h"
#include "resources/resource_ids.h"

namespace resources {
namespace {

using PixelArt = std::array<std::string_view, kIconSize>;

// clang-format off
// A page of a ring-bound calendar, red header and today's dot, with a pen writing on it.
constexpr PixelArt kProgramArt{
    ".............kkk",
    "..K..K..K..kbbBk",
    "rrKrrKrrKrkbbBk.",
    "rrrrrrrrrkbbBk..",
    "kwwwwwwwkbbBk...",
    "kwwwwwwkeeek....",
    "kwlwlwkeekk.....",
    "kwwwwwkekwk.....",
    "kwlwlwkwwwk.....",
    "kwwwwwwwwwk.....",
    "kwlwlwrwlwk.....",
    "kwwwwwwwwwk.....",
    "kwlwlwlwlwk.....",
    "kwwwwwwwwwk.....",
    "kkkkkkkkkkk.....",
    "................",
};

// A yellow bell with its clapper: the reminder.
constexpr PixelArt kReminderArt{
    "................",
    "................",
    ".......dd.......",
    "......dyyd......",
    ".....dYyyod.....",
    "....dyYyyyod....",
    "....dyYyyyod....",
    "....dyYyyyod....",
    "....dyYyyyod....",
    "...dyYyyyyyod...",
    "..dyyYyyyyyyod..",
    ".dyyyyyyyyyyyod.",
    ".dddddddddddddd.",
    "......dood......",
    ".......dd.......",
    "................",
};

// Two arrows chasing each other round a circle: the recurrence.
constexpr PixelArt kRecurrenceArt{
    "................",
    "................",
    "......bbbb......",
    "....bbbbbbbb....",
    "...bbb....bbb...",
    "...........bbb..",
    "..bb........bb..",
    ".bbbb.....bbbbbb",
    "bbbbbb.....bbbb.",
    "..bb........bb..",
    "..bbb...........",
    "...bbb....bbb...",
    "....bbbbbbbb....",
    "......bbbb......",
    "................",
    "................",
};

// A ruled sheet with a folded corner: the memo.
constexpr PixelArt kMemoArt{
    "................",
    "..kkkkkkkkk.....",
    "..kwwwwwwwkk....",
    "..kwwwwwwwkwk...",
    "..kwwwwwwwkkkk..",
    "..kwggggggwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwggggggggwk..",
    "..kwwwwwwwwwwk..",
    "..kwggggggggwk..",
    "..kwwwwwwwwwwk..",
    "..kwggggggggwk..",
    "..kwwwwwwwwwwk..",
    "..kwggggwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
};

// A clock face; the red cross is laid over it by code.
constexpr PixelArt kAllDayArt{
    "................",
    ".....kkkkkk.....",
    "...kkwwKKwwkk...",
    "..kwwwwwwwwwwk..",
    "..kwwwwkwwwwwk..",
    ".kwwwwwkwwwwwwk.",
    ".kwwwwwkwwwwwwk.",
    ".kKwwwwkkkkwwKk.",
    ".kKwwwwwwwwwwKk.",
    ".kwwwwwwwwwwwwk.",
    ".kwwwwwwwwwwwwk.",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "...kkwwKKwwkk...",
    ".....kkkkkk.....",
    "................",
};

// The national flag on a pole: the holiday.
constexpr PixelArt kHolidayArt{
    ".y..............",
    "yyy.............",
    ".ngggggggggggggg",
    ".ngwwwwwwwwwwwwg",
    ".ngwwwwrrrrwwwwg",
    ".ngwwwrrrrrrwwwg",
    ".ngwwwrrrrrrwwwg",
    ".ngwwwrrrrrrwwwg",
    ".ngwwwrrrrrrwwwg",
    ".ngwwwwrrrrwwwwg",
    ".ngwwwwwwwwwwwwg",
    ".ngggggggggggggg",
    ".n..............",
    ".n..............",
    ".n..............",
    "nnn.............",
};
// clang-format on

// The cross over the all-day clock runs corner to corner of the face inside its rim, two
// pixels wide.
constexpr int kCrossFirst = 3;
constexpr int kCrossLast = 12;
constexpr QRgb kCrossColour = qRgb(224, 0, 0);

QImage DrawAllDayIcon() {
    QImage image = DrawPixelArt(kAllDayArt);
    const int mirror = kIconSize - 1;
    for (int y = kCrossFirst; y <= kCrossLast; ++y) {
        for (int x : {y, y + 1, mirror - y, mirror - y - 1}) {
            if (x >= kCrossFirst && x <= kCrossLast) {
                image.setPixel(x, y, kCrossColour);
            }
        }
    }
    return image;
}

}  // namespace

QImage Icon(int id) {
    switch (id) {
        case kProgramIcon:
            return DrawPixelArt(kProgramArt);
        case kReminderIcon:
            return DrawPixelArt(kReminderArt);
        case kRecurrenceIcon:
            return DrawPixelArt(kRecurrenceArt);
        case kMemoIcon:
            return DrawPixelArt(kMemoArt);
        case kAllDayIcon:
            return DrawAllDayIcon();
        case kHolidayIcon:
            return DrawPixelArt(kHolidayArt);
        default:
            return {};
    }
}

QImage Bitmap(int id) {
    switch (id) {
        case kNightFaceBitmap:
            return DrawDialFace(DialFace::Night);
        case kHitMapBitmap:
            return DrawDialHitMap();
        case kDayFaceBitmap:
            return DrawDialFace(DialFace::Day);
        default:
            return {};
    }
}

}  // namespace resources

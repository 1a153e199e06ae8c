#include "resources/dial.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cmath>
#include <numbers>
#include <string_view>

#include "resources/pixel_art.h"

namespace resources {
namespace {

// Geometry in picture coordinates, where pixel (x, y) covers [x, x + 1) x [y, y + 1). The radii
// sit half-way between pixel centres so that the lines fall on whole pixels and the picture is
// symmetric about its middle.
constexpr double kCentre = 50.0;
constexpr double kCentreDiscRadius = 15.5;  // the disc is 30 pixels across inside its line
constexpr double kInnerRingRadius = 32.5;
constexpr double kOuterRingRadius = 48.5;
constexpr double kLineHalfWidth = 0.5;
constexpr double kSectorDegrees = 30.0;
constexpr int kClockPositions = 12;
constexpr int kOuterFirstRegion = 1;
constexpr int kInnerFirstRegion = 13;

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// The numbers are drawn small and aliased so they stay sharp at the screen's integer zoom.
constexpr int kNumberPixelSize = 11;
constexpr int kScratchSize = 32;  // room to render one number before it is measured

// The centre disc shows which half of the day the face stands for; tapping it turns the face.
constexpr int kEmblemSize = 14;
using Emblem = std::array<std::string_view, kEmblemSize>;

// clang-format off
constexpr Emblem kSunEmblem{
    "......OO......",
    ".O....OO....O.",
    "..O........O..",
    ".....oooo.....",
    "....oyyyyo....",
    "...oyYyyyyo...",
    "OO.oyYyyyyo.OO",
    "OO.oyyyyyyo.OO",
    "...oyyyyyyo...",
    "....oyyyyo....",
    ".....oooo.....",
    "..O........O..",
    ".O....OO....O.",
    "......OO......",
};

constexpr Emblem kMoonEmblem{
    "..............",
    "....dd........",
    "..ddyd........",
    "..dyyd........",
    ".dyyyd........",
    ".dyyyd........",
    ".dyyyd........",
    ".dyyyyd.......",
    ".dyyyyyd......",
    ".dyyyyyyddddd.",
    "..dyyyyyyyyd..",
    "..ddyyyyyydd..",
    "....dddddd....",
    "..............",
};
// clang-format on

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

bool OnCircle(double distance, double radius) {
    return std::abs(distance - radius) < kLineHalfWidth;
}

// The boundaries between sectors lie at 15, 45, ... 345 degrees clockwise from 12 o'clock.
bool OnSectorBoundary(double dx, double dy) {
    for (int k = 0; k < kClockPositions; ++k) {
        const double angle = Radians(kSectorDegrees / 2 + kSectorDegrees * k);
        const double along = dx * std::sin(angle) - dy * std::cos(angle);
        const double across = std::abs(dx * std::cos(angle) + dy * std::sin(angle));
        if (along > 0 && across < kLineHalfWidth) {
            return true;
        }
    }
    return false;
}

// Clock position 1-12 of the sector holding direction (dx, dy), y pointing down.
int ClockPosition(double dx, double dy) {
    double degrees = std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
    if (degrees < 0) {
        degrees += 360.0;
    }
    const int position = static_cast<int>((degrees + kSectorDegrees / 2) / kSectorDegrees);
    return position % kClockPositions == 0 ? kClockPositions : position % kClockPositions;
}

QRgb HitColour(int region) {
    const DialColour& colour = DialHitColours[static_cast<size_t>(region)];
    return qRgb(colour.red, colour.green, colour.blue);
}

const std::array<int, kDialRegionCount>& FaceHours(DialFace face) {
    return face == DialFace::Day ? DayFaceHours : NightFaceHours;
}

// Paints each cell with the colour chosen for it.
template <typename ColourOf>
QImage PaintCells(ColourOf colourOf) {
    QImage image(kDialSize, kDialSize, QImage::Format_RGB32);
    for (int y = 0; y < kDialSize; ++y) {
        for (int x = 0; x < kDialSize; ++x) {
            image.setPixel(x, y, colourOf(DialCellAt(x, y)));
        }
    }
    return image;
}

QFont NumberFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic")});
    font.setPixelSize(kNumberPixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// Prints the clock position in the middle of its outer-ring sector. The number is rendered
// apart first so that its inked pixels, not the font's metrics, are what gets centred.
void PrintNumber(QImage& face, const QFont& font, int position) {
    QImage scratch(kScratchSize, kScratchSize, QImage::Format_ARGB32);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(QColor(kBlack));
        painter.drawText(QRect(0, 0, kScratchSize, kScratchSize), Qt::AlignCenter,
                         QString::number(position));
    }
    QRect ink;
    for (int y = 0; y < kScratchSize; ++y) {
        for (int x = 0; x < kScratchSize; ++x) {
            if (qAlpha(scratch.pixel(x, y)) != 0) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    if (ink.isEmpty()) {
        return;
    }
    const double middle = (kInnerRingRadius + kOuterRingRadius) / 2;
    const double angle = Radians(kSectorDegrees * position);
    const int left =
        static_cast<int>(std::lround(kCentre + middle * std::sin(angle) - ink.width() / 2.0));
    const int top =
        static_cast<int>(std::lround(kCentre - middle * std::cos(angle) - ink.height() / 2.0));
    for (int y = 0; y < ink.height(); ++y) {
        for (int x = 0; x < ink.width(); ++x) {
            if (qAlpha(scratch.pixel(ink.left() + x, ink.top() + y)) != 0) {
                face.setPixel(left + x, top + y, kBlack);
            }
        }
    }
}

void DrawEmblem(QImage& face, const Emblem& emblem) {
    const QImage art = DrawPixelArt(emblem);
    const int origin = static_cast<int>(kCentre) - kEmblemSize / 2;
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            if (qAlpha(art.pixel(x, y)) != 0) {
                face.setPixel(origin + x, origin + y, art.pixel(x, y));
            }
        }
    }
}

}  // namespace

int DialCellAt(int x, int y) {
    const double dx = x + 0.5 - kCentre;
    const double dy = y + 0.5 - kCentre;
    const double distance = std::hypot(dx, dy);
    if (OnCircle(distance, kCentreDiscRadius) || OnCircle(distance, kInnerRingRadius) ||
        OnCircle(distance, kOuterRingRadius)) {
        return kDialSeparator;
    }
    if (distance > kOuterRingRadius) {
        return kDialOutside;
    }
    if (distance < kCentreDiscRadius) {
        return 0;
    }
    if (OnSectorBoundary(dx, dy)) {
        return kDialSeparator;
    }
    const int position = ClockPosition(dx, dy);
    const int firstRegion = distance < kInnerRingRadius ? kInnerFirstRegion : kOuterFirstRegion;
    return firstRegion + position - 1;
}

int DialRegionOfColour(QRgb pixel) {
    for (int region = 0; region < kDialRegionCount; ++region) {
        const DialColour& colour = DialHitColours[static_cast<size_t>(region)];
        if (qRed(pixel) == colour.red && qGreen(pixel) == colour.green &&
            qBlue(pixel) == colour.blue) {
            return region;
        }
    }
    return -1;
}

bool IsNightHour(int hour) {
    return (hour >= 18 && hour <= 23) || (hour >= 0 && hour <= 5);
}

QImage DrawDialHitMap() {
    return PaintCells([](int cell) {
        if (cell == kDialSeparator) {
            return kBlack;
        }
        if (cell == kDialOutside) {
            return kWhite;
        }
        return HitColour(cell);
    });
}

QImage DrawDialFace(DialFace face) {
    const auto& hours = FaceHours(face);
    QImage image = PaintCells([&hours](int cell) {
        if (cell == kDialSeparator) {
            return kBlack;
        }
        if (cell >= kInnerFirstRegion && IsNightHour(hours[static_cast<size_t>(cell)])) {
            return kDialNightShade;
        }
        return kWhite;
    });
    DrawEmblem(image, face == DialFace::Day ? kSunEmblem : kMoonEmblem);
    const QFont font = NumberFont();
    for (int position = 1; position <= kClockPositions; ++position) {
        PrintNumber(image, font, position);
    }
    return image;
}

}  // namespace resources

#include "platform/gui/line_rasteriser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace gui {

namespace {

int64_t FloorDivide(int64_t numerator, int64_t denominator) {
    int64_t quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
        --quotient;
    }
    return quotient;
}

int Sign(int64_t value) {
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

bool WithinLimits(Point p) {
    return std::abs(p.x) <= kMaxLineCoordinate && std::abs(p.y) <= kMaxLineCoordinate;
}

}  // namespace

std::vector<Point> LinePixels(Point from, Point to, const Rect& window) {
    std::vector<Point> pixels;
    LinePixels(from, to, window, pixels);
    return pixels;
}

void LinePixels(Point from, Point to, const Rect& window, std::vector<Point>& pixels) {
    pixels.clear();
    if (window.IsEmpty() || !WithinLimits(from) || !WithinLimits(to)) {
        return;
    }
    const int64_t dx = static_cast<int64_t>(to.x) - from.x;
    const int64_t dy = static_cast<int64_t>(to.y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t majorLength = xMajor ? std::llabs(dx) : std::llabs(dy);
    const int64_t minorLength = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int majorStep = Sign(xMajor ? dx : dy);
    const int minorStep = Sign(xMajor ? dy : dx);
    const int64_t majorStart = xMajor ? from.x : from.y;
    const int64_t minorStart = xMajor ? from.y : from.x;
    const int64_t windowLow = xMajor ? window.left : window.top;
    const int64_t windowHigh = xMajor ? window.right : window.bottom;

    // Only the steps whose major coordinate falls inside the window are walked.
    int64_t firstStep = 0;
    int64_t endStep = majorLength;
    if (majorStep > 0) {
        firstStep = std::max(firstStep, windowLow - majorStart);
        endStep = std::min(endStep, windowHigh - majorStart);
    } else if (majorStep < 0) {
        firstStep = std::max(firstStep, majorStart - windowHigh + 1);
        endStep = std::min(endStep, majorStart - windowLow + 1);
    }
    if (firstStep >= endStep) {
        return;
    }

    // Minor offset after i steps: i * minor / major rounded to the nearest integer, a tie
    // going to the smaller coordinate. Going towards larger coordinates that means not
    // stepping on a tie, going towards smaller ones stepping.
    const bool stepOnTie = minorStep < 0;
    const int64_t twiceMajor = 2 * majorLength;
    int64_t minorOffset = stepOnTie
                              ? FloorDivide(2 * firstStep * minorLength + majorLength, twiceMajor)
                              : -FloorDivide(majorLength - 2 * firstStep * minorLength, twiceMajor);
    // Twice the distance, in units of 1 / major, by which the exact line lies beyond the
    // pixel taken: within (-major, major], or [-major, major) when stepping on a tie.
    int64_t error = 2 * firstStep * minorLength - minorOffset * twiceMajor;

    pixels.reserve(static_cast<size_t>(endStep - firstStep));
    for (int64_t step = firstStep; step < endStep; ++step) {
        const int64_t major = majorStart + step * majorStep;
        const int64_t minor = minorStart + minorOffset * minorStep;
        const Point pixel = xMajor ? Point{static_cast<int>(major), static_cast<int>(minor)}
                                   : Point{static_cast<int>(minor), static_cast<int>(major)};
        if (window.Contains(pixel)) {
            pixels.push_back(pixel);
        }
        error += 2 * minorLength;
        if (error > majorLength || (stepOnTie && error == majorLength)) {
            ++minorOffset;
            error -= twiceMajor;
        }
    }
}

}  // namespace gui

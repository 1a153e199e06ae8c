#include "platform/handwriting/model_ink.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace handwriting {
namespace {

// The smallest rectangle holding every point of the ink.
struct InkExtent {
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = std::numeric_limits<int>::min();
    int bottom = std::numeric_limits<int>::min();

    double CentreX() const { return (left + right) / 2.0; }
    double CentreY() const { return (top + bottom) / 2.0; }
};

InkExtent ExtentOf(const std::vector<Stroke>& strokes) {
    InkExtent extent;
    for (const Stroke& stroke : strokes) {
        for (const InkPoint& point : stroke) {
            extent.left = std::min(extent.left, point.x);
            extent.top = std::min(extent.top, point.y);
            extent.right = std::max(extent.right, point.x);
            extent.bottom = std::max(extent.bottom, point.y);
        }
    }
    return extent;
}

}  // namespace

Stroke TellingPoints(const Stroke& stroke, size_t limit) {
    if (stroke.size() <= 2) {
        return stroke;
    }
    std::vector<bool> kept(stroke.size(), false);
    kept.front() = true;
    kept.back() = true;
    size_t keptCount = 2;
    const auto offLine = [&](size_t from, size_t to, size_t at) {
        const double dx = stroke[to].x - stroke[from].x;
        const double dy = stroke[to].y - stroke[from].y;
        const double px = stroke[at].x - stroke[from].x;
        const double py = stroke[at].y - stroke[from].y;
        const double length = std::hypot(dx, dy);
        return length == 0 ? std::hypot(px, py) : std::abs(dx * py - dy * px) / length;
    };
    while (keptCount < limit) {
        double farthest = 0;
        size_t chosen = 0;
        size_t from = 0;
        for (size_t to = 1; to < stroke.size(); ++to) {
            if (!kept[to]) {
                continue;
            }
            for (size_t at = from + 1; at < to; ++at) {
                if (const double distance = offLine(from, to, at); distance > farthest) {
                    farthest = distance;
                    chosen = at;
                }
            }
            from = to;
        }
        if (farthest < 1.0) {
            break;
        }
        kept[chosen] = true;
        ++keptCount;
    }
    Stroke telling;
    for (size_t i = 0; i < stroke.size(); ++i) {
        if (kept[i]) {
            telling.push_back(stroke[i]);
        }
    }
    return telling;
}

std::vector<Stroke> ModelFrameInk(const std::vector<Stroke>& written, int boxSize) {
    std::vector<Stroke> inside;
    for (const Stroke& stroke : written) {
        if (stroke.empty()) {
            continue;
        }
        Stroke clamped = stroke;
        for (InkPoint& point : clamped) {
            point.x = std::clamp(point.x, 0, boxSize - 1);
            point.y = std::clamp(point.y, 0, boxSize - 1);
        }
        inside.push_back(std::move(clamped));
    }
    const InkExtent extent = ExtentOf(inside);
    const double scale = static_cast<double>(kModelFrame) / boxSize;
    const auto toFrame = [scale](int coordinate, double inkCentre) {
        return static_cast<int>(std::lround(kModelFrame / 2.0 + (coordinate - inkCentre) * scale));
    };
    std::vector<Stroke> framed;
    framed.reserve(inside.size());
    for (const Stroke& stroke : inside) {
        Stroke points;
        for (const InkPoint& point : TellingPoints(stroke, kMaxModelPointsPerStroke)) {
            points.push_back(
                {toFrame(point.x, extent.CentreX()), toFrame(point.y, extent.CentreY())});
        }
        framed.push_back(std::move(points));
    }
    return framed;
}

}  // namespace handwriting

#include "views/ink_drawing.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/gui/surface.h"

namespace views {
namespace {

// The pad writes pens 1 to 3 pixels wide; a file may say anything, so stay in that range.
constexpr int kMinPenWidth = 1;
constexpr int kMaxPenWidth = 3;

int ScaledCoordinate(int origin, int32_t value, int scale) {
    const int64_t scaled = static_cast<int64_t>(value) * scale / 100 + origin;
    return static_cast<int>(std::clamp<int64_t>(scaled, std::numeric_limits<int>::min() / 2,
                                                std::numeric_limits<int>::max() / 2));
}

}  // namespace

void DrawInk(gui::Surface& surface, std::span<const schedule::InkEntry> entries, int32_t count,
             int x0, int y0, int scale) {
    const size_t used = std::min(entries.size(), static_cast<size_t>(std::max(count, 0)));
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(gui::kBlack, 1));
    int pendingWidth = 1;
    std::vector<gui::Point> stroke;
    for (size_t i = 0; i < used; ++i) {
        const schedule::InkEntry& entry = entries[i];
        switch (schedule::KindOfInkEntry(entry)) {
            case schedule::InkEntryKind::Width:
                pendingWidth =
                    scale == kFullInkScale ? std::clamp(entry.y, kMinPenWidth, kMaxPenWidth) : 1;
                break;
            case schedule::InkEntryKind::Colour:
                surface.SelectPen(gui::Pen::Solid(schedule::InkColourOf(entry.y), pendingWidth));
                break;
            case schedule::InkEntryKind::End:
                surface.Polyline(stroke);
                stroke.clear();
                break;
            case schedule::InkEntryKind::Point:
                stroke.push_back(
                    {ScaledCoordinate(x0, entry.x, scale), ScaledCoordinate(y0, entry.y, scale)});
                break;
            case schedule::InkEntryKind::Unknown:
                break;
        }
    }
    surface.SelectPen(previous);
}

}  // namespace views

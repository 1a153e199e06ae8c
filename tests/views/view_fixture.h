#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>
#include <string_view>

#include "platform/gui/colors.h"
#include "platform/gui/surface.h"
#include "platform/time/date_time.h"
#include "schedule/day_items.h"
#include "schedule/month_census.h"
#include "settings/settings.h"
#include "views/view_font.h"
#include "views/view_state.h"

namespace views::testing {

// The fixture's untouched background, and the pure colours views draw in.
inline constexpr gui::ColorRef kCyan = 0xFFFF00;
inline constexpr gui::ColorRef kRed = 0x0000FF;
inline constexpr gui::ColorRef kBlue = 0xFF0000;

// The height of the view font the corner panel and the day list write in.
inline constexpr int kListFontHeight = 13;

// Names a case of a drawing origin after its pixel, "At127x2".
inline std::string OriginName(const ::testing::TestParamInfo<gui::Point>& info) {
    return "At" + std::to_string(info.param.x) + "x" + std::to_string(info.param.y);
}

// A device-sized image, a state the test fills in, and pixel reading.
struct ViewFixture {
    explicit ViewFixture(int width = 320, int height = 320)
        : image(width, height, QImage::Format_RGB32),
          dayItems(std::make_unique<schedule::DayItems>()) {
        image.fill(Qt::cyan);  // neither white nor any colour a panel draws
    }

    ViewState State() const {
        return ViewState{selectedDate, todayDate, census, *dayItems, settings};
    }

    gui::ColorRef Pixel(int x, int y) const { return gui::FromQRgb(image.pixel(x, y)); }

    // Pixels of `color` inside [left, right) x [top, bottom).
    int Count(int left, int top, int right, int bottom, gui::ColorRef color) const {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                count += Pixel(x, y) == color ? 1 : 0;
            }
        }
        return count;
    }

    // Pixels inside the rectangle that are not white: what was drawn there.
    int Inked(int left, int top, int right, int bottom) const {
        return (right - left) * (bottom - top) - Count(left, top, right, bottom, gui::kWhite);
    }

    static platform::Date Day(int year, int month, int day, int hour = 0, int minute = 0) {
        return *platform::MakeDate(year, month, day, hour, minute);
    }

    QImage image;
    settings::Settings settings;
    schedule::MonthCensusState census;
    std::unique_ptr<schedule::DayItems> dayItems;
    platform::Date selectedDate = 0;
    platform::Date todayDate = 0;
};

// Pixels of `rect` that differ from `text` alone drawn on white in the view font of `height`, in
// `colour`, placed by `align`; -1 when that text puts no pixel into the rectangle.
inline int TextMismatch(const ViewFixture& fixture, const gui::Rect& rect, std::u16string_view text,
                        gui::TextAlign align, gui::ColorRef colour, int height) {
    QImage reference(fixture.image.size(), QImage::Format_RGB32);
    reference.fill(Qt::white);
    gui::Surface surface(reference);
    surface.SelectFont(CreateViewFont(height, fixture.settings));
    surface.SetTextColor(colour);
    surface.DrawText(text, rect, align);
    int drawn = 0;
    int mismatched = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const gui::ColorRef expected = gui::FromQRgb(reference.pixel(x, y));
            drawn += expected != gui::kWhite ? 1 : 0;
            mismatched += expected != fixture.Pixel(x, y) ? 1 : 0;
        }
    }
    return drawn == 0 ? -1 : mismatched;
}

// Pixels of `area` where the fixture and `text` alone, drawn in `font` into `rect` by `align`,
// disagree on being `colour`; -1 when that text puts no pixel of `colour` into `area`. Only the
// one colour is compared, so lines and backgrounds around the text do not count.
inline int TextShapeMismatch(const ViewFixture& fixture, const gui::Font& font,
                             const gui::Rect& rect, std::u16string_view text, gui::TextAlign align,
                             const gui::Rect& area, gui::ColorRef colour = gui::kBlack) {
    QImage reference(fixture.image.size(), QImage::Format_RGB32);
    reference.fill(Qt::white);
    gui::Surface surface(reference);
    surface.SelectFont(font);
    surface.SetTextColor(colour);
    surface.DrawText(text, rect, align);
    int drawn = 0;
    int mismatched = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const bool expected = gui::FromQRgb(reference.pixel(x, y)) == colour;
            drawn += expected ? 1 : 0;
            mismatched += expected != (fixture.Pixel(x, y) == colour) ? 1 : 0;
        }
    }
    return drawn == 0 ? -1 : mismatched;
}

}  // namespace views::testing

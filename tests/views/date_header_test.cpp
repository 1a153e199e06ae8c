#include "views/date_header.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/views/view_fixture.h"

namespace views {
namespace {

using testing::ViewFixture;

using testing::kCyan;
using testing::OriginName;

// Pixels of the header's text area where the drawn header and `expected`, drawn alone in the
// same font, differ; the comparison leaves out the top line.
int HeaderTextMismatch(const ViewFixture& fixture, const gui::Font& font, int x, int y,
                       std::u16string_view expected) {
    return testing::TextShapeMismatch(fixture, font, {x + 2, y, x + 76, y + 22}, expected,
                                      gui::TextAlign::Center, {x + 2, y + 1, x + 76, y + 22});
}

// In the main window the header follows the month grid in the grid's 9-pixel font.
TEST(DateHeaderText, TwoDigitFieldsAndTheWeekdayLetterInTheGridFont) {
    ViewFixture fixture;
    gui::Surface surface(fixture.image);
    const gui::Font font = CreateViewFont(kGridTextHeight, fixture.settings);
    surface.SelectFont(font);
    DrawDateHeader(surface, 241, 2, ViewFixture::Day(2010, 1, 1));

    EXPECT_EQ(HeaderTextMismatch(fixture, font, 241, 2, u"10/01/01(金)"), 0);
    // The comparison can tell one weekday letter or one digit from another.
    EXPECT_GT(HeaderTextMismatch(fixture, font, 241, 2, u"10/01/01(木)"), 0);
    EXPECT_GT(HeaderTextMismatch(fixture, font, 241, 2, u"10/01/02(金)"), 0);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), kGridTextHeight);
}

TEST(DateHeaderText, YearOfACenturyStartReadsZeroZero) {
    ViewFixture fixture;
    gui::Surface surface(fixture.image);
    const gui::Font font = CreateViewFont(kGridTextHeight, fixture.settings);
    surface.SelectFont(font);
    DrawDateHeader(surface, 241, 2, ViewFixture::Day(2000, 2, 29));
    EXPECT_EQ(HeaderTextMismatch(fixture, font, 241, 2, u"00/02/29(火)"), 0);
}

// The summary pop-up draws the header at (1, 1) in the surface's own font.
TEST(DateHeaderText, SurfacesOwnFontAtThePopUpsOrigin) {
    ViewFixture fixture;
    gui::Surface surface(fixture.image);
    const gui::Font font = surface.CurrentFont();
    surface.SetTextColor(0x0000FF);
    DrawDateHeader(surface, 1, 1, ViewFixture::Day(2004, 10, 26));

    EXPECT_EQ(HeaderTextMismatch(fixture, font, 1, 1, u"04/10/26(火)"), 0);
    EXPECT_EQ(fixture.Count(3, 2, 77, 23, 0x0000FF), 0);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), font.CellHeight());
}

class DateHeaderFrame : public ::testing::TestWithParam<gui::Point> {};

TEST_P(DateHeaderFrame, TopAndLeftLinesOnAWhitePanel) {
    const auto [x, y] = GetParam();
    ViewFixture fixture;
    gui::Surface surface(fixture.image);
    DrawDateHeader(surface, x, y, ViewFixture::Day(2010, 1, 1));

    EXPECT_EQ(fixture.Count(x, y, x + 76, y + 1, gui::kBlack), 76);
    EXPECT_EQ(fixture.Count(x, y, x + 1, y + 71, gui::kBlack), 71);
    // Below the text the panel is plain white up to its right and bottom edges, which have no
    // line of their own.
    EXPECT_EQ(fixture.Inked(x + 1, y + 22, x + 76, y + 71), 0);
    EXPECT_EQ(fixture.Count(x + 76, y, x + 77, y + 71, kCyan), 71);
    EXPECT_EQ(fixture.Count(x, y + 71, x + 76, y + 72, kCyan), 76);
    EXPECT_EQ(fixture.Pixel(x - 1, y), kCyan);
}

INSTANTIATE_TEST_SUITE_P(Origins, DateHeaderFrame,
                         ::testing::Values(gui::Point{241, 2}, gui::Point{1, 1},
                                           gui::Point{100, 150}),
                         OriginName);

}  // namespace
}  // namespace views

#include "views/month_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tests/views/view_fixture.h"

namespace views {
namespace {

using testing::ViewFixture;

using testing::kBlue;
using testing::kCyan;
using testing::kRed;
using testing::OriginName;

// The day-cell text rectangle of the grid's geometry table.
gui::Rect CellRect(int x, int y, int row, int column) {
    return {x + 16 * column + 1, y + 10 * row + 11, x + 16 * column + 17, y + 10 * row + 21};
}

size_t CellIndex(int row, int column) {
    return static_cast<size_t>(row * 7 + column);
}

// Puts the days of the month into the census as the month census lays them out: the 1st in row
// 0 under its weekday, then on row by row. Returns the cell of day 1.
int FillMonth(ViewFixture& fixture, int year, int month) {
    fixture.census.dates.fill(0);
    const int firstColumn = platform::DateToFields(ViewFixture::Day(year, month, 1))->DayOfWeek;
    for (int day = 1;; ++day) {
        const std::optional<platform::Date> date = platform::MakeDate(year, month, day);
        if (!date) {
            break;
        }
        fixture.census.dates[static_cast<size_t>(firstColumn + day - 1)] = *date;
    }
    return firstColumn;
}

void DrawGrid(ViewFixture& fixture, int x, int y) {
    gui::Surface surface(fixture.image);
    DrawMonthGrid(surface, x, y, fixture.State());
}

// Distinct colours for every role, none of them black, white or a mark's colour, so that a
// cell's pixels tell which rule picked its colour.
void UseDistinctColours(settings::Settings& settings) {
    settings.ccHoliDay = 0x0000C0;
    settings.ccCurDay = 0x00C0C0;
    settings.ccToday = 0xC000C0;
    settings.ccWeekDay = 0x008000;
    settings.ccSatDay = 0xC00000;
    settings.ccSunDay = 0x000080;
}

class MonthGridLines : public ::testing::TestWithParam<gui::Point> {};

// February 2015 begins on a Sunday and fills rows 0 to 3 only, leaving the last rows bare.
TEST_P(MonthGridLines, CoverTopAndLeftButNotRightOrBottom) {
    const auto [x, y] = GetParam();
    ViewFixture fixture;
    FillMonth(fixture, 2015, 2);
    fixture.selectedDate = ViewFixture::Day(2015, 2, 10);
    DrawGrid(fixture, x, y);

    for (int i = 0; i <= 6; ++i) {
        for (int row = y; row <= y + 70; ++row) {
            ASSERT_EQ(fixture.Pixel(x + 16 * i, row), gui::kBlack) << "column line " << i;
        }
    }
    for (int k = 0; k <= 6; ++k) {
        for (int column = x; column <= x + 111; ++column) {
            ASSERT_EQ(fixture.Pixel(column, y + 10 * k), gui::kBlack) << "row line " << k;
        }
    }
    // Nothing along the right edge, which lies outside the panel, nor below the last row, where
    // only the column lines reach down.
    EXPECT_EQ(fixture.Count(x + 112, y, x + 113, y + 71, kCyan), 71);
    for (int column = x; column < x + 48; ++column) {
        const gui::ColorRef expected = (column - x) % 16 == 0 ? gui::kBlack : gui::kWhite;
        EXPECT_EQ(fixture.Pixel(column, y + 70), expected) << "at x+" << column - x;
    }
    // The background stops at the panel's edges.
    EXPECT_EQ(fixture.Count(x, y + 71, x + 112, y + 72, kCyan), 112);
    EXPECT_EQ(fixture.Count(x - 1, y, x, y + 71, kCyan), 71);
}

INSTANTIATE_TEST_SUITE_P(Origins, MonthGridLines,
                         ::testing::Values(gui::Point{127, 2}, gui::Point{30, 140}), OriginName);

TEST(MonthGrid, RedrawsLinesInBlackWhateverPenWasSelectedAndPutsTheSurfaceBack) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    gui::Surface surface(fixture.image);
    const gui::Pen green = gui::Pen::Solid(0x00FF00);
    surface.SelectPen(green);
    surface.SelectFont(CreateViewFont(kListTextHeight, fixture.settings));
    DrawMonthGrid(surface, 127, 2, fixture.State());

    EXPECT_EQ(fixture.Pixel(127 + 32, 2 + 35), gui::kBlack);
    EXPECT_EQ(fixture.Pixel(127 + 50, 2 + 30), gui::kBlack);
    EXPECT_EQ(fixture.Count(127, 2, 239, 73, 0x00FF00), 0);
    EXPECT_EQ(surface.CurrentPen(), green);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), kListTextHeight);
    EXPECT_EQ(surface.TextColor(), gui::kBlack);
}

// May 2010 begins on a Saturday and runs to row 5: 1 May alone in row 0, column 6; 30 and 31 in
// row 5, columns 0 and 1.
class MonthGridDayColours : public ::testing::Test {
protected:
    static constexpr int kX = 127;
    static constexpr int kY = 2;

    void SetUp() override {
        ASSERT_EQ(FillMonth(fixture, 2010, 5), 6);
        UseDistinctColours(fixture.settings);
    }

    // Where day `day` of May 2010 sits.
    static gui::Rect DayRect(int day) {
        const int cell = 6 + day - 1;
        return CellRect(kX, kY, cell / 7, cell % 7);
    }

    void ExpectColour(int day, gui::ColorRef winner, gui::ColorRef loser) const {
        const gui::Rect r = DayRect(day);
        EXPECT_GT(fixture.Count(r.left, r.top, r.right, r.bottom, winner), 0) << "day " << day;
        EXPECT_EQ(fixture.Count(r.left, r.top, r.right, r.bottom, loser), 0) << "day " << day;
    }

    ViewFixture fixture;
};

TEST_F(MonthGridDayColours, HolidayOutranksSelectedAndSaturday) {
    fixture.selectedDate = ViewFixture::Day(2010, 5, 15);  // a Saturday
    fixture.census.census.holiday[6 + 14] = 1;
    fixture.census.census.holiday[6 + 21] = 1;  // Saturday 22 May, not selected
    DrawGrid(fixture, kX, kY);

    const settings::Settings& s = fixture.settings;
    ExpectColour(15, s.ccHoliDay, s.ccCurDay);
    ExpectColour(15, s.ccHoliDay, s.ccSatDay);
    ExpectColour(22, s.ccHoliDay, s.ccSatDay);
}

TEST_F(MonthGridDayColours, SelectedOutranksTodayAndTodayOutranksSunday) {
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    fixture.todayDate = ViewFixture::Day(2010, 5, 12);
    DrawGrid(fixture, kX, kY);
    ExpectColour(12, fixture.settings.ccCurDay, fixture.settings.ccToday);

    fixture.image.fill(Qt::cyan);
    fixture.todayDate = ViewFixture::Day(2010, 5, 16);  // a Sunday, neither selected nor a holiday
    DrawGrid(fixture, kX, kY);
    ExpectColour(16, fixture.settings.ccToday, fixture.settings.ccSunDay);
    ExpectColour(12, fixture.settings.ccCurDay, fixture.settings.ccToday);
}

TEST_F(MonthGridDayColours, PlainDaysTakeTheirColumnsColour) {
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    DrawGrid(fixture, kX, kY);
    const settings::Settings& s = fixture.settings;
    ExpectColour(1, s.ccSatDay, s.ccWeekDay);
    ExpectColour(23, s.ccSunDay, s.ccWeekDay);
    ExpectColour(29, s.ccSatDay, s.ccSunDay);
    ExpectColour(25, s.ccWeekDay, s.ccSatDay);
    ExpectColour(30, s.ccSunDay, s.ccWeekDay);
    ExpectColour(31, s.ccWeekDay, s.ccSunDay);
}

TEST_F(MonthGridDayColours, DayNumberIsTheDayOfMonthCentredAtTheTop) {
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    DrawGrid(fixture, kX, kY);
    const gui::Font font = CreateViewFont(kGridTextHeight, fixture.settings);
    const std::array<std::pair<int, std::u16string_view>, 3> days = {
        {{1, u"1"}, {13, u"13"}, {31, u"31"}}};
    for (const auto& [day, text] : days) {
        const gui::Rect r = DayRect(day);
        // Leave out the line on the cell's right and the one below it.
        const gui::Rect inside{r.left, r.top, r.right - 1, r.bottom - 1};
        const gui::ColorRef colour =
            day == 1 ? fixture.settings.ccSatDay : fixture.settings.ccWeekDay;
        EXPECT_EQ(testing::TextShapeMismatch(fixture, font, r, text, gui::TextAlign::CenterTop,
                                             inside, colour),
                  0)
            << "day " << day;
    }
}

// The contrast of two colours as the web's accessibility guidelines measure it, from 1 (the
// same) to 21 (black on white); text wants at least 3 to be read at a glance.
double ContrastOf(gui::ColorRef a, gui::ColorRef b) {
    const auto luminance = [](gui::ColorRef colour) {
        const auto channel = [](int value) {
            const double c = value / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(gui::RedOf(colour)) + 0.7152 * channel(gui::GreenOf(colour)) +
               0.0722 * channel(gui::BlueOf(colour));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colours drawn inside a day cell's grid lines, each with how many pixels it took.
std::map<gui::ColorRef, int> ColoursInside(const ViewFixture& fixture, const gui::Rect& cell) {
    std::map<gui::ColorRef, int> colours;
    for (int y = cell.top; y < cell.bottom - 1; ++y) {
        for (int x = cell.left; x < cell.right - 1; ++x) {
            ++colours[fixture.Pixel(x, y)];
        }
    }
    return colours;
}

// The selected day (today, when the planner starts) stands on a cell of its own colour with a
// number that can be read on it: black on the default yellow, white on a dark colour; the
// contrast of the two colours drawn is at least 3:1 whatever the colour.
TEST(MonthGridSelectedDay, ItsNumberIsReadableOnItsOwnColour) {
    struct Case {
        gui::ColorRef setting;
        gui::ColorRef ink;
    };
    const Case cases[] = {
        {settings::Settings{}.ccCurDay, gui::kBlack},  // the default yellow
        {gui::Rgb(0x00, 0x00, 0x80), gui::kWhite},     // navy
        {gui::Rgb(0x80, 0x80, 0x80), gui::kBlack},     // a middle grey: the weakest case
        {gui::Rgb(0xFF, 0x00, 0xFF), gui::kBlack},     // magenta
    };
    for (const Case& c : cases) {
        ViewFixture fixture;
        FillMonth(fixture, 2010, 5);
        fixture.settings.ccCurDay = c.setting;
        fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
        fixture.todayDate = fixture.selectedDate;
        DrawGrid(fixture, 127, 2);
        const gui::Rect cell = CellRect(127, 2, 2, 3);  // Wednesday 12 May
        const std::map<gui::ColorRef, int> colours = ColoursInside(fixture, cell);
        // The whole inside is the setting's colour but for the number's ink.
        ASSERT_EQ(colours.size(), 2u) << std::hex << c.setting;
        EXPECT_GT(colours.at(c.setting), 15 * 9 / 2) << std::hex << c.setting;
        EXPECT_GT(colours.at(c.ink), 8) << std::hex << c.setting;
        EXPECT_GE(ContrastOf(c.setting, c.ink), 3.0) << std::hex << c.setting;
        // The grid lines around it stay black, and the neighbours keep their white.
        EXPECT_EQ(fixture.Pixel(cell.right - 1, cell.top + 4), gui::kBlack);
        EXPECT_EQ(fixture.Pixel(cell.left + 4, cell.bottom - 1), gui::kBlack);
        EXPECT_EQ(fixture.Pixel(cell.right + 1, cell.top + 1), gui::kWhite);
    }
    // The default yellow is kept: a pale yellow cell, a black number.
    const gui::ColorRef yellow = settings::Settings{}.ccCurDay;
    EXPECT_EQ(yellow, gui::Rgb(0xFF, 0xFF, 0x00));
    EXPECT_LT(ContrastOf(yellow, gui::kWhite), 3.0);  // why it is no longer the number's ink
}

TEST(MonthGridMarks, FourBandsStackTwoByTwoDotsDownTheRightSide) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    const size_t cell = CellIndex(5, 1);  // 31 May: the last row has no line below it
    fixture.census.census.timeBands[cell] = 0x0F;
    DrawGrid(fixture, 127, 2);

    const gui::Rect r = CellRect(127, 2, 5, 1);
    for (int k = 0; k < 4; ++k) {
        for (int dy = 2; dy <= 3; ++dy) {
            EXPECT_EQ(fixture.Pixel(r.left + 13, r.top + dy + 2 * k), kRed) << "band " << k;
            EXPECT_EQ(fixture.Pixel(r.left + 14, r.top + dy + 2 * k), kRed) << "band " << k;
        }
    }
    EXPECT_EQ(fixture.Count(r.left, r.top, r.right, r.bottom, kRed), 16);
    EXPECT_NE(fixture.Pixel(r.left + 12, r.top + 2), kRed);
    EXPECT_NE(fixture.Pixel(r.left + 13, r.top + 1), kRed);
}

TEST(MonthGridMarks, EachBandBitLightsOnlyItsOwnDot) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    const size_t cell = CellIndex(2, 3);  // 12 May
    fixture.census.census.timeBands[cell] = 0x01 | 0x04;
    DrawGrid(fixture, 127, 2);

    const gui::Rect r = CellRect(127, 2, 2, 3);
    auto dotCount = [&](int k) {
        return fixture.Count(r.left + 13, r.top + 2 + 2 * k, r.left + 15, r.top + 4 + 2 * k, kRed);
    };
    EXPECT_EQ(dotCount(0), 4);
    EXPECT_EQ(dotCount(1), 0);
    EXPECT_EQ(dotCount(2), 4);
    EXPECT_EQ(dotCount(3), 0);
}

// The evening dot's lower half lies on the next row's grid line, which is drawn after the marks.
TEST(MonthGridMarks, GridLineCoversTheLowerHalfOfTheEveningDot) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    fixture.census.census.timeBands[CellIndex(1, 2)] = 0x08;  // 4 May
    DrawGrid(fixture, 127, 2);

    const gui::Rect r = CellRect(127, 2, 1, 2);
    EXPECT_EQ(fixture.Pixel(r.left + 13, r.top + 8), kRed);
    EXPECT_EQ(fixture.Pixel(r.left + 14, r.top + 8), kRed);
    EXPECT_EQ(fixture.Pixel(r.left + 13, r.top + 9), gui::kBlack);
    EXPECT_EQ(fixture.Pixel(r.left + 14, r.top + 9), gui::kBlack);
}

TEST(MonthGridMarks, AllDayUnderlineLeavesOutItsEndPixelAndSitsWithTheDots) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    const size_t cell = CellIndex(3, 4);  // 20 May
    fixture.census.census.allDay[cell] = 1;
    fixture.census.census.timeBands[cell] = 0x02;
    fixture.census.census.allDay[CellIndex(3, 5)] = 2;  // only 1 means an all-day appointment
    DrawGrid(fixture, 127, 2);

    const gui::Rect r = CellRect(127, 2, 3, 4);
    for (int column = r.left + 3; column <= r.left + 11; ++column) {
        EXPECT_EQ(fixture.Pixel(column, r.top + 8), kBlue) << "at left+" << column - r.left;
    }
    EXPECT_NE(fixture.Pixel(r.left + 2, r.top + 8), kBlue);
    EXPECT_NE(fixture.Pixel(r.left + 12, r.top + 8), kBlue);
    EXPECT_EQ(fixture.Count(r.left, r.top, r.right, r.bottom, kBlue), 9);
    EXPECT_EQ(fixture.Count(r.left + 13, r.top + 4, r.left + 15, r.top + 6, kRed), 4);

    const gui::Rect next = CellRect(127, 2, 3, 5);
    EXPECT_EQ(fixture.Count(next.left, next.top, next.right, next.bottom, kBlue), 0);
}

TEST(MonthGridMarks, CellsWithoutADayDrawNothingWhateverTheirMarks) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);  // cells 0 to 5 of row 0 are empty
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    for (size_t cell : {CellIndex(0, 0), CellIndex(0, 2), CellIndex(6, 0)}) {
        fixture.census.census.allDay[cell] = 1;
        fixture.census.census.timeBands[cell] = 0x0F;
        fixture.census.census.holiday[cell] = 1;
    }
    DrawGrid(fixture, 127, 2);

    for (int column : {0, 2}) {
        const gui::Rect r = CellRect(127, 2, 0, column);
        EXPECT_EQ(fixture.Inked(r.left, r.top, r.right - 1, r.bottom - 1), 0) << column;
    }
    // Row 6 of the census is never drawn: below the panel the fixture's background stays.
    EXPECT_EQ(fixture.Count(127, 73, 240, 83, kCyan), 113 * 10);
}

TEST(MonthGridButtons, FourLabelsOnTheLastRowInBlack) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    DrawGrid(fixture, 127, 2);

    const gui::Font font = CreateViewFont(kGridTextHeight, fixture.settings);
    const std::array<std::u16string_view, 4> labels = {u"i", u"<", u"・", u">"};
    for (int column = 3; column <= 6; ++column) {
        const gui::Rect r = CellRect(127, 2, 5, column);
        const gui::Rect inside{r.left, r.top, r.right - 1, r.bottom};
        EXPECT_GT(fixture.Count(inside.left, inside.top, inside.right, inside.bottom, gui::kBlack),
                  0);
        EXPECT_EQ(testing::TextShapeMismatch(fixture, font, r, labels[column - 3],
                                             gui::TextAlign::CenterTop, inside),
                  0)
            << "column " << column;
    }
    // A 28-day February from a Sunday leaves rows 4 and 5 empty but for the buttons.
    ViewFixture february;
    FillMonth(february, 2015, 2);
    february.selectedDate = ViewFixture::Day(2015, 2, 1);
    DrawGrid(february, 127, 2);
    for (int column = 0; column <= 2; ++column) {
        const gui::Rect r = CellRect(127, 2, 5, column);
        EXPECT_EQ(february.Count(r.left, r.top, r.right - 1, r.bottom - 1, gui::kBlack), 0);
    }
    const gui::Rect button = CellRect(127, 2, 5, 4);
    EXPECT_EQ(
        testing::TextShapeMismatch(february, font, button, u"<", gui::TextAlign::CenterTop,
                                   {button.left, button.top, button.right - 1, button.bottom}),
        0);
}

TEST(MonthGridHeader, WeekdayLettersInTheirColours) {
    ViewFixture fixture;
    FillMonth(fixture, 2010, 5);
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    UseDistinctColours(fixture.settings);
    DrawGrid(fixture, 127, 2);

    const gui::Font font = CreateViewFont(kGridTextHeight, fixture.settings);
    const std::u16string_view letters = u"日月火水木金土";
    for (int column = 0; column < 7; ++column) {
        const gui::Rect r{127 + 16 * column, 2, 127 + 16 * column + 16, 12};
        gui::ColorRef colour = fixture.settings.ccWeekDay;
        if (column == 0) {
            colour = fixture.settings.ccSunDay;
        } else if (column == 6) {
            colour = fixture.settings.ccSatDay;
        }
        EXPECT_EQ(testing::TextShapeMismatch(fixture, font, r,
                                             letters.substr(static_cast<size_t>(column), 1),
                                             gui::TextAlign::CenterTop,
                                             {r.left + 1, r.top + 1, r.right, r.bottom}, colour),
                  0)
            << "column " << column;
    }
}

// The month number goes down first: it shows only where nothing later drew, and it is the
// selected date's month.
void ExpectMonthNumberBehindTheGrid(int year, int month, std::u16string_view text, int x, int y) {
    ViewFixture fixture;
    FillMonth(fixture, year, month);
    fixture.selectedDate = ViewFixture::Day(year, month, 3);
    fixture.census.census.timeBands.fill(0x0F);
    fixture.census.census.allDay.fill(1);
    DrawGrid(fixture, x, y);

    QImage reference(fixture.image.size(), QImage::Format_RGB32);
    reference.fill(Qt::white);
    gui::Surface surface(reference);
    surface.SelectFont(CreateViewFont(kMonthNumberHeight, fixture.settings));
    surface.SetTextColor(gui::kLightGray);
    surface.DrawText(text, {x, y + 10, x + 126, y + 72}, gui::TextAlign::Center);

    int shown = 0;
    int coveredByLines = 0;
    for (int py = y; py < y + 71; ++py) {
        for (int px = x; px < x + 112; ++px) {
            const bool inNumber = gui::FromQRgb(reference.pixel(px, py)) == gui::kLightGray;
            const gui::ColorRef drawn = fixture.Pixel(px, py);
            if (drawn == gui::kLightGray) {
                ASSERT_TRUE(inNumber) << "stray grey at x+" << px - x << " y+" << py - y;
                ++shown;
            } else if (inNumber) {
                ASSERT_NE(drawn, gui::kWhite) << "number missing at x+" << px - x;
            }
            const bool onLine = (px - x) % 16 == 0 || ((py - y) % 10 == 0 && py - y < 70);
            if (inNumber && onLine) {
                ASSERT_EQ(drawn, gui::kBlack);
                ++coveredByLines;
            }
        }
    }
    EXPECT_GT(shown, 100);
    EXPECT_GT(coveredByLines, 0);
}

TEST(MonthGridNumber, SingleDigitMonthBehindEverything) {
    ExpectMonthNumberBehindTheGrid(2010, 5, u"5", 127, 2);
}

TEST(MonthGridNumber, TwoDigitMonthAtAnotherOrigin) {
    ExpectMonthNumberBehindTheGrid(2011, 12, u"12", 3, 5);
}

}  // namespace
}  // namespace views

#include "views/day_strip.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "tests/views/view_fixture.h"

namespace views {
namespace {

using testing::ViewFixture;

using testing::kCyan;
using testing::OriginName;

// The slots' left edges from the strip's origin, gaps before the 12 and the 18 o'clock slots.
constexpr std::array<int, kDayStripSlots> kSlotLefts = {0,  5,  10, 15, 22, 27, 32,
                                                        37, 42, 47, 54, 59, 64, 69};

class DayStripTest : public ::testing::Test {
protected:
    void SetUp() override { fixture.selectedDate = ViewFixture::Day(2010, 5, 12); }

    // A timed row listed under `rowDate`, from `start` to `end`.
    void AddRow(platform::Date rowDate, platform::Date start, platform::Date end,
                int32_t allDay = 0) {
        ASSERT_LT(rows, schedule::kDayItemRows);
        schedule::DayItemRow& row = fixture.dayItems->table[rows++];
        row.rowDate = rowDate;
        row.kind = schedule::DayItemKind::Appointment;
        row.start = start;
        row.end = end;
        row.allDay = allDay;
    }

    // A row of the selected day, 12 May 2010, between two times of that day.
    void AddToday(int startHour, int startMinute, int endHour, int endMinute) {
        AddRow(ViewFixture::Day(2010, 5, 12), ViewFixture::Day(2010, 5, 12, startHour, startMinute),
               ViewFixture::Day(2010, 5, 12, endHour, endMinute));
    }

    std::vector<int> Marked() const {
        const DayStripSlots marked = MarkDayStripSlots(fixture.State());
        std::vector<int> set;
        for (int slot = 0; slot < kDayStripSlots; ++slot) {
            if (marked[static_cast<size_t>(slot)]) {
                set.push_back(slot);
            }
        }
        return set;
    }

    ViewFixture fixture;
    size_t rows = 0;
};

using Slots = std::vector<int>;

TEST_F(DayStripTest, EightToTenMarksTheEarlySlotAndNine) {
    AddToday(8, 0, 10, 0);
    EXPECT_EQ(Marked(), (Slots{0, 1}));
}

TEST_F(DayStripTest, StartOnAnEarlierDayCountsFromMidnight) {
    AddRow(ViewFixture::Day(2010, 5, 12), ViewFixture::Day(2010, 5, 11, 22, 0),
           ViewFixture::Day(2010, 5, 12, 10, 0));
    EXPECT_EQ(Marked(), (Slots{0, 1}));
}

TEST_F(DayStripTest, EndOnALaterDayRunsThroughHourTwentyTwo) {
    AddRow(ViewFixture::Day(2010, 5, 12), ViewFixture::Day(2010, 5, 12, 19, 30),
           ViewFixture::Day(2010, 5, 13, 2, 0));
    EXPECT_EQ(Marked(), (Slots{11, 12, 13}));
}

TEST_F(DayStripTest, TwentyOneAndLaterShareTheLastSlot) {
    AddToday(21, 0, 23, 0);
    EXPECT_EQ(Marked(), (Slots{13}));
    AddToday(20, 0, 21, 0);
    EXPECT_EQ(Marked(), (Slots{12, 13}));
}

TEST_F(DayStripTest, TheEndHourAndMinutesCountForNothing) {
    AddToday(10, 0, 11, 0);
    EXPECT_EQ(Marked(), (Slots{2}));

    fixture.dayItems->table[0] = schedule::DayItemRow();
    rows = 0;
    AddToday(10, 30, 10, 45);
    EXPECT_EQ(Marked(), Slots{});
    AddToday(10, 30, 12, 15);
    EXPECT_EQ(Marked(), (Slots{2, 3}));
}

TEST_F(DayStripTest, AllDayRowsAndOtherDaysMarkNothing) {
    AddRow(ViewFixture::Day(2010, 5, 12), ViewFixture::Day(2010, 5, 12, 9, 0),
           ViewFixture::Day(2010, 5, 12, 17, 0), 1);
    AddRow(ViewFixture::Day(2010, 5, 12), ViewFixture::Day(2010, 5, 12, 9, 0),
           ViewFixture::Day(2010, 5, 12, 17, 0), -1);
    AddRow(ViewFixture::Day(2010, 5, 13), ViewFixture::Day(2010, 5, 13, 9, 0),
           ViewFixture::Day(2010, 5, 13, 17, 0));
    AddRow(ViewFixture::Day(2010, 5, 11), ViewFixture::Day(2010, 5, 11, 9, 0),
           ViewFixture::Day(2010, 5, 11, 17, 0));
    EXPECT_EQ(Marked(), Slots{});
}

TEST_F(DayStripTest, RowsOfTheDayAddUpWhateverTheRowDatesTimeOfDay) {
    AddToday(9, 0, 10, 0);
    AddRow(ViewFixture::Day(2010, 5, 12, 12, 0), ViewFixture::Day(2010, 5, 12, 14, 0),
           ViewFixture::Day(2010, 5, 12, 16, 0));
    EXPECT_EQ(Marked(), (Slots{1, 6, 7}));
}

void DrawStrip(ViewFixture& fixture, int x, int y) {
    gui::Surface surface(fixture.image);
    DrawDayStrip(surface, x, y, fixture.State());
}

// Slots 1 to 12 have a black border 5 x 10 with the inside 3 x 8 in `inside`.
void ExpectOutlinedSlot(const ViewFixture& fixture, int left, int y, gui::ColorRef inside) {
    EXPECT_EQ(fixture.Count(left, y, left + 5, y + 10, gui::kBlack), 5 * 10 - 3 * 8)
        << "slot at " << left;
    EXPECT_EQ(fixture.Count(left + 1, y + 1, left + 4, y + 9, inside), 3 * 8) << "slot at " << left;
}

class DayStripDrawing : public ::testing::TestWithParam<gui::Point> {};

TEST_P(DayStripDrawing, EmptyDayShowsTwelveBoxesAndTheLabels) {
    const auto [x, y] = GetParam();
    ViewFixture fixture;
    fixture.selectedDate = ViewFixture::Day(2010, 5, 12);
    DrawStrip(fixture, x, y);

    for (int slot = 1; slot <= 12; ++slot) {
        ExpectOutlinedSlot(fixture, x + kSlotLefts[static_cast<size_t>(slot)], y, gui::kWhite);
    }
    // The end slots and the two gaps stay plain white; the strip ends at x+74.
    EXPECT_EQ(fixture.Inked(x, y, x + 5, y + 10), 0);
    EXPECT_EQ(fixture.Inked(x + 69, y, x + 75, y + 10), 0);
    EXPECT_EQ(fixture.Inked(x + 20, y, x + 22, y + 10), 0);
    EXPECT_EQ(fixture.Inked(x + 52, y, x + 54, y + 10), 0);
    EXPECT_EQ(fixture.Count(x + 75, y, x + 76, y + 10, kCyan), 10);

    const gui::Font font = CreateViewFont(kHourLabelHeight, fixture.settings);
    const gui::Rect nine{x + 5, y + 11, x + 15, y + 21};
    const gui::Rect twentyOne{x + 61, y + 11, x + 71, y + 21};
    EXPECT_EQ(testing::TextShapeMismatch(fixture, font, nine, u"9", gui::TextAlign::LeftTop, nine),
              0);
    EXPECT_EQ(testing::TextShapeMismatch(fixture, font, twentyOne, u"21", gui::TextAlign::LeftTop,
                                         twentyOne),
              0);
    // Nothing else is drawn below the boxes.
    EXPECT_EQ(fixture.Count(x, y + 10, x + 75, y + 21, gui::kBlack),
              fixture.Count(nine.left, nine.top, nine.right, nine.bottom, gui::kBlack) +
                  fixture.Count(twentyOne.left, twentyOne.top, twentyOne.right, twentyOne.bottom,
                                gui::kBlack));
}

INSTANTIATE_TEST_SUITE_P(Origins, DayStripDrawing,
                         ::testing::Values(gui::Point{242, 26}, gui::Point{2, 26},
                                           gui::Point{40, 200}),
                         OriginName);

TEST_F(DayStripTest, SetMiddleSlotsAreGreyBoxesAndSetEndSlotsBareDarkBars) {
    AddToday(7, 0, 8, 0);    // slot 0
    AddToday(10, 0, 11, 0);  // slot 2
    AddToday(17, 0, 18, 0);  // slot 9, just before the evening gap
    AddToday(22, 0, 23, 0);  // slot 13
    const int x = 242;
    const int y = 26;
    DrawStrip(fixture, x, y);

    ExpectOutlinedSlot(fixture, x + kSlotLefts[2], y, gui::kGray);
    ExpectOutlinedSlot(fixture, x + kSlotLefts[9], y, gui::kGray);
    ExpectOutlinedSlot(fixture, x + kSlotLefts[1], y, gui::kWhite);
    ExpectOutlinedSlot(fixture, x + kSlotLefts[10], y, gui::kWhite);
    for (int edge : {kSlotLefts[0], kSlotLefts[13]}) {
        const int left = x + edge;
        EXPECT_EQ(fixture.Count(left + 1, y + 1, left + 4, y + 9, gui::kDarkGray), 3 * 8);
        // No border: the rest of the slot is the white background.
        EXPECT_EQ(fixture.Count(left, y, left + 5, y + 10, gui::kWhite), 5 * 10 - 3 * 8);
    }
    EXPECT_EQ(fixture.Count(x, y, x + 75, y + 10, gui::kGray), 2 * 3 * 8);
}

TEST_F(DayStripTest, PutsBackTheBrushAndFontItSelected) {
    AddToday(10, 0, 11, 0);
    gui::Surface surface(fixture.image);
    const gui::Brush nullBrush = gui::Brush::Null();
    surface.SelectBrush(nullBrush);
    surface.SelectFont(CreateViewFont(kGridTextHeight, fixture.settings));
    DrawDayStrip(surface, 242, 26, fixture.State());

    EXPECT_EQ(surface.CurrentBrush(), nullBrush);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), kGridTextHeight);
    ExpectOutlinedSlot(fixture, 242 + kSlotLefts[1], 26, gui::kWhite);
    ExpectOutlinedSlot(fixture, 242 + kSlotLefts[2], 26, gui::kGray);
}

}  // namespace
}  // namespace views

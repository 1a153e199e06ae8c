#include "views/found_list.h"

#include <gtest/gtest.h>

#include "resources/images.h"
#include "resources/resource_ids.h"
#include "tests/views/view_fixture.h"

namespace views {
namespace {

using testing::TextMismatch;
using testing::ViewFixture;

store::FoundItem FoundAppointment(platform::Date start, platform::Date end, std::u16string subject,
                                  int32_t oid = 1) {
    store::FoundItem item;
    item.oid = oid;
    item.start = start;
    item.end = end;
    item.subject = std::move(subject);
    return item;
}

store::FoundItem FoundTask(platform::Date due, std::u16string subject, bool complete = false) {
    store::FoundItem item;
    item.kind = calendar::ItemKind::Task;
    item.start = item.end = due;
    item.subject = std::move(subject);
    item.complete = complete;
    return item;
}

TEST(FoundListText, RowsGroupByYearThenTheUndatedTasksThenMore) {
    store::FoundItems found;
    found.items = {
        FoundAppointment(ViewFixture::Day(2025, 12, 30, 9), ViewFixture::Day(2025, 12, 30, 10),
                         u"a"),
        FoundAppointment(ViewFixture::Day(2026, 1, 5, 9), ViewFixture::Day(2026, 1, 5, 10), u"b"),
        FoundTask(ViewFixture::Day(2026, 2, 1), u"c"), FoundTask(calendar::kNoDateValue, u"d"),
        FoundTask(calendar::kNoDateValue, u"e")};
    using Kind = FoundListRow::Kind;
    EXPECT_EQ(FoundListRows(found), (std::vector<FoundListRow>{{Kind::Year, 2025, 0},
                                                               {Kind::Item, 0, 0},
                                                               {Kind::Year, 2026, 0},
                                                               {Kind::Item, 0, 1},
                                                               {Kind::Item, 0, 2},
                                                               {Kind::NoDate, 0, 0},
                                                               {Kind::Item, 0, 3},
                                                               {Kind::Item, 0, 4}}));
    found.more = true;
    EXPECT_EQ(FoundListRows(found).back().kind, Kind::More);
    EXPECT_TRUE(FoundListRows(store::FoundItems{}).empty());
}

TEST(FoundListText, LinesAreTheDayListsWithTheLastOfASeriesSaid) {
    const platform::Date day = ViewFixture::Day(2026, 12, 7);
    store::FoundItem item = FoundAppointment(day + 9.0 / 24, day + 10.5 / 24, u"歯医者");
    item.location = u"駅前";
    EXPECT_EQ(FoundItemLineText(item), u"9-10:30 歯医者@駅前");
    item.end = day + 1 + 2.0 / 24;
    EXPECT_EQ(FoundItemLineText(item), u"9-翌日 歯医者@駅前");
    item.occurrence = store::SeriesOccurrence::Last;
    item.location.clear();
    EXPECT_EQ(FoundItemLineText(item), u"9-翌日 最終回:歯医者");
    item.occurrence = store::SeriesOccurrence::Next;
    item.allDay = true;
    item.end = day + 2;
    EXPECT_EQ(FoundItemLineText(item), u" 歯医者");
    EXPECT_EQ(FoundItemLineText(FoundTask(day, u"請求書")), u"期限日:請求書");
    EXPECT_EQ(FoundItemLineText(FoundTask(calendar::kNoDateValue, u"買い物")), u"買い物");
}

TEST(FoundListText, TheRowUnderThePen) {
    // 100 pixels high: six whole rows inside the frame.
    EXPECT_EQ(FoundListVisibleRows(100), 6u);
    EXPECT_EQ(FoundListRowAt({60, 1}, 200, 100, 0), std::optional<size_t>(0));
    EXPECT_EQ(FoundListRowAt({60, 16}, 200, 100, 0), std::optional<size_t>(0));
    EXPECT_EQ(FoundListRowAt({60, 17}, 200, 100, 3), std::optional<size_t>(4));
    EXPECT_EQ(FoundListRowAt({60, 96}, 200, 100, 0), std::optional<size_t>(5));
    EXPECT_EQ(FoundListRowAt({60, 97}, 200, 100, 0), std::nullopt);
    EXPECT_EQ(FoundListRowAt({60, 0}, 200, 100, 0), std::nullopt);
    EXPECT_EQ(FoundListRowAt({0, 40}, 200, 100, 0), std::nullopt);
    EXPECT_EQ(FoundListRowAt({199, 40}, 200, 100, 0), std::nullopt);
}

struct FoundListPaint : ::testing::Test {
    FoundListPaint() {
        f.settings.ccToday = gui::Rgb(0xAA, 0, 0xAA);
        f.settings.ccSunDay = gui::Rgb(0x11, 0x88, 0x11);
        f.settings.ccSatDay = gui::Rgb(0x11, 0x11, 0xCC);
        f.settings.ccWeekDay = gui::Rgb(0x55, 0x55, 0x55);
    }

    void Paint(size_t firstRow = 0, FoundListNote note = FoundListNote::NothingFound) {
        rows = FoundListRows(found);
        gui::Surface surface(f.image);
        const FoundListView view{found, rows, firstRow, note, today, f.settings, icon};
        DrawFoundList(surface, kWidth, kHeight, kTextRight, view);
    }
    int RowTop(int shown) const { return 1 + 16 * shown; }

    static constexpr int kWidth = 236;
    static constexpr int kHeight = 100;
    static constexpr int kTextRight = 218;
    ViewFixture f{240, 120};
    store::FoundItems found;
    std::vector<FoundListRow> rows;
    platform::Date today = ViewFixture::Day(2026, 12, 7);
    QImage icon = resources::Icon(resources::kRecurrenceIcon);
};

TEST_F(FoundListPaint, AnEmptyListSaysWhy) {
    Paint(0, FoundListNote::NothingFound);
    // Framed and white; no divider without rows.
    EXPECT_EQ(f.Pixel(0, 0), gui::kBlack);
    EXPECT_EQ(f.Pixel(kWidth - 1, kHeight - 1), gui::kBlack);
    EXPECT_EQ(f.Pixel(kWidth, 50), testing::kCyan);
    EXPECT_EQ(f.Pixel(kFoundDividerX, 60), gui::kWhite);
    EXPECT_EQ(TextMismatch(f, {4, 1, kTextRight, 17}, u"見つかりません", gui::TextAlign::LeftTop,
                           gui::kBlack, testing::kListFontHeight),
              0);
    Paint(0, FoundListNote::Hint);
    EXPECT_EQ(TextMismatch(f, {4, 1, kTextRight, 17}, u"件名・場所・メモから探します",
                           gui::TextAlign::LeftTop, gui::kBlack, testing::kListFontHeight),
              0);
}

TEST_F(FoundListPaint, RowsShowYearsDatesLinesAndMarks) {
    const platform::Date sunday = ViewFixture::Day(2026, 12, 6);
    store::FoundItem series = FoundAppointment(sunday + 15.0 / 24, sunday + 16.0 / 24, u"定例", 4);
    series.occurrence = store::SeriesOccurrence::Next;
    found.items = {series, FoundAppointment(today + 9.0 / 24, today + 10.0 / 24, u"歯医者", 5),
                   FoundTask(today + 1, u"請求書", true)};
    Paint();
    // Row 0: the year's heading in light grey across to what lies right of the text.
    EXPECT_EQ(f.Pixel(1, RowTop(0)), gui::kLightGray);
    EXPECT_EQ(f.Pixel(kTextRight + kFoundTextGap - 1, RowTop(0) + 15), gui::kLightGray);
    EXPECT_EQ(f.Pixel(kTextRight + kFoundTextGap, RowTop(0) + 15), gui::kWhite);
    EXPECT_EQ(f.Pixel(kTextRight, RowTop(1)), gui::kWhite);
    const gui::Rect heading{4, RowTop(0), kTextRight, RowTop(1)};
    EXPECT_EQ(testing::TextShapeMismatch(f, CreateViewFont(testing::kListFontHeight, f.settings),
                                         heading, u"2026年", gui::TextAlign::LeftTop, heading),
              0);
    // The divider beside the dates.
    EXPECT_EQ(f.Pixel(kFoundDividerX, RowTop(1) + 4), gui::kBlack);
    // Row 1: Sunday's label in its colour, the line, and the repeat icon at the right.
    EXPECT_EQ(TextMismatch(f, {2, RowTop(1), 45, RowTop(2)}, u"12/6日", gui::TextAlign::RightTop,
                           f.settings.ccSunDay, testing::kListFontHeight),
              0);
    EXPECT_EQ(TextMismatch(f, {51, RowTop(1), kTextRight - 16, RowTop(2)}, u"15-16 定例",
                           gui::TextAlign::LeftTop, gui::kBlack, testing::kListFontHeight),
              0);
    EXPECT_GT(f.Inked(kTextRight - 16, RowTop(1), kTextRight, RowTop(2)), 10);
    // Row 2: today's label in today's colour, no icon.
    EXPECT_EQ(TextMismatch(f, {2, RowTop(2), 45, RowTop(3)}, u"12/7月", gui::TextAlign::RightTop,
                           f.settings.ccToday, testing::kListFontHeight),
              0);
    EXPECT_EQ(f.Inked(kTextRight - 16, RowTop(2), kTextRight, RowTop(3)), 0);
    // Row 3: a done task struck through its whole line.
    gui::Surface measure(f.image);
    measure.SelectFont(CreateViewFont(testing::kListFontHeight, f.settings));
    const int width = measure.MeasureText(u"期限日:請求書").width;
    EXPECT_EQ(f.Count(51, RowTop(3) + 8, 51 + width, RowTop(3) + 9, gui::kBlack), width);
    EXPECT_EQ(f.Pixel(51 + width + 1, RowTop(3) + 8), gui::kWhite);
}

TEST_F(FoundListPaint, ScrolledRowsStartAtTheFirstShown) {
    for (int i = 0; i < 20; ++i) {
        found.items.push_back(
            FoundAppointment(today + i + 9.0 / 24, today + i + 10.0 / 24,
                             u"件" + std::u16string(1, static_cast<char16_t>(u'A' + i)), i + 1));
    }
    // Row 0 is the heading: from row 12 the twelfth item (L) is at the top.
    Paint(12);
    EXPECT_EQ(TextMismatch(f, {51, RowTop(0), kTextRight, RowTop(1)}, u"9-10 件L",
                           gui::TextAlign::LeftTop, gui::kBlack, testing::kListFontHeight),
              0);
    // Only whole rows: the sixth row ends at 97, the frame's last line is at 99.
    EXPECT_EQ(f.Inked(51, RowTop(6), kTextRight, kHeight - 1), 0);
}

}  // namespace
}  // namespace views

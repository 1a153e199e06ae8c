#include "views/day_list.h"

#include <gtest/gtest.h>

#include "tests/views/view_fixture.h"

namespace views {
namespace {

using schedule::DayItemKind;
using schedule::DayItemRow;
using testing::TextMismatch;
using testing::ViewFixture;

constexpr gui::Rect kPortrait{0, 0, 240, 320};
constexpr gui::Rect kLandscape{0, 0, 320, 240};
using testing::kCyan;
using testing::kRed;

int Top(int row) {
    return 78 + 16 * row;
}

platform::Date At(platform::Date day, int hour, int minute = 0) {
    return day + (hour * 60 + minute) / 1440.0;
}

// Sunday 3 October 2004.
const platform::Date kSunday = ViewFixture::Day(2004, 10, 3);

void MakeAppointment(DayItemRow& row, platform::Date start, platform::Date end,
                     std::u16string subject, int allDay = 0) {
    row.kind = DayItemKind::Appointment;
    row.objectId = 7;
    row.start = start;
    row.end = end;
    row.allDay = allDay;
    row.subject = std::move(subject);
}

TEST(DayListText, LinesAndLabels) {
    const platform::Date day = kSunday + 2;
    DayItemRow row;
    row.rowDate = day;
    MakeAppointment(row, At(day, 9), At(day, 10, 30), u"会議");
    EXPECT_EQ(DayListLineText(row), u"9-10:30 会議");
    row.location = u"本社";
    EXPECT_EQ(DayListLineText(row), u"9-10:30 会議@本社");
    row.location.clear();
    MakeAppointment(row, At(day, 9, 5), At(day, 12), u"会議");
    EXPECT_EQ(DayListLineText(row), u"9:5-12 会議");
    MakeAppointment(row, At(day - 1, 20), At(day + 1, 8), u"出張");
    EXPECT_EQ(DayListLineText(row), u"前日-翌日 出張");
    MakeAppointment(row, day, At(day, 11), u"出張");  // began before the window's first day
    EXPECT_EQ(DayListLineText(row), u"0-11 出張");
    MakeAppointment(row, At(day, 9), At(day, 10), u"");
    EXPECT_EQ(DayListLineText(row), u"9-10 ");
    row.inkCount = 4;
    EXPECT_EQ(DayListLineText(row), u"9-10");  // the ink follows the time
    MakeAppointment(row, day, day + 2, u"", 1);
    EXPECT_EQ(DayListLineText(row), u"");  // an all-day memo in ink alone
    row.inkCount = 0;
    row.location = u"京都";
    EXPECT_EQ(DayListLineText(row), u"- @京都");
    row.kind = DayItemKind::DatedTask;
    row.subject = u"牛乳";
    EXPECT_EQ(DayListLineText(row), u"期限日:牛乳");
    row.kind = DayItemKind::EmptyDay;
    EXPECT_EQ(DayListLineText(row), u"");
    EXPECT_EQ(DayListLabelText(ViewFixture::Day(2004, 10, 5)), u"10/5火");
    EXPECT_EQ(DayListLabelText(ViewFixture::Day(2005, 1, 1)), u"1/1土");
}

struct DayList : ::testing::Test {
    DayList() {
        f.settings.ccToday = gui::Rgb(0xAA, 0, 0xAA);
        f.settings.ccHoliDay = gui::Rgb(0xCC, 0x11, 0x11);
        f.settings.ccSunDay = gui::Rgb(0x11, 0x88, 0x11);
        f.settings.ccSatDay = gui::Rgb(0x11, 0x11, 0xCC);
        f.settings.ccWeekDay = gui::Rgb(0x55, 0x55, 0x55);
        f.todayDate = ViewFixture::Day(2000, 1, 1);
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            Row(static_cast<int>(i)).rowDate = kSunday + static_cast<double>(i);
        }
    }
    DayItemRow& Row(int i) { return f.dayItems->table[static_cast<size_t>(i)]; }
    // An all-day appointment on row i's date that ends on the date of row `endRow`.
    void Span(int i, int endRow, std::u16string subject) {
        MakeAppointment(Row(i), Row(i).rowDate, Row(endRow).rowDate, std::move(subject), 1);
    }
    void Paint(const gui::Rect& window = kPortrait) {
        gui::Surface surface(f.image);
        DrawDayList(surface, window, f.State(), icons);
    }
    int LineMismatch(int row, int left, std::u16string_view text) const {
        return TextMismatch(f, {left, Top(row), 235, Top(row) + 16}, text, gui::TextAlign::LeftTop,
                            gui::kBlack, testing::kListFontHeight);
    }
    int LabelMismatch(int row, gui::ColorRef colour) const {
        return TextMismatch(f, {3, Top(row), 47, Top(row) + 16},
                            DayListLabelText(f.dayItems->table[static_cast<size_t>(row)].rowDate),
                            gui::TextAlign::RightTop, colour, testing::kListFontHeight);
    }
    // Whether the 16 x 16 pixels at (x, y) are the icon alone drawn on white.
    bool IconAt(const QImage& icon, int x, int y) const {
        QImage expected(16, 16, QImage::Format_RGB32);
        expected.fill(Qt::white);
        gui::Surface(expected).DrawImage(icon, 0, 0);
        return f.image.copy(x, y, 16, 16) == expected;
    }
    int TextWidth(std::u16string_view text) {
        gui::Surface surface(f.image);
        surface.SelectFont(CreateViewFont(testing::kListFontHeight, f.settings));
        return surface.MeasureText(text).width;
    }
    ViewFixture f;
    DayListIcons icons = LoadDayListIcons();
};

TEST_F(DayList, FrameAndBackgroundInBothOrientations) {
    for (const auto& [window, right] : {std::pair{kPortrait, 237}, std::pair{kLandscape, 317}}) {
        f.image.fill(Qt::cyan);
        Paint(window);
        EXPECT_EQ(f.Count(2, 76, right, 77, gui::kBlack), right - 2);
        EXPECT_EQ(f.Pixel(right, 76), kCyan);
        EXPECT_EQ(f.Count(2, 76, 3, 268, gui::kBlack), 192);
        EXPECT_EQ(f.Count(50, 76, 51, 268, gui::kBlack), 192);
        EXPECT_EQ(f.Pixel(2, 268), kCyan);
        EXPECT_EQ(f.Inked(51, 77, right, 268), 0);  // empty days: labels only
        EXPECT_EQ(f.Inked(47, 77, 50, 268), 0);
    }
}

TEST_F(DayList, LabelAtEachDatesFirstRowInItsColour) {
    Row(1).rowDate = Row(0).rowDate;
    MakeAppointment(Row(1), At(kSunday, 12), At(kSunday, 13), u"昼");
    Row(3).rowDate = Row(2).rowDate;
    MakeAppointment(Row(2), At(Row(2).rowDate, 9), At(Row(2).rowDate, 10), u"普通");
    MakeAppointment(Row(3), Row(2).rowDate, Row(2).rowDate, u"祝日", 1);
    Row(3).holiday = 1;
    Span(7, 9, u"連休");  // 10/10 to 10/12, through 10/11
    Row(7).holiday = 1;
    Paint();
    EXPECT_EQ(LabelMismatch(0, f.settings.ccSunDay), 0);
    EXPECT_EQ(f.Inked(3, Top(1), 47, Top(2)), 0);
    EXPECT_EQ(LabelMismatch(6, f.settings.ccSatDay), 0);   // 10/9土
    EXPECT_EQ(LabelMismatch(2, f.settings.ccHoliDay), 0);  // from the later row
    EXPECT_EQ(LabelMismatch(8, f.settings.ccHoliDay), 0);  // from the holiday span
    EXPECT_EQ(LabelMismatch(10, f.settings.ccWeekDay), 0);
    f.todayDate = Row(2).rowDate;
    Paint();
    EXPECT_EQ(LabelMismatch(2, f.settings.ccToday), 0);
}

TEST_F(DayList, LinesAsDrawn) {
    MakeAppointment(Row(0), At(Row(0).rowDate, 9), At(Row(0).rowDate, 10, 30), u"会議");
    MakeAppointment(Row(1), Row(1).rowDate, Row(1).rowDate, u"休暇", 1);
    MakeAppointment(Row(2), Row(2).rowDate, Row(2).rowDate, u"", 1);
    MakeAppointment(Row(3), At(Row(3).rowDate, 20), At(Row(4).rowDate, 9), u"夜勤");
    MakeAppointment(Row(4), At(Row(3).rowDate, 20), At(Row(4).rowDate, 9), u"夜勤");
    Row(5).kind = DayItemKind::DatedTask;
    Row(5).subject = u"牛乳";
    Row(5).complete = -1;
    Row(6).kind = DayItemKind::DatedTask;
    Row(6).subject = u"卵";
    Paint();
    EXPECT_EQ(LineMismatch(0, 53, u"9-10:30 会議"), 0);
    EXPECT_EQ(LineMismatch(1, 53, u" 休暇"), 0);
    EXPECT_EQ(LineMismatch(2, 53, u"- "), 0);
    EXPECT_EQ(LineMismatch(3, 53, u"20-翌日 夜勤"), 0);
    EXPECT_EQ(LineMismatch(4, 53, u"前日-9 夜勤"), 0);
    // A completed task's line runs exactly under its text.
    const int width = TextWidth(u"期限日:牛乳");
    EXPECT_EQ(f.Count(53, Top(5) + 8, 53 + width, Top(5) + 9, gui::kBlack), width);
    EXPECT_NE(f.Pixel(53 + width, Top(5) + 8), gui::kBlack);
    const int added = LineMismatch(5, 53, u"期限日:牛乳");
    EXPECT_GT(added, 0);
    EXPECT_LE(added, width);
    EXPECT_EQ(LineMismatch(6, 53, u"期限日:卵"), 0);
}

// The strike-through ends with the text at the text area's edge, short of the margin.
TEST_F(DayList, LongCompletedTasksStrikeStopsAtTheTextEdgeInBothOrientations) {
    Row(0).kind = DayItemKind::DatedTask;
    Row(0).subject = u"とても長い件名の完了した期限付きタスクがここにあります";
    Row(0).complete = 1;
    Row(1).kind = DayItemKind::DatedTask;
    Row(1).subject = u"牛乳";
    Row(1).complete = 1;
    const int shortWidth = TextWidth(u"期限日:牛乳");
    for (const auto& [window, textRight] :
         {std::pair{kPortrait, 235}, std::pair{kLandscape, 315}}) {
        f.image.fill(Qt::cyan);
        Paint(window);
        ASSERT_GT(TextWidth(DayListLineText(Row(0))), textRight - 53);
        const int strikeY = Top(0) + 8;
        EXPECT_EQ(f.Count(53, strikeY, textRight, strikeY + 1, gui::kBlack), textRight - 53);
        EXPECT_EQ(f.Count(textRight, Top(0), 320, Top(1), gui::kBlack), 0);

        EXPECT_EQ(f.Count(53, Top(1) + 8, textRight, Top(1) + 9, gui::kBlack), shortWidth);
        EXPECT_NE(f.Pixel(53 + shortWidth, Top(1) + 8), gui::kBlack);
    }
}

TEST_F(DayList, IconsFromTheRightEdgeInBothOrientations) {
    MakeAppointment(Row(0), At(kSunday, 9), At(kSunday, 10), u"会");
    Row(0).reminder = 1;
    Row(0).memoText = u"メモ";
    Row(0).recurring = 1;
    MakeAppointment(Row(1), At(Row(1).rowDate, 9), At(Row(1).rowDate, 10), u"会");
    Row(1).recurring = 1;
    MakeAppointment(Row(2), At(Row(2).rowDate, 9), At(Row(2).rowDate, 10), u"手書き");
    Row(2).handwritten = 1;
    Row(2).memoText = u"1.dat";
    Row(2).body = u"1.dat";
    Row(2).ink[0] = {-3, 1};
    Row(2).inkCount = 1;
    ASSERT_FALSE(icons.memo.isNull());
    for (const auto& [window, right] : {std::pair{kPortrait, 235}, std::pair{kLandscape, 315}}) {
        Paint(window);
        EXPECT_TRUE(IconAt(icons.reminder, right - 16, Top(0)));
        EXPECT_TRUE(IconAt(icons.memo, right - 32, Top(0)));
        EXPECT_TRUE(IconAt(icons.recurring, right - 48, Top(0)));
        EXPECT_EQ(f.Inked(right, Top(0), right + 2, Top(3)), 0);
        EXPECT_TRUE(IconAt(icons.recurring, right - 16, Top(1)));
        EXPECT_TRUE(IconAt(icons.memo, right - 16, Top(2)));
        EXPECT_EQ(f.Inked(right - 48, Top(1), right - 16, Top(2)), 0);
    }
}

TEST_F(DayList, InkAtHalfSizeErasedBelowItsRow) {
    MakeAppointment(Row(0), At(kSunday, 9), At(kSunday, 10), u"");
    const schedule::InkEntry stroke[] = {{-3, 3}, {-2, 1}, {0, 0}, {40, 0}, {40, 60}, {-1, -1}};
    std::copy(std::begin(stroke), std::end(stroke), Row(0).ink.begin());
    Row(0).handwritten = 1;
    Row(0).memoText = u"2.dat";
    Row(0).body = u"2.dat";
    Row(0).inkCount = 6;
    MakeAppointment(Row(1), At(Row(1).rowDate, 9), At(Row(1).rowDate, 10), u"次の予定です");
    Paint();
    const int x0 = 53 + TextWidth(u"9-10") + 5;
    EXPECT_EQ(TextMismatch(f, {53, Top(0), x0, Top(1)}, u"9-10", gui::TextAlign::LeftTop,
                           gui::kBlack, testing::kListFontHeight),
              0);
    EXPECT_EQ(f.Count(x0, Top(0), x0 + 21, Top(0) + 1, kRed), 21);
    EXPECT_EQ(f.Count(x0 + 20, Top(0), x0 + 21, Top(1), kRed), 16);
    EXPECT_EQ(f.Count(x0, Top(0) + 1, x0 + 20, Top(1), kRed), 0);  // one pixel wide
    EXPECT_NE(f.Pixel(x0 + 21, Top(0)), kRed);
    EXPECT_EQ(f.Count(51, Top(1), 237, 268, kRed), 0);  // erased below the row
    EXPECT_EQ(LineMismatch(1, 53, u"9-10 次の予定です"), 0);
    EXPECT_EQ(f.Inked(219, Top(0), 235, Top(1)), 0);  // no memo icon
}

TEST_F(DayList, TextTypedBesideHandwritingShowsTheMemoIcon) {
    const schedule::InkEntry stroke[] = {{-3, 3}, {0, 0}, {4, 0}, {-1, -1}};
    for (size_t row = 0; row < 3; ++row) {
        MakeAppointment(Row(row), At(Row(row).rowDate, 9), At(Row(row).rowDate, 10), u"");
        std::copy(std::begin(stroke), std::end(stroke), Row(row).ink.begin());
        Row(row).inkCount = 4;
        Row(row).handwritten = 1;
        Row(row).memoText = u"3.dat";
    }
    Row(0).body = u"3.dat\r\n別の予定表から追記";
    Row(1).body = u"3.dat";
    // Handwriting whose file could not be read, with typed text beside it.
    Row(2).inkCount = 0;
    Row(2).body = u"3.dat\r\n追記";
    for (const auto& [window, right] : {std::pair{kPortrait, 235}, std::pair{kLandscape, 315}}) {
        Paint(window);
        EXPECT_TRUE(IconAt(icons.memo, right - 16, Top(0)));
        EXPECT_EQ(f.Inked(right - 16, Top(1), right, Top(2)), 0);
        EXPECT_TRUE(IconAt(icons.memo, right - 16, Top(2)));
    }
}

TEST_F(DayList, SpanBracketLinesAndTicks) {
    Row(3).rowDate = Row(2).rowDate;
    Span(0, 2, u"旅行");
    MakeAppointment(Row(4), At(Row(4).rowDate, 18), At(Row(4).rowDate, 19), u"夕食");
    Paint();
    EXPECT_EQ(f.Count(55, Top(0), 56, Top(3), kRed), 48);
    EXPECT_EQ(f.Count(52, Top(0), 55, Top(0) + 1, kRed), 3);      // start tick, left
    EXPECT_EQ(f.Count(56, Top(0) + 8, 59, Top(0) + 9, kRed), 2);  // start tick, right
    EXPECT_EQ(f.Count(52, Top(3), 56, Top(3) + 1, kRed), 3);      // end tick, left
    EXPECT_EQ(f.Count(51, 76, 237, 268, kRed), 48 + 3 + 2 + 3);
    EXPECT_EQ(LineMismatch(0, 58, u" 旅行"), 0);
    EXPECT_EQ(f.Count(51, Top(3) + 1, 237, 268, kRed), 0);
    EXPECT_EQ(LineMismatch(4, 53, u"18-19 夕食"), 0);
}

TEST_F(DayList, SixthSpanAndAllLaterSpansGetNoLane) {
    for (int i = 1; i < 5; ++i) {
        Row(i).rowDate = Row(0).rowDate;
    }
    for (int i = 0; i < 5; ++i) {
        Span(i, 5, u"長期");
    }
    Span(5, 8, u"六");  // every lane ends here: none left for it
    Span(7, 9, u"八");  // lanes are free again, but the assignment has ended
    Paint();
    EXPECT_EQ(LineMismatch(5, 78, u" 六"), 0);
    EXPECT_EQ(LineMismatch(7, 53, u" 八"), 0);
    EXPECT_EQ(f.Count(72, Top(4), 75, Top(4) + 1, kRed), 3);  // lane 4 opens in row 4
    EXPECT_EQ(f.Count(51, Top(6) + 1, 237, 268, kRed), 0);
    // Lines of rows k..5 in lane k, three-pixel ticks left, two more right, three at the ends.
    EXPECT_EQ(f.Count(51, 76, 237, 268, kRed), 20 * 16 + 5 * (3 + 2 + 3));
}

TEST_F(DayList, LandscapeDrawsAndSpansSevenRowsOnly) {
    Span(5, 8, u"連休");
    for (int i = 7; i < 12; ++i) {
        MakeAppointment(Row(i), At(Row(i).rowDate, 9), At(Row(i).rowDate, 10), u"下の行");
    }
    Paint(kLandscape);
    EXPECT_EQ(f.Count(55, Top(5), 56, Top(7), kRed), 32);
    EXPECT_EQ(f.Inked(51, Top(7), 317, 268), 0);
    EXPECT_EQ(f.Inked(3, Top(7), 50, 268), 0);
    f.image.fill(Qt::cyan);
    Paint(kPortrait);
    EXPECT_EQ(f.Count(53, Top(9), 56, Top(9) + 1, kRed), 3);  // the end the landscape left out
}

TEST_F(DayList, SmallFontAndRestoredSurface) {
    f.settings.Small = 1;
    gui::Surface surface(f.image);
    surface.SelectFont(gui::Font(gui::FontRequest{u"MS ゴシック", 20, false}));
    surface.SelectPen(gui::Pen::Solid(gui::Rgb(0, 0, 255), 2));
    surface.SetTextColor(gui::Rgb(255, 0, 0));
    DrawDayList(surface, kPortrait, f.State(), icons);
    EXPECT_EQ(TextMismatch(f, {3, Top(0), 47, Top(1)}, u"10/3日", gui::TextAlign::RightTop,
                           f.settings.ccSunDay, 12),
              0);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), 20);
    EXPECT_EQ(surface.CurrentPen(), gui::Pen::Solid(gui::Rgb(0, 0, 255), 2));
    EXPECT_EQ(surface.TextColor(), gui::kBlack);
}

}  // namespace
}  // namespace views

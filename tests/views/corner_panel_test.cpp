#include "views/corner_panel.h"

#include <gtest/gtest.h>

#include "tests/views/view_fixture.h"

namespace views {
namespace {

using testing::TextMismatch;
using testing::ViewFixture;

// The main window's origin for the panel.
constexpr int kX = 2;
constexpr int kY = 2;

struct CornerPanel : ::testing::Test {
    void SetTasks(int count) {
        for (int i = 0; i < count; ++i) {
            f.dayItems->undatedTasks[i].objectId = 100 + i;
            f.dayItems->undatedTasks[i].subject = u"用事" + std::u16string(1, u"ABCDE"[i % 5]);
        }
    }
    CornerMarks Paint() {
        gui::Surface surface(f.image);
        return DrawCornerPanel(surface, kX, kY, f.State());
    }
    // Differing pixels of a rectangle given relative to the panel.
    int Mismatch(int left, int top, int right, int bottom, std::u16string_view text,
                 int height = testing::kListFontHeight) const {
        return TextMismatch(f, {kX + left, kY + top, kX + right, kY + bottom}, text,
                            gui::TextAlign::LeftTop, gui::kBlack, height);
    }
    int LineMismatch(int i, std::u16string_view text) const {
        return Mismatch(2, 2 + 16 * i, 123, 18 + 16 * i, text);
    }
    int Width(std::u16string_view text) {
        gui::Surface surface(f.image);
        surface.SelectFont(CreateViewFont(testing::kListFontHeight, f.settings));
        return surface.MeasureText(text).width;
    }
    ViewFixture f;
};

TEST_F(CornerPanel, EmptyListLeavesOnlyBackgroundAndTwoLines) {
    const CornerMarks marks = Paint();
    EXPECT_EQ(marks.moreBelow + marks.moreAbove, 0);
    EXPECT_EQ(f.Count(kX, kY, kX + 123, kY + 1, gui::kBlack), 123);
    EXPECT_EQ(f.Count(kX, kY, kX + 1, kY + 71, gui::kBlack), 71);
    EXPECT_EQ(f.Inked(kX + 1, kY + 1, kX + 123, kY + 71), 0);
    EXPECT_EQ(f.Pixel(kX + 123, kY), gui::Rgb(0, 255, 255));  // outside: untouched
    EXPECT_EQ(f.Pixel(kX, kY + 71), gui::Rgb(0, 255, 255));
}

TEST_F(CornerPanel, FourTasksFillAPageFiveMakeASecond) {
    SetTasks(4);
    CornerMarks marks = Paint();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(LineMismatch(i, f.dayItems->undatedTasks[i].subject), 0) << "line " << i;
    }
    EXPECT_EQ(marks.moreBelow + marks.moreAbove, 0);

    SetTasks(5);
    marks = Paint();
    EXPECT_EQ(marks.moreBelow, 1);
    EXPECT_EQ(marks.moreAbove, 0);
    EXPECT_EQ(Mismatch(111, 50, 123, 66, u"▼"), 0);

    f.dayItems->cornerPage = 1;
    marks = Paint();
    EXPECT_EQ(marks.moreBelow, 0);
    EXPECT_EQ(marks.moreAbove, 1);
    EXPECT_EQ(Mismatch(2, 2, 113, 18, u"用事E"), 0);  // left of the ▲
    EXPECT_EQ(Mismatch(113, 6, 123, 22, u"▲"), 0);
    EXPECT_EQ(f.Inked(kX + 1, kY + 18, kX + 123, kY + 71), 0);  // lines 1 to 3, no ▼
}

TEST_F(CornerPanel, CompletedTaskIsStruckThroughOverItsWidth) {
    SetTasks(2);
    f.dayItems->undatedTasks[1].complete = 1;
    Paint();
    const int width = Width(u"用事B");
    const int strikeY = kY + 10 + 16;
    EXPECT_EQ(f.Count(kX + 2, strikeY, kX + 2 + width, strikeY + 1, gui::kBlack), width);
    EXPECT_NE(f.Pixel(kX + 2 + width, strikeY), gui::kBlack);
    EXPECT_NE(f.Pixel(kX + 1, strikeY), gui::kBlack);
    // The line adds at most its own pixels to the text; the open task above has none.
    const int added = LineMismatch(1, u"用事B");
    EXPECT_GT(added, 0);
    EXPECT_LE(added, width);
    EXPECT_EQ(LineMismatch(0, u"用事A"), 0);
}

TEST_F(CornerPanel, LongSubjectIsClippedAtTheRightEdge) {
    SetTasks(1);
    f.dayItems->undatedTasks[0].subject = u"とても長い件名の未完了タスクがここにあります";
    Paint();
    EXPECT_GT(Width(f.dayItems->undatedTasks[0].subject), 121);
    EXPECT_EQ(LineMismatch(0, f.dayItems->undatedTasks[0].subject), 0);
    EXPECT_GT(f.Count(kX + 110, kY + 2, kX + 123, kY + 18, gui::kBlack), 0);
    EXPECT_EQ(f.Count(kX + 123, kY, 320, kY + 18, gui::kBlack), 0);
}

// The strike-through ends with the text at the panel's right edge, short of the month grid.
TEST_F(CornerPanel, LongCompletedSubjectsStrikeStopsAtTheRightEdge) {
    SetTasks(2);
    f.dayItems->undatedTasks[0].subject = u"とても長い件名の完了したタスクがここにあります";
    f.dayItems->undatedTasks[0].complete = 1;
    f.dayItems->undatedTasks[1].complete = 1;
    Paint();
    ASSERT_GT(Width(f.dayItems->undatedTasks[0].subject), 121);
    const int strikeY = kY + 10;
    EXPECT_EQ(f.Count(kX + 2, strikeY, kX + 123, strikeY + 1, gui::kBlack), 121);
    EXPECT_EQ(f.Count(kX + 123, kY, 320, kY + 18, gui::kBlack), 0);

    // A short subject's line still ends where its text does.
    const int width = Width(u"用事B");
    EXPECT_EQ(f.Count(kX + 2, strikeY + 16, kX + 123, strikeY + 17, gui::kBlack), width);
    EXPECT_NE(f.Pixel(kX + 2 + width, strikeY + 16), gui::kBlack);
}

TEST_F(CornerPanel, SmallSettingAndRestoredSurface) {
    SetTasks(1);
    f.settings.Small = 1;
    gui::Surface surface(f.image);
    surface.SelectFont(gui::Font(gui::FontRequest{u"MS ゴシック", 20, false}));
    surface.SelectPen(gui::Pen::Solid(gui::Rgb(0, 0, 255), 2));
    surface.SetTextColor(gui::Rgb(255, 0, 0));
    DrawCornerPanel(surface, kX, kY, f.State());
    EXPECT_EQ(Mismatch(2, 2, 123, 18, u"用事A", 12), 0);
    EXPECT_NE(LineMismatch(0, u"用事A"), 0);
    EXPECT_EQ(surface.CurrentFont().CellHeight(), 20);
    EXPECT_EQ(surface.CurrentPen(), gui::Pen::Solid(gui::Rgb(0, 0, 255), 2));
    EXPECT_EQ(surface.TextColor(), gui::kBlack);
}

}  // namespace
}  // namespace views

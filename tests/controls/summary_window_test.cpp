#include "controls/summary_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/surface.h"
#include "platform/text/unicode_text.h"
#include "views/date_header.h"
#include "views/view_font.h"

namespace controls {
namespace {

using schedule::DayItemKind;

platform::Date Day(int year, int month, int day, int hour = 0) {
    return *platform::MakeDate(year, month, day, hour);
}

class SummaryWindowTest : public ::testing::Test {
protected:
    SummaryWindowTest() {
        screen_.UseManualTimers();
        main_ = screen_.CreateTopLevel<gui::Window>(u"TESSARINTH", u"Tessarinth", gui::kGray);
        main_->Move(0, 26, 240, 268, false);
        main_->Show();
    }

    void AddRow(size_t index, platform::Date rowDate, DayItemKind kind, int32_t objectId) {
        schedule::DayItemRow& row = items_->table[index];
        row.rowDate = rowDate;
        row.kind = kind;
        row.objectId = objectId;
        row.start = rowDate + 10.0 / 24;
        row.end = rowDate + 11.0 / 24;
    }

    void AddUndated(size_t index, int32_t objectId, int32_t complete) {
        items_->undatedTasks[index].objectId = objectId;
        items_->undatedTasks[index].subject = u"task";
        items_->undatedTasks[index].complete = complete;
    }

    SummaryWindow* Open(SyncMarkReader readSyncMark = nullptr) {
        return OpenSummaryWindow(
            *main_,
            [this] {
                return views::ViewState{selected_, selected_, census_, *items_, settings_};
            },
            std::move(readSyncMark));
    }

    // Whether the window's pixels in `box` are exactly that text drawn right-aligned on white
    // in the pop-up's font and colour (and the text leaves ink).
    void ExpectLine(const SummaryWindow& window, const std::u16string& text, const gui::Rect& box,
                    gui::ColorRef color = gui::kBlack) const {
        QImage expected(window.ClientRect().Width(), window.ClientRect().Height(),
                        QImage::Format_RGB32);
        expected.fill(Qt::white);
        gui::Surface surface(expected);
        const gui::Font font = views::CreateViewFont(views::kHourLabelHeight, settings_);
        surface.SelectFont(font);
        surface.SetTextColor(color);
        surface.DrawText(text, box, gui::TextAlign::RightTop);
        int inked = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                ASSERT_EQ(Pixel(window, x, y), gui::FromQRgb(expected.pixel(x, y)))
                    << "at " << x << ", " << y;
                inked += expected.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 10);
    }

    // Whether the ink in the line's band of the pop-up's picture is the whole of `text` in the
    // view font (at its count lines' size or a pixel or two smaller), with at least a white
    // column between it and each side of the band's white box.
    void ExpectWholeLine(const QImage& popUp, const std::u16string& text, const gui::Rect& band,
                         gui::ColorRef color) const {
        const std::optional<gui::Rect> ink = InkIn(popUp, band);
        ASSERT_TRUE(ink.has_value()) << "no ink for a line of " << text.size() << " units";
        EXPECT_GE(ink->left, band.left + 1);
        EXPECT_LE(ink->right, band.right - 1);
        const QImage drawn = popUp.copy(ink->left, ink->top, ink->Width(), ink->Height());
        bool whole = false;
        for (int height = views::kHourLabelHeight; height >= 8 && !whole; --height) {
            QImage alone(400, 40, QImage::Format_RGB32);
            alone.fill(Qt::white);
            gui::Surface surface(alone);
            const gui::Font font = views::CreateViewFont(height, settings_);
            surface.SelectFont(font);
            surface.SetTextColor(color);
            surface.DrawText(text, {10, 10, 390, 30}, gui::TextAlign::LeftTop);
            const std::optional<gui::Rect> own = InkIn(alone, {0, 0, 400, 40});
            whole = own && alone.copy(own->left, own->top, own->Width(), own->Height()) == drawn;
        }
        EXPECT_TRUE(whole) << "the line of " << text.size() << " units is not drawn whole";
    }

    // The bounds of what is not white in `band` of the picture.
    static std::optional<gui::Rect> InkIn(const QImage& picture, const gui::Rect& band) {
        std::optional<gui::Rect> ink;
        for (int y = band.top; y < band.bottom; ++y) {
            for (int x = band.left; x < band.right; ++x) {
                if (picture.pixel(x, y) == qRgb(255, 255, 255)) {
                    continue;
                }
                const gui::Rect dot{x, y, x + 1, y + 1};
                ink = ink ? ink->Union(dot) : dot;
            }
        }
        return ink;
    }

    // The window's pixels as the screen shows them.
    gui::ColorRef Pixel(const SummaryWindow& window, int x, int y) const {
        return gui::FromQRgb(window.Pixels().pixel(x, y));
    }

    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::Window* main_ = nullptr;
    platform::Date selected_ = Day(2026, 12, 7);
    schedule::MonthCensusState census_;
    std::unique_ptr<schedule::DayItems> items_ = std::make_unique<schedule::DayItems>();
    settings::Settings settings_;
};

TEST_F(SummaryWindowTest, CountsOnlyTheSelectedDayAndTheOpenUndatedTasks) {
    AddRow(0, selected_, DayItemKind::Appointment, 11);
    AddRow(1, selected_, DayItemKind::Appointment, 12);
    AddRow(2, selected_, DayItemKind::DatedTask, 13);
    AddRow(3, Day(2026, 12, 8), DayItemKind::Appointment, 14);  // the next day
    AddRow(4, Day(2026, 12, 8), DayItemKind::DatedTask, 15);
    AddRow(5, Day(2026, 12, 9), DayItemKind::EmptyDay, 0);
    AddUndated(0, 21, 0);
    AddUndated(1, 22, 1);  // completed today
    AddUndated(2, 23, 0);
    AddUndated(4, 25, 0);  // after the end of the list

    const SummaryCounts counts = CountSummary(*items_, selected_);
    EXPECT_EQ(counts.appointments, 2);
    EXPECT_EQ(counts.datedTasks, 1);
    EXPECT_EQ(counts.openTasks, 2);
}

TEST_F(SummaryWindowTest, OpensCentredOverTheMainWindowAndDrawsItsLines) {
    AddRow(0, selected_, DayItemKind::Appointment, 11);
    SummaryWindow* window = Open();
    EXPECT_EQ(window->ScreenRect(), (gui::Rect{80, 76, 160, 176}));
    EXPECT_EQ(window->ClassName(), u"InfoWindow");
    EXPECT_EQ(screen_.OkButtonTarget(), window);

    // Grey around the panels, the header's frame, the white counts box with its left line.
    EXPECT_EQ(Pixel(*window, 0, 0), gui::kGray);
    EXPECT_EQ(Pixel(*window, 79, 99), gui::kGray);
    EXPECT_EQ(Pixel(*window, 1, 1), gui::kBlack);
    EXPECT_EQ(Pixel(*window, 1, 50), gui::kBlack);
    EXPECT_EQ(Pixel(*window, 1, 97), gui::kBlack);
    EXPECT_EQ(Pixel(*window, 1, 98), gui::kGray);
    EXPECT_EQ(Pixel(*window, 2, 50), gui::kWhite);
    EXPECT_EQ(Pixel(*window, 77, 60), gui::kGray);

    // The first count line reads "予定 1件", right-aligned in its 16-pixel line.
    ExpectLine(*window, u"予定 1件", {2, 50, 77, 66});
}

TEST_F(SummaryWindowTest, WithAServerSetUpFourLinesTellOfItsSyncs) {
    // Nothing set up: the pop-up keeps its size.
    SummaryWindow* plain = Open([] { return std::optional<SyncMark>(); });
    EXPECT_EQ(plain->ScreenRect(), (gui::Rect{80, 76, 160, 176}));

    std::optional<SyncMark> mark = SyncMark{u"14:05", u"接続できません", 2, u"conflicts"};
    SummaryWindow* window = Open([&mark] { return mark; });
    EXPECT_EQ(window->ScreenRect(), (gui::Rect{80, 76, 160, 226}));
    ExpectLine(*window, u"予定 0件", {2, 50, 77, 66});
    EXPECT_EQ(Pixel(*window, 1, 100), gui::kBlack);  // the sync lines' box and its left line
    EXPECT_EQ(Pixel(*window, 1, 147), gui::kBlack);
    EXPECT_EQ(Pixel(*window, 1, 148), gui::kGray);
    EXPECT_EQ(Pixel(*window, 78, 120), gui::kGray);
    // Right-aligned a pixel in from the box's left line and from its right edge.
    ExpectLine(*window, u"同期 14:05", {3, 100, 76, 112});
    ExpectLine(*window, u"接続できません", {3, 112, 76, 124}, gui::Rgb(0xC0, 0, 0));
    ExpectLine(*window, u"競合2件", {3, 124, 76, 136});
    ExpectLine(*window, u"conflicts", {3, 136, 76, 148});

    // Each paint reads the mark again: the trouble gone, no sync finished yet.
    mark = SyncMark{};
    window->InvalidateAll(true);
    screen_.PaintPending();
    ExpectLine(*window, u"同期 まだ", {3, 100, 76, 112});
    for (int y = 112; y < 148; ++y) {
        for (int x = 2; x < 77; ++x) {
            ASSERT_EQ(Pixel(*window, x, y), gui::kWhite) << "at " << x << ", " << y;
        }
    }

    // Conflicts without trouble come right under the last sync.
    mark = SyncMark{u"12/7", u"", 1, u"conflicts"};
    window->InvalidateAll(true);
    screen_.PaintPending();
    ExpectLine(*window, u"同期 12/7", {3, 100, 76, 112});
    ExpectLine(*window, u"競合1件", {3, 112, 76, 124});
    ExpectLine(*window, u"conflicts", {3, 124, 76, 136});

    // A landscape main window is too low for it under its top 50 pixels: it rises as far as it
    // must to end at the window's foot.
    main_->Move(0, 26, 320, 188, false);
    SummaryWindow* wide = Open([&mark] { return mark; });
    EXPECT_EQ(wide->ScreenRect(), (gui::Rect{120, 26 + 38, 200, 26 + 188}));
    SummaryWindow* plainWide = Open();
    EXPECT_EQ(plainWide->ScreenRect(), (gui::Rect{120, 26 + 50, 200, 26 + 150}));
}

// The whole of every line of the pop-up lies inside it, off its edges, whatever the sync tells
// (the longest trouble, many conflicts, a day rather than a time), in both orientations and at
// both zooms: each line's ink is its whole text in the view font (a pixel or two smaller where
// the count lines' size is too wide), with white between it and the box's edges.
TEST_F(SummaryWindowTest, EveryLineFitsInsideThePopUp) {
    const std::vector<SyncMark> marks{
        {u"20:29", u"", 1, u"conflicts"},
        {u"12/31", u"設定を読めません", 12, u"conflicts"},
        {u"", u"削除の確認待ち", 100, u"conflicts"},
        {u"23:59", u"接続できません", 0, u"conflicts"},
        {u"1/1", u"認証できません", 3, u"conflicts"},
        {u"9/30", u"起動できません", 2, u"conflicts"},
        {u"10:00", u"同期が中断", 9999, u"conflicts"},
    };
    AddUndated(0, 21, 0);
    for (int row = 0; row < 12; ++row) {
        AddRow(static_cast<size_t>(row), selected_, DayItemKind::Appointment, 100 + row);
    }
    for (const gui::Rect& main : {gui::Rect{0, 26, 240, 294}, gui::Rect{0, 26, 320, 214}}) {
        main_->Move(main.left, main.top, main.Width(), main.Height(), false);
        for (const SyncMark& mark : marks) {
            SummaryWindow* window = Open([&mark] { return std::optional<SyncMark>(mark); });
            const gui::Rect placed = window->ScreenRect();
            SCOPED_TRACE(::testing::Message()
                         << "main " << main.right << " x " << main.bottom << ", trouble "
                         << mark.trouble.size() << ", conflicts " << mark.conflicts);
            EXPECT_TRUE(placed.left >= main.left && placed.right <= main.right &&
                        placed.top >= main.top && placed.bottom <= main.bottom);
            const QImage one =
                screen_.Render(1).copy(placed.left, placed.top, placed.Width(), placed.Height());
            const QImage two = screen_.Render(2);
            for (int y = 0; y < one.height(); ++y) {
                for (int x = 0; x < one.width(); ++x) {
                    ASSERT_EQ(two.pixel(2 * (placed.left + x), 2 * (placed.top + y)),
                              one.pixel(x, y))
                        << "at zoom 2, " << x << ", " << y;
                }
            }
            const std::u16string time = mark.lastGood.empty() ? u"まだ" : mark.lastGood;
            std::vector<std::u16string> syncLines{u"同期 " + time};
            if (!mark.trouble.empty()) {
                syncLines.push_back(mark.trouble);
            }
            if (mark.conflicts > 0) {
                syncLines.push_back(
                    u"競合" + platform::Utf8ToUtf16Lossy(std::to_string(mark.conflicts)) + u"件");
                syncLines.push_back(mark.keptIn);
            }
            ExpectWholeLine(one, u"予定 12件", {2, 50, 77, 66}, gui::kBlack);
            ExpectWholeLine(one, u"期日 0件", {2, 66, 77, 82}, gui::kBlack);
            ExpectWholeLine(one, u"未完了 1件", {2, 82, 77, 98}, gui::kBlack);
            for (size_t i = 0; i < syncLines.size(); ++i) {
                const int top = 100 + 12 * static_cast<int>(i);
                ExpectWholeLine(
                    one, syncLines[i], {2, top, 77, top + 12},
                    i == 1 && !mark.trouble.empty() ? gui::Rgb(0xC0, 0, 0) : gui::kBlack);
            }
            window->SendCommand(1);
            screen_.ProcessPending();
        }
    }
}

TEST_F(SummaryWindowTest, ClosesFiveSecondsAfterItsLastPaint) {
    SummaryWindow* window = Open();
    auto alive = screen_.IsAlive(window);
    screen_.AdvanceTimers(4000);
    screen_.ProcessPending();
    ASSERT_TRUE(alive());

    window->InvalidateAll(true);
    screen_.PaintPending();  // a repaint at 4 s: five more seconds from now
    screen_.AdvanceTimers(4999);
    screen_.ProcessPending();
    EXPECT_TRUE(alive());

    screen_.AdvanceTimers(1);
    screen_.ProcessPending();
    EXPECT_FALSE(alive());
    EXPECT_EQ(screen_.OkButtonTarget(), nullptr);
}

TEST_F(SummaryWindowTest, OkClosesItAndEveryCommandOpensAnother) {
    SummaryWindow* first = Open();
    SummaryWindow* second = Open();
    EXPECT_NE(first, second);
    auto firstAlive = screen_.IsAlive(first);
    auto secondAlive = screen_.IsAlive(second);
    screen_.PenDown({230, 10});  // the OK button goes to the newest pop-up
    screen_.PenUp({230, 10});
    screen_.ProcessPending();
    EXPECT_TRUE(firstAlive());
    EXPECT_FALSE(secondAlive());
    first->SendCommand(2);  // not the close command
    EXPECT_TRUE(firstAlive());
}

}  // namespace
}  // namespace controls

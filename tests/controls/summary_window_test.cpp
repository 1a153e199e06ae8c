#include "controls/summary_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/gui/device_screen.h"
#include "platform/gui/surface.h"
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

TEST_F(SummaryWindowTest, WithAServerSetUpThreeLinesTellOfItsSyncs) {
    // Nothing set up: the pop-up keeps its size.
    SummaryWindow* plain = Open([] { return std::optional<SyncMark>(); });
    EXPECT_EQ(plain->ScreenRect(), (gui::Rect{80, 76, 160, 176}));

    std::optional<SyncMark> mark = SyncMark{u"14:05", u"接続できません", 2, u"conflicts"};
    SummaryWindow* window = Open([&mark] { return mark; });
    EXPECT_EQ(window->ScreenRect(), (gui::Rect{80, 76, 160, 214}));
    ExpectLine(*window, u"予定 0件", {2, 50, 77, 66});
    EXPECT_EQ(Pixel(*window, 1, 100), gui::kBlack);  // the sync lines' box and its left line
    EXPECT_EQ(Pixel(*window, 1, 135), gui::kBlack);
    EXPECT_EQ(Pixel(*window, 1, 136), gui::kGray);
    EXPECT_EQ(Pixel(*window, 78, 120), gui::kGray);
    ExpectLine(*window, u"同期 14:05", {2, 100, 77, 112});
    ExpectLine(*window, u"接続できません", {2, 112, 77, 124}, gui::Rgb(0xC0, 0, 0));
    ExpectLine(*window, u"競合2件 conflicts", {2, 124, 77, 136});

    // Each paint reads the mark again: the trouble gone, no sync finished yet.
    mark = SyncMark{};
    window->InvalidateAll(true);
    screen_.PaintPending();
    ExpectLine(*window, u"同期 まだ", {2, 100, 77, 112});
    for (int y = 112; y < 136; ++y) {
        for (int x = 2; x < 77; ++x) {
            ASSERT_EQ(Pixel(*window, x, y), gui::kWhite) << "at " << x << ", " << y;
        }
    }

    // A landscape main window has room for it under its top 50 pixels.
    main_->Move(0, 26, 320, 188, false);
    SummaryWindow* wide = Open([&mark] { return mark; });
    EXPECT_LE(wide->ScreenRect().bottom, 26 + 188);
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

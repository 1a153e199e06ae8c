#include "controls/summary_window.h"

#include <string>

#include "platform/gui/device_screen.h"
#include "platform/gui/surface.h"
#include "platform/text/unicode_text.h"
#include "views/date_header.h"
#include "views/day_strip.h"
#include "views/view_font.h"

namespace controls {
namespace {

constexpr uint16_t kCloseCommand = 1;  // the OK button's, and the timer's

// The counts box under the strip and its three 16-pixel lines.
constexpr gui::Rect kCountsBox{2, 50, 77, 98};
constexpr int kCountLineHeight = 16;
// The count lines' font: the day strip leaves none behind, so the pop-up picks one that fits a
// line of the 75-pixel box.
constexpr int kCountTextHeight = views::kHourLabelHeight;

// The sync lines: the last good sync, the latest's trouble, its conflicts.
constexpr gui::Rect kSyncBox{2, SummaryWindow::kHeight, 77,
                             SummaryWindow::kHeight + SummaryWindow::kSyncBandHeight - 2};
constexpr int kSyncLineHeight = 12;
constexpr gui::ColorRef kTroubleColor = gui::Rgb(0xC0, 0x00, 0x00);

std::u16string CountLine(const char16_t* label, int count) {
    return label + platform::Utf8ToUtf16Lossy(std::to_string(count)) + u"件";
}

// A white box with the black line on its left that the counts have too.
void DrawLinesBox(gui::Surface& surface, const gui::Rect& box) {
    surface.FillRect(box.left, box.top, box.right, box.bottom, gui::kWhite);
    surface.Rectangle(1, box.top, 2, box.bottom);
}

}  // namespace

SummaryCounts CountSummary(const schedule::DayItems& items, platform::Date selectedDate) {
    SummaryCounts counts;
    for (const schedule::DayItemRow& row : items.table) {
        if (row.objectId == 0 || row.rowDate != selectedDate) {
            continue;
        }
        if (row.kind == schedule::DayItemKind::Appointment) {
            ++counts.appointments;
        } else if (row.kind == schedule::DayItemKind::DatedTask) {
            ++counts.datedTasks;
        }
    }
    for (const schedule::UndatedTask& task : items.undatedTasks) {
        if (task.objectId == 0) {
            break;
        }
        counts.openTasks += task.complete == 0 ? 1 : 0;
    }
    return counts;
}

SummaryWindow::SummaryWindow(gui::DeviceScreen& screen, std::function<views::ViewState()> readState,
                             SyncMarkReader readSyncMark)
    : gui::Window(screen, u"InfoWindow", u"Tessarinth", gui::kWhite),
      readState_(std::move(readState)),
      readSyncMark_(std::move(readSyncMark)) {}

void SummaryWindow::OnCreate() {
    Screen().ShowOkButton(*this);
}

void SummaryWindow::OnPaint(gui::Surface& surface) {
    const views::ViewState state = readState_();
    surface.FillRect(0, 0, 320, 270, gui::Brush::Stock(gui::StockBrush::Gray));
    views::DrawDateHeader(surface, 1, 1, state.selectedDate);
    views::DrawDayStrip(surface, 2, 26, state);

    const SummaryCounts counts = CountSummary(state.dayItems, state.selectedDate);
    DrawLinesBox(surface, kCountsBox);

    const gui::Font font = views::CreateViewFont(kCountTextHeight, state.settings);
    const gui::Font previous = surface.SelectFont(font);
    surface.SetTextColor(gui::kBlack);
    const std::u16string lines[] = {
        CountLine(u"予定 ", counts.appointments),
        CountLine(u"期日 ", counts.datedTasks),
        CountLine(u"未完了 ", counts.openTasks),
    };
    int top = kCountsBox.top;
    for (const std::u16string& line : lines) {
        surface.DrawText(line, {kCountsBox.left, top, kCountsBox.right, top + kCountLineHeight},
                         gui::TextAlign::RightTop);
        top += kCountLineHeight;
    }
    surface.SelectFont(previous);
    if (const std::optional<SyncMark> mark = readSyncMark_ ? readSyncMark_() : std::nullopt;
        mark && ClientRect().Height() > kHeight) {
        PaintSyncMark(surface, *mark, state.settings);
    }
    // Every paint starts the five seconds again.
    SetTimer(kCloseTimer, kCloseAfterMilliseconds);
}

void SummaryWindow::PaintSyncMark(gui::Surface& surface, const SyncMark& mark,
                                  const settings::Settings& settings) {
    DrawLinesBox(surface, kSyncBox);
    const gui::Font font = views::CreateViewFont(kCountTextHeight, settings);
    const gui::Font previous = surface.SelectFont(font);
    const auto line = [&](int index, const std::u16string& text, gui::ColorRef color) {
        const int top = kSyncBox.top + index * kSyncLineHeight;
        surface.SetTextColor(color);
        surface.DrawText(text, {kSyncBox.left, top, kSyncBox.right, top + kSyncLineHeight},
                         gui::TextAlign::RightTop);
    };
    line(0, u"同期 " + (mark.lastGood.empty() ? std::u16string(u"まだ") : mark.lastGood),
         gui::kBlack);
    if (!mark.trouble.empty()) {
        line(1, mark.trouble, kTroubleColor);
    }
    if (mark.conflicts > 0) {
        line(2, CountLine(u"競合", mark.conflicts) + u" " + mark.keptIn, gui::kBlack);
    }
    surface.SelectFont(previous);
}

void SummaryWindow::OnTimer(int timerId) {
    if (timerId == kCloseTimer) {
        PostCommand(kCloseCommand);
    }
}

bool SummaryWindow::OnCommand(uint16_t command) {
    if (command != kCloseCommand) {
        return false;
    }
    Destroy();
    return true;
}

SummaryWindow* OpenSummaryWindow(gui::Window& mainWindow,
                                 std::function<views::ViewState()> readState,
                                 SyncMarkReader readSyncMark) {
    const int left = (mainWindow.ClientRect().Width() - SummaryWindow::kWidth) / 2;
    const bool syncLines = readSyncMark && readSyncMark().has_value();
    const int height = SummaryWindow::kHeight + (syncLines ? SummaryWindow::kSyncBandHeight : 0);
    const gui::Rect rect{left, SummaryWindow::kTop, left + SummaryWindow::kWidth,
                         SummaryWindow::kTop + height};
    auto* window = mainWindow.Screen().CreateChild<SummaryWindow>(
        mainWindow, rect, std::move(readState), std::move(readSyncMark));
    window->Show();
    window->PaintNow();
    return window;
}

}  // namespace controls

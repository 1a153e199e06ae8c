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

std::u16string CountLine(const char16_t* label, int count) {
    return label + platform::Utf8ToUtf16Lossy(std::to_string(count)) + u"件";
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

SummaryWindow::SummaryWindow(gui::DeviceScreen& screen, std::function<views::ViewState()> readState)
    : gui::Window(screen, u"InfoWindow", u"Tessarinth", gui::kWhite),
      readState_(std::move(readState)) {}

void SummaryWindow::OnCreate() {
    Screen().ShowOkButton(*this);
}

void SummaryWindow::OnPaint(gui::Surface& surface) {
    const views::ViewState state = readState_();
    surface.FillRect(0, 0, 320, 270, gui::Brush::Stock(gui::StockBrush::Gray));
    views::DrawDateHeader(surface, 1, 1, state.selectedDate);
    views::DrawDayStrip(surface, 2, 26, state);

    const SummaryCounts counts = CountSummary(state.dayItems, state.selectedDate);
    surface.FillRect(kCountsBox.left, kCountsBox.top, kCountsBox.right, kCountsBox.bottom,
                     gui::kWhite);
    surface.Rectangle(1, kCountsBox.top, 2, kCountsBox.bottom);

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
    // Every paint starts the five seconds again.
    SetTimer(kCloseTimer, kCloseAfterMilliseconds);
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
                                 std::function<views::ViewState()> readState) {
    const int left = (mainWindow.ClientRect().Width() - SummaryWindow::kWidth) / 2;
    const gui::Rect rect{left, SummaryWindow::kTop, left + SummaryWindow::kWidth,
                         SummaryWindow::kTop + SummaryWindow::kHeight};
    auto* window =
        mainWindow.Screen().CreateChild<SummaryWindow>(mainWindow, rect, std::move(readState));
    window->Show();
    window->PaintNow();
    return window;
}

}  // namespace controls

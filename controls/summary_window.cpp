#include "controls/summary_window.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

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

// The sync lines: the last good sync, the latest's trouble, its conflicts and where their
// losing versions went, one under the other from the top of their box.
constexpr gui::Rect kSyncBox{2, SummaryWindow::kHeight, 77,
                             SummaryWindow::kHeight + SummaryWindow::kSyncBandHeight - 2};
constexpr int kSyncLineHeight = 12;
// Each line's text keeps a column of white from the box's line on the left and from its grey
// edge on the right, as the count lines' "件" does, so that nothing seems to run into them.
constexpr int kSyncTextLeft = kSyncBox.left + 1;
constexpr int kSyncTextRight = kSyncBox.right - 1;
// A line too wide for the box in the count lines' font is written a pixel smaller, down to
// this; wider still, it is cut and ends in "…".
constexpr int kSmallestSyncTextHeight = 8;
constexpr gui::ColorRef kTroubleColor = gui::Rgb(0xC0, 0x00, 0x00);

std::u16string CountLine(const char16_t* label, int count) {
    return label + platform::Utf8ToUtf16Lossy(std::to_string(count)) + u"件";
}

// The text cut short enough to fit `width` in the surface's font, ending in "…" (never between
// the halves of a surrogate pair).
std::u16string CutToWidth(const gui::Surface& surface, std::u16string_view text, int width) {
    size_t kept = text.size();
    while (kept > 0) {
        --kept;
        if (kept > 0 && platform::IsLowSurrogate(text[kept]) &&
            platform::IsHighSurrogate(text[kept - 1])) {
            --kept;
        }
        std::u16string cut = std::u16string(text.substr(0, kept)) + u"…";
        if (surface.MeasureText(cut).width <= width) {
            return cut;
        }
    }
    return u"…";
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
    struct SyncLine {
        std::u16string text;
        gui::ColorRef color;
    };
    std::vector<SyncLine> lines{
        {u"同期 " + (mark.lastGood.empty() ? std::u16string(u"まだ") : mark.lastGood),
         gui::kBlack}};
    if (!mark.trouble.empty()) {
        lines.push_back({mark.trouble, kTroubleColor});
    }
    if (mark.conflicts > 0) {
        lines.push_back({CountLine(u"競合", mark.conflicts), gui::kBlack});
        if (!mark.keptIn.empty()) {
            lines.push_back({mark.keptIn, gui::kBlack});
        }
    }
    constexpr int width = kSyncTextRight - kSyncTextLeft;
    int top = kSyncBox.top;
    for (const SyncLine& line : lines) {
        if (top + kSyncLineHeight > kSyncBox.bottom) {
            break;
        }
        int height = kCountTextHeight;
        gui::Font font = views::CreateViewFont(height, settings);
        gui::Font previous = surface.SelectFont(font);
        while (surface.MeasureText(line.text).width > width && height > kSmallestSyncTextHeight) {
            --height;
            font = views::CreateViewFont(height, settings);
            surface.SelectFont(font);
        }
        const std::u16string text = surface.MeasureText(line.text).width <= width
                                        ? line.text
                                        : CutToWidth(surface, line.text, width);
        surface.SetTextColor(line.color);
        // Smaller text sits lower by as much as it is smaller: its foot stays in line.
        const int drop = kCountTextHeight - height;
        surface.DrawText(text, {kSyncTextLeft, top + drop, kSyncTextRight, top + kSyncLineHeight},
                         gui::TextAlign::RightTop);
        surface.SelectFont(previous);
        top += kSyncLineHeight;
    }
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
    const int top =
        std::max(0, std::min(SummaryWindow::kTop, mainWindow.ClientRect().Height() - height));
    const gui::Rect rect{left, top, left + SummaryWindow::kWidth, top + height};
    auto* window = mainWindow.Screen().CreateChild<SummaryWindow>(
        mainWindow, rect, std::move(readState), std::move(readSyncMark));
    window->Show();
    window->PaintNow();
    return window;
}

}  // namespace controls

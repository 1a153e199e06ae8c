#include "views/corner_panel.h"

#include <algorithm>
#include <cstddef>

#include "views/view_font.h"

namespace views {
namespace {

// Panel geometry relative to its origin.
constexpr int kPanelWidth = 123;
constexpr int kPanelHeight = 71;
constexpr int kEntryLeft = 2;
constexpr int kEntryTop = 2;
constexpr int kEntryPitch = 16;
// The strike-through of a completed task runs this far below its line's top.
constexpr int kStrikeDepth = 8;

constexpr int kEntriesPerPage = 4;

// The undated task at `index`, or nothing past the end of the list (an object id of 0 ends it).
const schedule::UndatedTask* TaskAt(const schedule::UndatedTaskList& tasks, int64_t index) {
    if (index < 0 || index >= static_cast<int64_t>(tasks.size())) {
        return nullptr;
    }
    const schedule::UndatedTask& task = tasks[static_cast<size_t>(index)];
    return task.objectId != 0 ? &task : nullptr;
}

}  // namespace

CornerMarks DrawCornerPanel(gui::Surface& surface, int x, int y, const ViewState& state) {
    const gui::Font previousFont =
        surface.SelectFont(CreateViewFont(ListTextHeight(state.settings), state.settings));
    const gui::Pen previousPen = surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    surface.SetTextColor(gui::kBlack);

    surface.FillRect(x, y, x + kPanelWidth, y + kPanelHeight, gui::kWhite);
    surface.Rectangle(x, y, x + kPanelWidth, y + 1);
    surface.Rectangle(x, y, x + 1, y + kPanelHeight);

    const schedule::UndatedTaskList& tasks = state.dayItems.undatedTasks;
    const int64_t firstIndex = static_cast<int64_t>(state.dayItems.cornerPage) * kEntriesPerPage;
    int linesDrawn = 0;
    for (int line = 0; line < kEntriesPerPage; ++line) {
        const schedule::UndatedTask* task = TaskAt(tasks, firstIndex + line);
        if (task == nullptr) {
            break;
        }
        const int lineTop = y + kEntryTop + kEntryPitch * line;
        const gui::Rect textRect{x + kEntryLeft, lineTop, x + kPanelWidth, lineTop + kEntryPitch};
        surface.DrawText(task->subject, textRect, gui::TextAlign::LeftTop);
        if (task->complete != 0) {
            // Cut where the text is cut, short of the month grid beside the panel.
            const int strikeRight =
                std::min(textRect.left + surface.MeasureText(task->subject).width, textRect.right);
            const int strikeY = lineTop + kStrikeDepth;
            surface.Polyline({{textRect.left, strikeY}, {strikeRight, strikeY}});
        }
        ++linesDrawn;
    }

    CornerMarks marks;
    if (linesDrawn == kEntriesPerPage && TaskAt(tasks, firstIndex + kEntriesPerPage) != nullptr) {
        surface.DrawText(u"▼", kCornerMoreBelowMark.Offset(x, y), gui::TextAlign::LeftTop);
        marks.moreBelow = 1;
    }
    if (state.dayItems.cornerPage != 0) {
        surface.DrawText(u"▲", kCornerMoreAboveMark.Offset(x, y), gui::TextAlign::LeftTop);
        marks.moreAbove = 1;
    }

    surface.SelectPen(previousPen);
    surface.SelectFont(previousFont);
    return marks;
}

}  // namespace views

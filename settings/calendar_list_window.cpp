#include "settings/calendar_list_window.h"

#include <QString>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/gui/brush.h"
#include "platform/gui/colors.h"
#include "platform/gui/font.h"
#include "platform/gui/pen.h"
#include "platform/gui/surface.h"
#include "schedule/item_calendars.h"

namespace settings {
namespace {

// The rows' geometry, from a row's top: the shown box at the left under 表示, the colour mark and
// the name after it, the default box kDefaultBoxInset pixels in from the right edge, under 既定.
constexpr int kFrame = 1;
constexpr int kBoxSize = 11;
constexpr int kBoxTop = 1;
constexpr int kShownBoxLeft = 8;
constexpr int kColourLeft = 22;
constexpr int kColourRight = 28;
constexpr int kColourTop = 3;
constexpr int kColourBottom = 11;
constexpr int kNameLeft = 32;
constexpr int kDefaultBoxInset = 8;
// A filled default box keeps this many white pixels inside its border.
constexpr int kDefaultFillInset = 2;
constexpr int kTextHeight = 12;
constexpr int kTextTop = 1;
constexpr char16_t kFace[] = u"MS ゴシック";

std::u16string TextOf(const std::string& text) {
    return QString::fromStdString(text).toStdU16String();
}

void Outline(gui::Surface& surface, const gui::Rect& rect, gui::ColorRef colour) {
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(colour));
    surface.Polyline({{rect.left, rect.top},
                      {rect.right - 1, rect.top},
                      {rect.right - 1, rect.bottom - 1},
                      {rect.left, rect.bottom - 1},
                      {rect.left, rect.top}});
    surface.SelectPen(previous);
}

// A tick two pixels thick from the box's left middle down and up to its top right.
void Tick(gui::Surface& surface, const gui::Rect& box) {
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    for (int dy = 0; dy < 2; ++dy) {
        surface.Polyline({{box.left + 2, box.top + 4 + dy},
                          {box.left + 4, box.top + 6 + dy},
                          {box.right - 2, box.top + 1 + dy}});
    }
    surface.SelectPen(previous);
}

}  // namespace

CalendarListWindow::CalendarListWindow(gui::DeviceScreen& screen, TappedHandler tapped)
    : gui::Window(screen, u"CalendarList", u"", gui::kWhite), tapped_(std::move(tapped)) {}

void CalendarListWindow::OnCreate() {
    bar_ = Screen().CreateChild<gui::ScrollBar>(*this, gui::Rect{}, uint16_t{0});
    bar_->SetScrolledHandler([this](int value) {
        firstRow_ = static_cast<size_t>(std::max(0, value));
        InvalidateAll(true);
    });
    Show();
    Fit(ScreenRect().Offset(-Parent()->ScreenRect().left, -Parent()->ScreenRect().top));
}

size_t CalendarListWindow::VisibleRows() const {
    // The heading takes the first row.
    const int rows = (ClientRect().Height() - 2 * kFrame) / kRowHeight - 1;
    return static_cast<size_t>(std::max(1, rows));
}

bool CalendarListWindow::HasScrollBar() const {
    return calendars_.size() > VisibleRows();
}

int CalendarListWindow::ContentRight() const {
    const int right = ClientRect().right - kFrame;
    return HasScrollBar() ? right - kScrollBarWidth : right;
}

void CalendarListWindow::Fit(const gui::Rect& rect) {
    Move(rect.left, rect.top, rect.Width(), rect.Height(), true);
    UpdateBar();
    InvalidateAll(true);
}

void CalendarListWindow::UpdateBar() {
    const size_t visible = VisibleRows();
    const size_t last = calendars_.size() > visible ? calendars_.size() - visible : 0;
    firstRow_ = std::min(firstRow_, last);
    const gui::Rect client = ClientRect();
    bar_->Move(client.right - kFrame - kScrollBarWidth, kFrame, kScrollBarWidth,
               std::max(0, client.Height() - 2 * kFrame), false);
    bar_->SetRange(static_cast<int>(last), static_cast<int>(std::max<size_t>(1, visible)), 1);
    bar_->SetValue(static_cast<int>(firstRow_));
    if (HasScrollBar()) {
        bar_->Show();
    } else {
        bar_->Hide();
    }
}

void CalendarListWindow::ShowCalendars(std::vector<store::StoreCalendar> calendars) {
    calendars_ = std::move(calendars);
    pressed_.reset();
    UpdateBar();
    InvalidateAll(true);
}

gui::Rect CalendarListWindow::BoxRect(size_t row, Box box) const {
    if (row < firstRow_ || row - firstRow_ >= VisibleRows() || row >= calendars_.size()) {
        return {};
    }
    const int top = kFrame + kRowHeight * static_cast<int>(row - firstRow_ + 1) + kBoxTop;
    const int left =
        box == Box::Shown ? kShownBoxLeft : ContentRight() - kDefaultBoxInset - kBoxSize;
    return {left, top, left + kBoxSize, top + kBoxSize};
}

std::optional<std::pair<size_t, CalendarListWindow::Box>> CalendarListWindow::BoxAt(
    gui::Point point) const {
    if (point.y < kFrame + kRowHeight || point.x >= ContentRight()) {
        return std::nullopt;
    }
    const size_t row = firstRow_ + static_cast<size_t>((point.y - kFrame) / kRowHeight - 1);
    if (row >= calendars_.size() || row - firstRow_ >= VisibleRows()) {
        return std::nullopt;
    }
    // The boxes take their whole row's height and a little room either side, for a pen.
    for (Box box : {Box::Shown, Box::Default}) {
        if (box == Box::Default && calendars_[row].readOnly) {
            continue;  // drawn without a box: it cannot be the default
        }
        const gui::Rect rect = BoxRect(row, box);
        if (point.x >= rect.left - 3 && point.x < rect.right + 3) {
            return std::make_pair(row, box);
        }
    }
    return std::nullopt;
}

void CalendarListWindow::OnPaint(gui::Surface& surface) {
    const gui::Rect client = ClientRect();
    surface.FillRect(client.left, client.top, client.right, client.bottom, gui::kWhite);
    Outline(surface, client, gui::kBlack);
    const gui::Font font({kFace, kTextHeight, false});
    const gui::Font previousFont = surface.SelectFont(font);
    const int right = ContentRight();
    const int defaultLeft = right - kDefaultBoxInset - kBoxSize;
    // The heading: what each box means, on grey, a line under it.
    surface.FillRect(kFrame, kFrame, right, kFrame + kRowHeight, gui::kLightGray);
    surface.SetTextColor(gui::kBlack);
    surface.DrawText(u"表示", {kFrame + 1, kFrame + kTextTop, kColourLeft, kFrame + kRowHeight},
                     gui::TextAlign::LeftTop);
    surface.DrawText(u"カレンダー",
                     {kNameLeft, kFrame + kTextTop, defaultLeft - 2, kFrame + kRowHeight},
                     gui::TextAlign::LeftTop);
    surface.DrawText(u"既定", {defaultLeft - 16, kFrame + kTextTop, right - 1, kFrame + kRowHeight},
                     gui::TextAlign::RightTop);
    if (calendars_.empty()) {
        surface.SetTextColor(gui::kGray);
        surface.DrawText(
            u"（まだありません）",
            {kNameLeft, kFrame + kRowHeight + kTextTop, right, kFrame + 2 * kRowHeight},
            gui::TextAlign::LeftTop);
    }
    for (size_t row = firstRow_; row < calendars_.size() && row - firstRow_ < VisibleRows();
         ++row) {
        const store::StoreCalendar& calendar = calendars_[row];
        const int top = kFrame + kRowHeight * static_cast<int>(row - firstRow_ + 1);
        const gui::Rect shown = BoxRect(row, Box::Shown);
        Outline(surface, shown, gui::kBlack);
        if (!calendar.hidden) {
            Tick(surface, shown);
        }
        // The colour its items are marked with in the day list: its own, else the palette's.
        surface.FillRect(kColourLeft, top + kColourTop, kColourRight, top + kColourBottom,
                         schedule::ToItemCalendar(calendar).colour);
        std::u16string name = TextOf(calendar.name);
        if (calendar.readOnly) {
            name += u"（読取専用）";
        }
        surface.SetTextColor(calendar.hidden ? gui::kGray : gui::kBlack);
        surface.DrawText(name, {kNameLeft, top + kTextTop, defaultLeft - 2, top + kRowHeight},
                         gui::TextAlign::LeftTop);
        if (!calendar.readOnly) {
            const gui::Rect box = BoxRect(row, Box::Default);
            Outline(surface, box, gui::kBlack);
            if (calendar.isDefault) {
                surface.FillRect(box.left + kDefaultFillInset, box.top + kDefaultFillInset,
                                 box.right - kDefaultFillInset, box.bottom - kDefaultFillInset,
                                 gui::kBlack);
            }
        }
    }
    surface.SelectFont(previousFont);
}

void CalendarListWindow::OnPenDown(gui::Point point) {
    pressed_ = BoxAt(point);
}

void CalendarListWindow::OnPenUp(gui::Point point) {
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (!pressed || BoxAt(point) != pressed) {
        return;
    }
    if (tapped_) {
        tapped_(pressed->first, pressed->second);
    }
}

}  // namespace settings

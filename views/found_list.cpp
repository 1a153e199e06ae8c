#include "views/found_list.h"

#include <QString>

#include <algorithm>
#include <memory>

#include "schedule/day_items.h"
#include "views/day_list.h"
#include "views/view_font.h"

namespace views {
namespace {

constexpr int kFoundFrame = 1;
constexpr int kFoundLabelLeft = 2;
constexpr int kFoundLabelRight = 45;
constexpr int kFoundTextLeft = 51;
constexpr int kFoundHeadingLeft = 4;
constexpr int kFoundIconWidth = 16;
constexpr int kFoundStrikeDepth = 8;

std::optional<platform::CalendarFields> FieldsOf(platform::Date date) {
    return platform::DateToFields(date);
}

bool IsWithoutDate(const store::FoundItem& item) {
    return item.kind == calendar::ItemKind::Task && item.start == calendar::kNoDateValue;
}

// The day list's line for the item, written through a row of the day list's table (`scratch`,
// reused from one item to the next).
std::u16string LineTextVia(schedule::DayItemRow& scratch, const store::FoundItem& item) {
    if (IsWithoutDate(item)) {
        return item.subject;
    }
    scratch.rowDate = static_cast<platform::Date>(platform::DayNumber(item.start));
    scratch.kind = item.kind == calendar::ItemKind::Task ? schedule::DayItemKind::DatedTask
                                                         : schedule::DayItemKind::Appointment;
    scratch.start = item.start;
    scratch.end = item.end;
    scratch.allDay = item.allDay ? 1 : 0;
    // The last of a series says so before its subject, where a long line does not cut it off.
    scratch.subject =
        item.occurrence == store::SeriesOccurrence::Last ? u"最終回:" + item.subject : item.subject;
    scratch.location = item.location;
    scratch.inkCount = 0;
    return DayListLineText(scratch);
}

gui::ColorRef FoundLabelColour(platform::Date day, const FoundListView& view) {
    const settings::Settings& colours = view.settings;
    if (platform::DayNumber(day) == platform::DayNumber(view.todayDate)) {
        return colours.ccToday;
    }
    const auto fields = FieldsOf(day);
    const int weekday = fields ? fields->DayOfWeek : 1;
    if (weekday == 0) {
        return colours.ccSunDay;
    }
    if (weekday == 6) {
        return colours.ccSatDay;
    }
    return colours.ccWeekDay;
}

std::u16string FoundNoteText(FoundListNote note) {
    switch (note) {
        case FoundListNote::NothingFound:
            return u"見つかりません";
        case FoundListNote::TooLong:
            return u"長すぎます（255文字まで）";
        case FoundListNote::Failed:
            return u"予定を読めません";
        case FoundListNote::Hint:
            break;
    }
    return u"件名・場所・メモから探します";
}

void DrawHeading(gui::Surface& surface, std::u16string_view text, int top, int right) {
    surface.FillRect(kFoundFrame, top, right + kFoundTextGap, top + kFoundRowHeight,
                     gui::kLightGray);
    surface.DrawText(text, {kFoundHeadingLeft, top, right, top + kFoundRowHeight},
                     gui::TextAlign::LeftTop);
}

}  // namespace

std::vector<FoundListRow> FoundListRows(const store::FoundItems& found) {
    std::vector<FoundListRow> rows;
    rows.reserve(found.items.size() + 8);
    int year = 0;
    bool withoutDate = false;
    for (size_t index = 0; index < found.items.size(); ++index) {
        const store::FoundItem& item = found.items[index];
        if (IsWithoutDate(item)) {
            if (!withoutDate) {
                rows.push_back({FoundListRow::Kind::NoDate, 0, 0});
                withoutDate = true;
            }
        } else if (const auto fields = FieldsOf(item.start); fields && fields->Year != year) {
            year = fields->Year;
            rows.push_back({FoundListRow::Kind::Year, year, 0});
        }
        rows.push_back({FoundListRow::Kind::Item, 0, index});
    }
    if (found.more) {
        rows.push_back({FoundListRow::Kind::More, 0, 0});
    }
    return rows;
}

size_t FoundListVisibleRows(int height) {
    return static_cast<size_t>(std::max(0, height - 2 * kFoundFrame) / kFoundRowHeight);
}

std::u16string FoundItemLineText(const store::FoundItem& item) {
    // The table's row is large (its ink buffer): made once for the call.
    const auto scratch = std::make_unique<schedule::DayItemRow>();
    return LineTextVia(*scratch, item);
}

void DrawFoundList(gui::Surface& surface, int width, int height, int textRight,
                   const FoundListView& view) {
    surface.FillRect(0, 0, width, height, gui::kWhite);
    surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    surface.SelectBrush(gui::Brush::Null());
    surface.Rectangle(0, 0, width, height);
    const gui::Font font = CreateViewFont(ListTextHeight(view.settings), view.settings);
    const gui::Font previousFont = surface.SelectFont(font);
    surface.SetTextColor(gui::kBlack);
    surface.SetClip(kFoundFrame, kFoundFrame, width - kFoundFrame, height - kFoundFrame);

    if (view.rows.empty()) {
        surface.DrawText(FoundNoteText(view.note),
                         {kFoundHeadingLeft, kFoundFrame, textRight, kFoundFrame + kFoundRowHeight},
                         gui::TextAlign::LeftTop);
        surface.ResetClip();
        surface.SelectFont(previousFont);
        return;
    }
    surface.Polyline({{kFoundDividerX, kFoundFrame}, {kFoundDividerX, height - kFoundFrame}});

    const auto scratch = std::make_unique<schedule::DayItemRow>();
    const size_t visible = FoundListVisibleRows(height);
    for (size_t shown = 0; shown < visible && view.firstRow + shown < view.rows.size(); ++shown) {
        const FoundListRow& row = view.rows[view.firstRow + shown];
        const int top = kFoundFrame + static_cast<int>(shown) * kFoundRowHeight;
        switch (row.kind) {
            case FoundListRow::Kind::Year:
                DrawHeading(surface, QString::number(row.year).toStdU16String() + u"年", top,
                            textRight);
                continue;
            case FoundListRow::Kind::NoDate:
                DrawHeading(surface, u"日付なし", top, textRight);
                continue;
            case FoundListRow::Kind::More:
                DrawHeading(surface, u"ほかは省略しました", top, textRight);
                continue;
            case FoundListRow::Kind::Item:
                break;
        }
        if (row.item >= view.found.items.size()) {
            continue;
        }
        const store::FoundItem& item = view.found.items[row.item];
        if (!IsWithoutDate(item)) {
            surface.SetTextColor(FoundLabelColour(item.start, view));
            surface.DrawText(DayListLabelText(item.start),
                             {kFoundLabelLeft, top, kFoundLabelRight, top + kFoundRowHeight},
                             gui::TextAlign::RightTop);
            surface.SetTextColor(gui::kBlack);
        }
        const std::u16string line = LineTextVia(*scratch, item);
        surface.DrawText(line, {kFoundTextLeft, top, textRight, top + kFoundRowHeight},
                         gui::TextAlign::LeftTop);
        if (item.kind == calendar::ItemKind::Task && item.complete) {
            const int lineWidth = surface.MeasureText(line).width;
            surface.SetClip(kFoundTextLeft, kFoundFrame, textRight, height - kFoundFrame);
            surface.Polyline({{kFoundTextLeft, top + kFoundStrikeDepth},
                              {kFoundTextLeft + lineWidth, top + kFoundStrikeDepth}});
            surface.SetClip(kFoundFrame, kFoundFrame, width - kFoundFrame, height - kFoundFrame);
        }
        if (item.occurrence != store::SeriesOccurrence::NotASeries) {
            surface.DrawImage(view.recurringIcon, textRight - kFoundIconWidth, top);
        }
    }
    surface.ResetClip();
    surface.SelectFont(previousFont);
}

std::optional<size_t> FoundListRowAt(gui::Point point, int width, int height, size_t firstRow) {
    if (point.x < kFoundFrame || point.x >= width - kFoundFrame || point.y < kFoundFrame) {
        return std::nullopt;
    }
    const auto shown = static_cast<size_t>((point.y - kFoundFrame) / kFoundRowHeight);
    if (shown >= FoundListVisibleRows(height)) {
        return std::nullopt;
    }
    return firstRow + shown;
}

}  // namespace views

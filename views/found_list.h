#pragma once

#include <QImage>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/surface.h"
#include "settings/settings.h"
#include "store/found_item.h"

namespace views {

// The list of the items a search found, as the find dialog shows it: rows of the day list's
// pitch, a heading where the year changes (and before the tasks without a date), each item
// with its date label in the day list's colours and the day list's line, a series with its
// repeat icon (and, when all its occurrences lie before today, "最終回:" before its subject).

// One row of the list.
struct FoundListRow {
    enum class Kind { Year, NoDate, Item, More };
    Kind kind = Kind::Item;
    int year = 0;     // Year
    size_t item = 0;  // Item: the index among the items found
    friend bool operator==(const FoundListRow&, const FoundListRow&) = default;
};

// The rows for what was found, in its order: a year heading before the first item of each year,
// "日付なし" before the first task without a due date, and a last row saying there was more
// when the search stopped at its limit.
std::vector<FoundListRow> FoundListRows(const store::FoundItems& found);

// What the list says where it has no rows.
enum class FoundListNote { Hint, NothingFound, TooLong, Failed };

// What one paint of the list draws from.
struct FoundListView {
    const store::FoundItems& found;
    const std::vector<FoundListRow>& rows;
    size_t firstRow = 0;  // the row at the top (scrolled to)
    FoundListNote note = FoundListNote::Hint;
    platform::Date todayDate = 0;
    const settings::Settings& settings;
    const QImage& recurringIcon;
};

inline constexpr int kFoundRowHeight = 16;
// The date labels' column: labels end at its right, the line between the columns lies on it.
inline constexpr int kFoundDividerX = 48;
// Between the text's end and what lies right of it (a scroll bar): headings reach across it.
inline constexpr int kFoundTextGap = 2;

// Rows whole within a list `height` pixels high (inside its 1-pixel frame).
size_t FoundListVisibleRows(int height);

// Paints the list into [0, width) x [0, height) of the surface (the list window's own pixels):
// white, framed, the visible rows from `firstRow`, text ending at `textRight` (a scroll bar
// lies kFoundTextGap right of it).
void DrawFoundList(gui::Surface& surface, int width, int height, int textRight,
                   const FoundListView& view);

// The row under a point of the list, counted from its first row; nothing over the frame or
// below the last whole row.
std::optional<size_t> FoundListRowAt(gui::Point point, int width, int height, size_t firstRow);

// An item's line, as the day list writes its rows: "9-10:30 歯医者@駅前", "期限日:請求書", a task
// without a date by its subject; the last occurrence of a series "18-19 最終回:リハビリ".
std::u16string FoundItemLineText(const store::FoundItem& item);

}  // namespace views

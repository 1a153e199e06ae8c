#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/store_session.h"
#include "store/found_item.h"

namespace schedule {

// The longest text a search takes, in UTF-16 units: as long as a subject may be.
inline constexpr size_t kMaxSearchTextUnits = 255;

// The text the user asked to find, as the search takes it: without the spaces (narrow or wide),
// tabs and line breaks typed around it. `problem` says why there is nothing to search with.
struct SearchText {
    enum class Problem { None, Empty, TooLong };
    std::u16string text;
    Problem problem = Problem::None;
};
SearchText ReadSearchText(std::u16string_view typed);

// The items whose subject, place, typed memo or task notes hold the text (search_folding.h),
// ordered by date, each series once at its next occurrence on or after `today`, else at its
// last one (store::FoundItems). At most `limit` items. The text must have been read with
// ReadSearchText and found sound.
platform::Result<store::FoundItems> FindItems(StoreSession& store, std::u16string_view text,
                                              platform::Date today, size_t limit);

// The day a found item is shown on: its start's or due date's day; a task without due date is on
// every day's corner panel until it is done, and then on the day it was done, so it leads to
// that day, or to none while it is open.
std::optional<platform::Date> DayOfFoundItem(const store::FoundItem& item);

}  // namespace schedule

#include "schedule/item_search.h"

namespace schedule {
namespace {

bool IsSpaceAroundSearchText(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == u'\u3000';
}

platform::Date FoundDayOf(platform::Date date) {
    return static_cast<platform::Date>(platform::DayNumber(date));
}

}  // namespace

SearchText ReadSearchText(std::u16string_view typed) {
    while (!typed.empty() && IsSpaceAroundSearchText(typed.front())) {
        typed.remove_prefix(1);
    }
    while (!typed.empty() && IsSpaceAroundSearchText(typed.back())) {
        typed.remove_suffix(1);
    }
    SearchText read;
    if (typed.empty()) {
        read.problem = SearchText::Problem::Empty;
    } else if (typed.size() > kMaxSearchTextUnits) {
        read.problem = SearchText::Problem::TooLong;
    } else {
        read.text = std::u16string(typed);
    }
    return read;
}

platform::Result<store::FoundItems> FindItems(StoreSession& store, std::u16string_view text,
                                              platform::Date today, size_t limit) {
    auto application = store.LoggedOnApplication();
    if (!application) {
        return application.error();
    }
    return (*application)->FindItems(text, today, limit);
}

std::optional<platform::Date> DayOfFoundItem(const store::FoundItem& item) {
    if (item.kind == calendar::ItemKind::Task && item.start == calendar::kNoDateValue) {
        if (item.complete && item.dateCompleted != calendar::kNoDateValue) {
            return FoundDayOf(item.dateCompleted);
        }
        return std::nullopt;
    }
    return FoundDayOf(item.start);
}

}  // namespace schedule

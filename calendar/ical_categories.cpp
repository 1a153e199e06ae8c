#include "calendar/ical_categories.h"

#include "calendar/ical_lines.h"

namespace calendar::ical {
namespace {

// The planner's CATEGORIES line for a text, unfolded and without its CRLF; empty for none.
std::string UnfoldedCategoriesLine(std::string_view joined) {
    std::string value;
    size_t at = 0;
    while (at <= joined.size()) {
        size_t next = joined.find(kCategorySeparator, at);
        if (next == std::string_view::npos) {
            next = joined.size();
        }
        const std::string_view item = Trim(joined.substr(at, next - at));
        if (!item.empty()) {
            value += (value.empty() ? "" : ",") + EscapeText(item);
        }
        at = next + kCategorySeparator.size();
    }
    return value.empty() ? std::string() : "CATEGORIES:" + value;
}

}  // namespace

std::string JoinedCategories(const std::vector<std::string>& lines) {
    std::vector<std::string> items;
    for (const std::string& line : lines) {
        // A parameter's quoted value may hold a ':' of its own.
        const platform::Result<ContentLine> split = SplitContentLine(0, line);
        const std::string_view value = split.ok() ? split->value() : ValueOfLine(line);
        for (std::string& item : SplitTextList(value)) {
            items.push_back(std::move(item));
        }
    }
    return Join(items, kCategorySeparator);
}

std::string CategoriesLine(std::string_view joined) {
    const std::string line = UnfoldedCategoriesLine(joined);
    return line.empty() ? std::string() : Fold(line);
}

bool CategoriesWrittenOtherwise(const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return false;
    }
    return lines.size() > 1 || lines.front() != UnfoldedCategoriesLine(JoinedCategories(lines));
}

std::string WrittenCategories(const std::vector<std::string>& kept, std::string_view joined) {
    if (kept.empty() || JoinedCategories(kept) != joined) {
        return CategoriesLine(joined);
    }
    std::string out;
    for (const std::string& line : kept) {
        out += Fold(line);
    }
    return out;
}

}  // namespace calendar::ical

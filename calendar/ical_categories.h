#pragma once

#include <string>
#include <string_view>
#include <vector>

// An item's categories. The planner keeps them as one text, the categories joined with ", ";
// a calendar may give them on several CATEGORIES lines, with parameters, or spelt otherwise than
// the planner writes them. Such lines are kept with the item (among its kept lines) and written
// back as they came for as long as the text they make is still the item's, so that an item whose
// categories were not changed here goes back as it came, and one whose categories were changed
// here is written as the planner writes them.
namespace calendar::ical {

inline constexpr std::string_view kCategorySeparator = ", ";

// The text CATEGORIES lines (unfolded content lines) make: every value of every line, in order,
// unescaped and joined with ", ".
std::string JoinedCategories(const std::vector<std::string>& lines);

// The one CATEGORIES line the planner writes for a text, folded and with its CRLF; nothing for
// a text without categories.
std::string CategoriesLine(std::string_view joined);

// Whether lines read from a calendar would come back otherwise if written from the text they
// make (several lines, parameters, spaces or escapes of their own): then they are kept.
bool CategoriesWrittenOtherwise(const std::vector<std::string>& lines);

// What an item's categories are written as: the kept lines, folded, while they make `joined`;
// else the planner's own line for it.
std::string WrittenCategories(const std::vector<std::string>& kept, std::string_view joined);

}  // namespace calendar::ical

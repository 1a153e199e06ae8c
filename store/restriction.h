#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/result.h"

namespace store {

// The fields a restriction string can name, e.g. [Start] or [Complete].
enum class Field {
    Start,
    End,
    DueDate,
    StartDate,
    DateCompleted,
    Complete,
    AllDayEvent,
    ReminderSet,
    IsRecurring,
    Subject,
    Location,
    Categories,
    Body,
};

struct RestrictionNode;

// A parsed restriction such as `[Start] <= "2004/10/18" and [End] >= "2004/10/5"`. Immutable;
// copies share one tree. Text values are held as UTF-16, as the program holds its strings.
class Restriction {
public:
    explicit Restriction(std::shared_ptr<const RestrictionNode> root) : root_(std::move(root)) {}
    const RestrictionNode& root() const { return *root_; }
    // The alternatives its top-level `or`s join, each a restriction of its own: an item
    // satisfies the whole when it satisfies one of them. Itself alone when there is no `or`.
    std::vector<Restriction> Alternatives() const;

private:
    std::shared_ptr<const RestrictionNode> root_;
};

// Parses a restriction. Keywords (and, or, not, TRUE, FALSE) and field names ignore case. A date
// without a time ("2004/10/5") compares by day; with a time ("2004/10/5 9:30", "... 9:30:15 PM")
// it compares to the second. Errors name the problem and its character (1-based, code points).
platform::Result<Restriction> ParseRestriction(std::u16string_view text);
// The same for UTF-8 text from the command line or a file.
platform::Result<Restriction> ParseRestriction(std::string_view utf8);

// The values of one item (or one occurrence of a recurring appointment). Fields that a kind of
// item does not have, such as a task's [Start], are missing (nullopt).
class FieldValues {
public:
    virtual ~FieldValues() = default;
    // Dates on the linear axis (platform::DateToLinear).
    virtual std::optional<double> DateLinear(Field field) const = 0;
    virtual std::optional<bool> Flag(Field field) const = 0;
    virtual std::optional<std::u16string_view> Text(Field field) const = 0;
};

// Whether an item satisfies a restriction. A comparison with a missing value is unknown, and
// unknown stays unknown under `not` (as SQL's NULL does), so a missing value never matches.
// Texts order by code point, the order SQLite gives UTF-8 TEXT, so the two filters agree.
bool Matches(const Restriction& restriction, const FieldValues& values);

// How the store keeps each field in SQL: the column expression, or nullopt when the field has
// no column. Dates are REAL linear values, booleans INTEGER (nonzero is true), texts UTF-8 TEXT
// with the BINARY collation.
using SqlColumns = std::function<std::optional<std::string>(Field)>;

using SqlParameter = std::variant<double, std::string>;

// A WHERE fragment with '?' placeholders and their values, in order.
struct SqlFilter {
    std::string where;
    std::vector<SqlParameter> parameters;
};

// The restriction as SQL that selects exactly the rows Matches accepts. Day comparisons become
// plain ranges on the column so that an index serves them. nullopt when some field has no
// column; the store then filters in memory.
std::optional<SqlFilter> ToSql(const Restriction& restriction, const SqlColumns& columns);

// Half-open bounds [lower, upper) on the linear axis; nullopt is unbounded.
struct LinearRange {
    std::optional<double> lower;
    std::optional<double> upper;
};

// The range of one date field that every matching item lies in, from the comparisons joined by
// the top-level `and`s: `[Start] <= "2004/10/18"` bounds Start below the 19th. Comparisons under
// `or` or `not`, and `<>`, imply nothing. Contradictory bounds give an empty range.
LinearRange ImpliedRange(const Restriction& restriction, Field field);

}  // namespace store

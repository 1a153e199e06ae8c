#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/pim/records.h"

namespace pim {

// One occurrence of a series, in local wall-clock time.
struct Occurrence {
    Date start = 0;
    Date end = 0;
};

// The most occurrences one series yields for one query: a never-ending series asked for
// without an upper bound stops here instead of running forever.
inline constexpr std::size_t kMaxOccurrencesPerQuery = 10000;

// The occurrences of the appointment's series whose starts lie in [fromLinear, toLinear)
// (local time on the linear axis; no upper bound when toLinear is empty), in ascending order.
// The series' own start is always its first occurrence, as iCalendar defines DTSTART.
std::vector<Occurrence> ExpandOccurrences(const AppointmentRecord& series, double fromLinear,
                                          std::optional<double> toLinear,
                                          std::size_t limit = kMaxOccurrencesPerQuery);

// Where expansion of a stored series may start and end, worked out once when it is saved.
struct SeriesBounds {
    // The rule with COUNT replaced by the UNTIL it comes to, so expansion can start at any
    // window instead of walking from the series' first occurrence.
    std::string expansionRule;
    // End of the last occurrence on the local linear axis; empty when the series never ends.
    std::optional<double> lastEndLinear;
};
SeriesBounds ComputeSeriesBounds(const AppointmentRecord& series);

// The expansion above, for a stored series whose bounds were computed when it was saved.
std::vector<Occurrence> ExpandStoredOccurrences(const AppointmentRecord& series,
                                                const std::string& expansionRule, double fromLinear,
                                                std::optional<double> toLinear,
                                                std::size_t limit = kMaxOccurrencesPerQuery);

// How the planner names the kind of a series.
RecurrenceType TypeOfRecurrence(const Recurrence& recurrence);

// True when libical accepts the rule text.
bool IsValidRule(const std::string& rule);

}  // namespace pim

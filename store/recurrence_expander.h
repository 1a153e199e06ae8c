#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "calendar/records.h"

namespace store {

using platform::Date;

// One occurrence of a series, in local wall-clock time.
struct Occurrence {
    Date start = 0;
    Date end = 0;
    // Its identity within the series: the start the rule gives it, wall-clock in the series'
    // zone (an occurrence changed on its own keeps it however far it moved).
    Date recurrenceId = 0;
    // The change that made it what it is (its own, or a this-and-future one before it); null
    // when it is the rule's occurrence as it stands. Points into the series passed in.
    const calendar::OccurrenceChange* change = nullptr;
};

// The most occurrences one series yields for one query: a never-ending series asked for
// without an upper bound stops here instead of running forever.
inline constexpr std::size_t kMaxOccurrencesPerQuery = 10000;

// The occurrences of the appointment's series whose starts lie in [fromLinear, toLinear)
// (local time on the linear axis; no upper bound when toLinear is empty), in ascending order,
// with the series' changed occurrences at their own times (also when they moved into the range
// from outside it) and its cancelled ones left out. The series' own start is always its first
// occurrence, as iCalendar defines DTSTART.
std::vector<Occurrence> ExpandOccurrences(const calendar::AppointmentRecord& series,
                                          double fromLinear, std::optional<double> toLinear,
                                          std::size_t limit = kMaxOccurrencesPerQuery);

// Where expansion of a stored series may start and end, worked out once when it is saved.
struct SeriesBounds {
    // The rule with COUNT replaced by the UNTIL it comes to, so expansion can start at any
    // window instead of walking from the series' first occurrence.
    std::string expansionRule;
    // End of the last occurrence on the local linear axis (changed occurrences included); empty
    // when the series never ends.
    std::optional<double> lastEndLinear;
    // How many days before the series' start an occurrence may start (a changed occurrence
    // moved earlier than the first one); 0 for most series.
    double earliestStartAdvance = 0;
};
SeriesBounds ComputeSeriesBounds(const calendar::AppointmentRecord& series);

// The expansion above, for a stored series whose bounds were computed when it was saved.
std::vector<Occurrence> ExpandStoredOccurrences(const calendar::AppointmentRecord& series,
                                                const std::string& expansionRule, double fromLinear,
                                                std::optional<double> toLinear,
                                                std::size_t limit = kMaxOccurrencesPerQuery);

// The length in days of the series' longest occurrence: a changed one may last longer.
double LongestOccurrence(const calendar::AppointmentRecord& series);

// The change that makes the occurrence `recurrenceId` of the recurrence what it is: its own, or
// else the last this-and-future change at or before it; null when none applies.
const calendar::OccurrenceChange* ChangeOf(const calendar::Recurrence& recurrence,
                                           Date recurrenceId);

// One occurrence as an item of its own: the series' record with the occurrence's times, and
// the texts, flags and extras of its change when it has one.
calendar::AppointmentRecord OccurrenceRecord(const calendar::AppointmentRecord& series,
                                             const Occurrence& occurrence);

// How the planner names the kind of a series.
calendar::RecurrenceType TypeOfRecurrence(const calendar::Recurrence& recurrence);

// True when libical accepts the rule text.
bool IsValidRule(const std::string& rule);

// What a rule text says of how often and until when, as libical reads it: FREQ ("WEEKLY"; empty
// for a rule libical does not read), and UNTIL as written (a date, clock time, or a moment in
// UTC); nullopt without UNTIL.
struct RuleReach {
    std::string frequency;
    struct Until {
        platform::CalendarFields wall;
        bool isDate = false;
        bool utc = false;
    };
    std::optional<Until> until;
};
RuleReach ReachOfRule(const std::string& rule);

}  // namespace store

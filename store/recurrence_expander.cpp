#include "store/recurrence_expander.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>

#include "calendar/item_zones.h"
#include "calendar/libical_rule.h"
#include "calendar/time_zones.h"
#include "store/rule_walker.h"

namespace store {
namespace {

using platform::DateToLinear;
using platform::LinearToDate;

constexpr int64_t kSecondsPerDay = 86400;
// Expansion works on whole seconds so that an EXDATE written as text matches its occurrence.
constexpr double kSecond = 1.0 / kSecondsPerDay;
// Zone offsets are less than a day; this margin finds every occurrence a local window can hold.
constexpr double kZoneMarginDays = 2.0;
// A COUNT rule is walked once, at save, to find where it ends; this caps that walk.
constexpr int kMaxCountedOccurrences = 1000000;

double RoundToSecond(double linear) {
    return std::round(linear / kSecond) * kSecond;
}

// The DATE the conversion pair gives for the same second, so that occurrences compare equal to
// dates the program builds from calendar fields.
Date Canonical(Date date) {
    const auto fields = platform::DateToFields(date);
    return fields ? platform::FieldsToDate(*fields).value_or(date) : date;
}

icaltimetype ToIcal(Date wallClock, bool isDate) {
    icaltimetype t = icaltime_null_time();
    const auto fields = platform::DateToFields(wallClock);
    if (!fields) {
        return t;
    }
    t.year = fields->Year;
    t.month = fields->Month;
    t.day = fields->Day;
    t.is_date = isDate ? 1 : 0;
    if (!isDate) {
        t.hour = fields->Hour;
        t.minute = fields->Minute;
        t.second = fields->Second;
    }
    return t;
}

std::optional<Date> FromIcal(const icaltimetype& t) {
    if (icaltime_is_null_time(t)) {
        return std::nullopt;
    }
    return platform::MakeDate(t.year, t.month, t.day, t.is_date ? 0 : t.hour,
                              t.is_date ? 0 : t.minute, t.is_date ? 0 : t.second);
}

struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using RecurIterator = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

bool IsAllDayStart(const calendar::AppointmentRecord& series) {
    return series.allDay;
}

// Whether libical restarts the rule at a window without keeping its phase. Its set-start
// places an hourly, minutely or secondly rule at the window's own time of day, so that
// FREQ=HOURLY;INTERVAL=37 from 13:30 no longer lands 37 hours apart; the daily and longer
// frequencies keep their phase (their intervals count whole days, weeks, months, years).
bool RestartLosesPhase(icalrecurrencetype_frequency frequency) {
    return frequency == ICAL_HOURLY_RECURRENCE || frequency == ICAL_MINUTELY_RECURRENCE ||
           frequency == ICAL_SECONDLY_RECURRENCE;
}

int64_t StepSeconds(const icalrecurrencetype& rule) {
    const int64_t interval = rule.interval > 0 ? rule.interval : 1;
    switch (rule.freq) {
        case ICAL_HOURLY_RECURRENCE:
            return interval * 3600;
        case ICAL_MINUTELY_RECURRENCE:
            return interval * 60;
        default:
            return interval;
    }
}

int64_t ToSeconds(double linear) {
    return std::llround(linear * kSecondsPerDay);
}

// The zone the series repeats in; local time when it has none.
calendar::TimeZone ZoneOf(const calendar::AppointmentRecord& series) {
    if (series.allDay) {
        return calendar::TimeZone::Local();
    }
    return calendar::ResolveZone(series.zone).value_or(calendar::TimeZone::Local());
}

// Whether an UNTIL is written in UTC. libical sets up its whole table of built-in zones the
// first time it is asked for its UTC zone, which would cost a command more than its own work;
// an UNTIL without a zone is not UTC, so only one with a zone asks.
bool IsUtcUntil(const icaltimetype& until) {
    return until.zone != nullptr && icaltime_is_utc(until) != 0;
}

// The rule's UNTIL as wall-clock time of the series' zone, which is how the walk compares it.
// An UNTIL in UTC is a moment (what most calendar programs write: the last start in UTC); a
// date UNTIL of a timed series takes in the whole of its day. Both ends are inclusive.
void UntilInSeriesZone(icalrecurrencetype& rule, const calendar::AppointmentRecord& series,
                       bool isDate) {
    icaltimetype& until = rule.until;
    if (icaltime_is_null_time(until)) {
        return;
    }
    if (isDate) {
        // An all-day series repeats by days, the same days in every zone: the day UNTIL names
        // is the last one, however it is written.
        until.is_date = 1;
        until.hour = until.minute = until.second = 0;
        until.zone = nullptr;
        return;
    }
    if (until.is_date) {
        until.is_date = 0;
        until.hour = 23;
        until.minute = 59;
        until.second = 59;
        return;
    }
    if (IsUtcUntil(until)) {
        const std::optional<Date> utcWall =
            platform::MakeDate(until.year, until.month, until.day, until.hour, until.minute,
                               std::min(until.second, 59));
        const std::optional<int64_t> instant =
            utcWall ? calendar::TimeZone::Utc().ToUnixSeconds(*utcWall) : std::nullopt;
        const std::optional<Date> wall =
            instant ? ZoneOf(series).FromUnixSeconds(*instant) : std::nullopt;
        if (wall) {
            until = ToIcal(*wall, false);
        }
        until.zone = nullptr;
    }
}

// The rule's starts (wall clock in the series' zone, linear) from `fromZone` on, ascending.
template <typename Visit>
void WalkRule(const calendar::AppointmentRecord& series, const std::string& ruleText,
              double fromZone, Visit&& visit) {
    if (ruleText.empty()) {
        return;
    }
    calendar::LibicalRule parsed(ruleText);
    icalrecurrencetype& rule = parsed.get();
    if (rule.freq == ICAL_NO_RECURRENCE) {
        icalerror_clear_errno();
        return;
    }
    const bool isDate = IsAllDayStart(series);
    UntilInSeriesZone(rule, series, isDate);
    const double zoneStart = DateToLinear(series.zoneStart);
    // The rules calendars commonly carry are walked by plain calendar arithmetic, which costs a
    // small part of what libical's iterator does; the others are left to libical.
    if (const std::optional<WallClockStart> first = WallClockStartOf(series.zoneStart, isDate)) {
        if (std::optional<RuleWalker> walker = RuleWalker::Create(rule, *first)) {
            if (fromZone > zoneStart) {
                walker->SkipTo(LinearToWallSeconds(fromZone));
            }
            for (std::optional<int64_t> start = walker->Next(); start; start = walker->Next()) {
                if (!visit(WallSecondsToLinear(*start))) {
                    break;
                }
            }
            return;
        }
    }
    const bool laterWindow = fromZone > zoneStart && rule.count == 0;
    icaltimetype walkStart = ToIcal(series.zoneStart, isDate);
    if (laterWindow && !isDate && RestartLosesPhase(rule.freq)) {
        // Starting the rule over at its last step before the window gives the same starts from
        // there on: every step is the same number of seconds, and a rule without COUNT has no
        // memory of the steps before.
        const int64_t step = StepSeconds(rule);
        const int64_t first = ToSeconds(zoneStart);
        const int64_t steps = (ToSeconds(fromZone) - first - 1) / step;
        if (steps > 0) {
            const int64_t offset = steps * step;
            icaltime_adjust(&walkStart, static_cast<int>(offset / kSecondsPerDay), 0, 0,
                            static_cast<int>(offset % kSecondsPerDay));
        }
    }
    RecurIterator it(icalrecur_iterator_new(rule, walkStart));
    if (!it) {
        icalerror_clear_errno();
        return;
    }
    if (laterWindow && (isDate || !RestartLosesPhase(rule.freq))) {
        // Starting at the window rather than at DTSTART keeps the cost to what is returned.
        if (icalrecur_iterator_set_start(it.get(), ToIcal(LinearToDate(fromZone), isDate)) == 0) {
            icalerror_clear_errno();
            return;
        }
    }
    for (icaltimetype t = icalrecur_iterator_next(it.get()); !icaltime_is_null_time(t);
         t = icalrecur_iterator_next(it.get())) {
        const auto date = FromIcal(t);
        if (!date || !visit(DateToLinear(*date))) {
            break;
        }
    }
}

double Duration(Date start, Date end) {
    return std::max(0.0, DateToLinear(end) - DateToLinear(start));
}

// A local time as wall-clock time of the series' zone.
double ZoneWall(const calendar::AppointmentRecord& series, Date local) {
    if (series.allDay) {
        return DateToLinear(local);
    }
    return DateToLinear(calendar::LocalToZoneWall(series.zone, local).value_or(local));
}

// How far a this-and-future change moves the occurrences it applies to, in days of the
// series' wall clock.
double ShiftOf(const calendar::AppointmentRecord& series,
               const calendar::OccurrenceChange& change) {
    return ZoneWall(series, change.start) - DateToLinear(change.recurrenceId);
}

// A series' changes, found by the start the rule gives an occurrence.
class ChangeIndex {
public:
    explicit ChangeIndex(const calendar::AppointmentRecord& series) {
        for (const calendar::OccurrenceChange& change : series.recurrence.changes) {
            const double id = RoundToSecond(DateToLinear(change.recurrenceId));
            own_.emplace_back(id, &change);
            if (change.thisAndFuture) {
                following_.emplace_back(id, &change);
            }
            if (change.thisAndFuture && !change.cancelled) {
                const double shift = ShiftOf(series, change);
                latestShift_ = std::max(latestShift_, shift);
                earliestShift_ = std::min(earliestShift_, shift);
            }
        }
        std::stable_sort(own_.begin(), own_.end(), ByStart);
        std::stable_sort(following_.begin(), following_.end(), ByStart);
    }

    const calendar::OccurrenceChange* Own(double id) const {
        const auto found =
            std::lower_bound(own_.begin(), own_.end(), id,
                             [](const Entry& e, double value) { return e.first < value; });
        return found != own_.end() && found->first == id ? found->second : nullptr;
    }
    // The last this-and-future change at or before the occurrence.
    const calendar::OccurrenceChange* Governing(double id) const {
        auto after = std::upper_bound(following_.begin(), following_.end(), id,
                                      [](double value, const Entry& e) { return value < e.first; });
        return after == following_.begin() ? nullptr : std::prev(after)->second;
    }
    // The most a this-and-future change moves occurrences later (>= 0) and earlier (<= 0).
    double LatestShift() const { return latestShift_; }
    double EarliestShift() const { return earliestShift_; }

private:
    using Entry = std::pair<double, const calendar::OccurrenceChange*>;
    static bool ByStart(const Entry& a, const Entry& b) { return a.first < b.first; }

    std::vector<Entry> own_;
    std::vector<Entry> following_;
    double latestShift_ = 0;
    double earliestShift_ = 0;
};

}  // namespace

std::vector<Occurrence> ExpandStoredOccurrences(const calendar::AppointmentRecord& series,
                                                const std::string& expansionRule, double fromLinear,
                                                std::optional<double> toLinear, std::size_t limit) {
    const calendar::Recurrence& recurrence = series.recurrence;
    const std::optional<calendar::TimeZone> zone =
        series.allDay ? std::nullopt : calendar::ResolveZone(series.zone);
    const bool zoned = zone.has_value();
    const double duration = Duration(series.start, series.end);
    const ChangeIndex changes(series);
    // A this-and-future change moves later occurrences: the rule is walked far enough either
    // side of the range to find every one that lands in it.
    const double fromZone = fromLinear - (zoned ? kZoneMarginDays : 0.0) - changes.LatestShift();
    const bool bounded = toLinear.has_value();
    const double toZone =
        bounded ? *toLinear + (zoned ? kZoneMarginDays : 0.0) - changes.EarliestShift() : 0.0;

    // Candidate starts in the series' own wall clock.
    std::vector<double> starts;
    const double first = DateToLinear(series.zoneStart);
    starts.push_back(RoundToSecond(first));
    std::size_t walked = 0;
    const std::size_t skippable =
        limit + recurrence.exceptionDates.size() + recurrence.changes.size() + 1;
    WalkRule(series, expansionRule, fromZone, [&](double start) {
        if (bounded && start >= toZone) {
            return false;
        }
        if (start >= fromZone - kSecond / 2) {
            starts.push_back(RoundToSecond(start));
        }
        return ++walked < skippable;
    });
    for (Date extra : recurrence.extraDates) {
        starts.push_back(RoundToSecond(DateToLinear(extra)));
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    std::vector<double> excluded;
    for (Date exception : recurrence.exceptionDates) {
        excluded.push_back(RoundToSecond(DateToLinear(exception)));
    }
    std::sort(excluded.begin(), excluded.end());
    const auto isExcluded = [&excluded](double id) {
        return std::binary_search(excluded.begin(), excluded.end(), id);
    };
    // Starts are whole seconds; within half a second of a bound is on it.
    const auto inRange = [&](double localLinear) {
        return localLinear >= fromLinear - kSecond / 2 &&
               (!toLinear || localLinear < *toLinear - kSecond / 2);
    };

    std::vector<Occurrence> occurrences;
    for (double start : starts) {
        if (start < first - kSecond / 2 || isExcluded(start) || changes.Own(start) != nullptr) {
            continue;  // an occurrence changed on its own is added below, wherever it went
        }
        const calendar::OccurrenceChange* governing = changes.Governing(start);
        if (governing != nullptr && governing->cancelled) {
            continue;
        }
        const double wall = governing != nullptr ? start + ShiftOf(series, *governing) : start;
        std::optional<Date> local = LinearToDate(wall);
        if (zoned) {
            const std::optional<int64_t> instant = zone->ToUnixSeconds(*local);
            local = instant ? calendar::TimeZone::Local().FromUnixSeconds(*instant) : std::nullopt;
            if (!local) {
                continue;
            }
        }
        const double localLinear = DateToLinear(*local);
        if (!inRange(localLinear)) {
            continue;
        }
        const double length =
            governing != nullptr ? Duration(governing->start, governing->end) : duration;
        occurrences.push_back({Canonical(*local), Canonical(LinearToDate(localLinear + length)),
                               Canonical(LinearToDate(start)), governing});
    }
    for (const calendar::OccurrenceChange& change : recurrence.changes) {
        const double id = RoundToSecond(DateToLinear(change.recurrenceId));
        if (change.cancelled || isExcluded(id) || !inRange(DateToLinear(change.start))) {
            continue;
        }
        occurrences.push_back(
            {Canonical(change.start), Canonical(change.end), Canonical(LinearToDate(id)), &change});
    }
    std::stable_sort(occurrences.begin(), occurrences.end(),
                     [](const Occurrence& a, const Occurrence& b) {
                         return DateToLinear(a.start) < DateToLinear(b.start);
                     });
    if (occurrences.size() > limit) {
        occurrences.resize(limit);
    }
    return occurrences;
}

SeriesBounds ComputeSeriesBounds(const calendar::AppointmentRecord& series) {
    const calendar::Recurrence& recurrence = series.recurrence;
    SeriesBounds bounds;
    bounds.expansionRule = recurrence.rule;
    double lastStart = DateToLinear(series.zoneStart);
    for (Date extra : recurrence.extraDates) {
        lastStart = std::max(lastStart, DateToLinear(extra));
    }
    bool endless = false;
    if (!recurrence.rule.empty()) {
        calendar::LibicalRule parsed(recurrence.rule);
        icalrecurrencetype& rule = parsed.get();
        if (rule.freq == ICAL_NO_RECURRENCE) {
            icalerror_clear_errno();
        } else if (rule.count > 0) {
            // Walk the counted rule once and remember where it ends as an UNTIL.
            std::optional<double> last;
            int walked = 0;
            WalkRule(series, recurrence.rule, -1e300, [&](double start) {
                last = start;
                return ++walked < std::min(rule.count, kMaxCountedOccurrences);
            });
            if (last) {
                lastStart = std::max(lastStart, *last);
                icalrecurrencetype untilRule = rule;
                untilRule.count = 0;
                untilRule.until = ToIcal(LinearToDate(*last), IsAllDayStart(series));
                char* text = icalrecurrencetype_as_string_r(&untilRule);
                if (text) {
                    bounds.expansionRule = text;
                    icalmemory_free_buffer(text);
                }
            }
        } else if (!icaltime_is_null_time(rule.until)) {
            // UNTIL bounds the last start from above; that is all the store needs to know.
            UntilInSeriesZone(rule, series, IsAllDayStart(series));
            const auto until = FromIcal(rule.until);
            if (until) {
                lastStart = std::max(lastStart, DateToLinear(*until));
            }
        } else {
            endless = true;
        }
    }
    const ChangeIndex changes(series);
    const double seriesStart = DateToLinear(series.start);
    for (const calendar::OccurrenceChange& change : recurrence.changes) {
        if (!change.cancelled) {
            bounds.earliestStartAdvance =
                std::max(bounds.earliestStartAdvance, seriesStart - DateToLinear(change.start));
        }
    }
    if (!endless) {
        // The zone may lie a day either way of local time, and a this-and-future change may
        // move the last occurrence later.
        const double margin =
            series.allDay || !calendar::ResolveZone(series.zone) ? 0.0 : kZoneMarginDays;
        double lastEnd = lastStart + margin + changes.LatestShift() + LongestOccurrence(series);
        for (const calendar::OccurrenceChange& change : recurrence.changes) {
            if (!change.cancelled) {
                lastEnd = std::max(lastEnd, DateToLinear(change.end));
            }
        }
        bounds.lastEndLinear = lastEnd;
    }
    return bounds;
}

std::vector<Occurrence> ExpandOccurrences(const calendar::AppointmentRecord& series,
                                          double fromLinear, std::optional<double> toLinear,
                                          std::size_t limit) {
    return ExpandStoredOccurrences(series, ComputeSeriesBounds(series).expansionRule, fromLinear,
                                   toLinear, limit);
}

double LongestOccurrence(const calendar::AppointmentRecord& series) {
    double longest = Duration(series.start, series.end);
    for (const calendar::OccurrenceChange& change : series.recurrence.changes) {
        if (!change.cancelled) {
            longest = std::max(longest, Duration(change.start, change.end));
        }
    }
    return longest;
}

const calendar::OccurrenceChange* ChangeOf(const calendar::Recurrence& recurrence,
                                           Date recurrenceId) {
    if (recurrence.changes.empty()) {
        return nullptr;
    }
    const double id = RoundToSecond(DateToLinear(recurrenceId));
    const calendar::OccurrenceChange* governing = nullptr;
    double governingId = 0;
    for (const calendar::OccurrenceChange& change : recurrence.changes) {
        const double changeId = RoundToSecond(DateToLinear(change.recurrenceId));
        if (changeId == id) {
            return &change;
        }
        if (change.thisAndFuture && changeId < id && (!governing || changeId >= governingId)) {
            governing = &change;
            governingId = changeId;
        }
    }
    return governing;
}

calendar::AppointmentRecord OccurrenceRecord(const calendar::AppointmentRecord& series,
                                             const Occurrence& occurrence) {
    calendar::AppointmentRecord instance = series;
    instance.start = occurrence.start;
    instance.end = occurrence.end;
    if (const calendar::OccurrenceChange* change = occurrence.change) {
        instance.allDay = change->allDay;
        instance.reminderSet = change->reminderSet;
        instance.subject = change->subject;
        instance.location = change->location;
        instance.body = change->body;
        instance.handwritten = change->handwritten;
        instance.categories = change->categories;
        instance.extraProperties = change->extraProperties;
    }
    return instance;
}

calendar::RecurrenceType TypeOfRecurrence(const calendar::Recurrence& recurrence) {
    if (recurrence.rule.empty()) {
        // A series made of RDATEs alone still has several occurrences.
        return recurrence.extraDates.empty() ? calendar::RecurrenceType::None
                                             : calendar::RecurrenceType::Daily;
    }
    const calendar::LibicalRule parsed(recurrence.rule);
    const icalrecurrencetype& rule = parsed.get();
    const bool byWeekday = rule.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX;
    switch (rule.freq) {
        case ICAL_WEEKLY_RECURRENCE:
            return calendar::RecurrenceType::Weekly;
        case ICAL_MONTHLY_RECURRENCE:
            return byWeekday ? calendar::RecurrenceType::MonthlyByNthDay
                             : calendar::RecurrenceType::MonthlyByDay;
        case ICAL_YEARLY_RECURRENCE:
            return byWeekday ? calendar::RecurrenceType::YearlyByNthDay
                             : calendar::RecurrenceType::Yearly;
        case ICAL_NO_RECURRENCE:
            icalerror_clear_errno();
            return calendar::RecurrenceType::None;
        default:
            return calendar::RecurrenceType::Daily;
    }
}

RuleReach ReachOfRule(const std::string& rule) {
    RuleReach reach;
    const calendar::LibicalRule owned(rule);
    const icalrecurrencetype& parsed = owned.get();
    if (parsed.freq == ICAL_NO_RECURRENCE) {
        icalerror_clear_errno();
        return reach;
    }
    reach.frequency = icalrecur_freq_to_string(parsed.freq);
    const icaltimetype until = parsed.until;
    if (!icaltime_is_null_time(until)) {
        RuleReach::Until end;
        end.wall.Year = static_cast<uint16_t>(until.year);
        end.wall.Month = static_cast<uint16_t>(until.month);
        end.wall.Day = static_cast<uint16_t>(until.day);
        end.isDate = until.is_date != 0;
        if (!end.isDate) {
            end.wall.Hour = static_cast<uint16_t>(until.hour);
            end.wall.Minute = static_cast<uint16_t>(until.minute);
            end.wall.Second = static_cast<uint16_t>(until.second);
        }
        end.utc = IsUtcUntil(until);
        reach.until = end;
    }
    return reach;
}

bool IsValidRule(const std::string& rule) {
    const calendar::LibicalRule owned(rule);
    const icalrecurrencetype& parsed = owned.get();
    const bool valid = parsed.freq != ICAL_NO_RECURRENCE;
    icalerror_clear_errno();
    return valid;
}

}  // namespace store

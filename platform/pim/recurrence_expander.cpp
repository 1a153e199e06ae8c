#include "platform/pim/recurrence_expander.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/pim/time_zones.h"

namespace pim {
namespace {

using platform::DateToLinear;
using platform::LinearToDate;

// Expansion works on whole seconds so that an EXDATE written as text matches its occurrence.
constexpr double kSecond = 1.0 / 86400;
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

bool IsAllDayStart(const AppointmentRecord& series) {
    return series.allDay && series.recurrence.tzid.empty();
}

// The rule's starts (wall clock in the series' zone, linear) from `fromZone` on, ascending.
template <typename Visit>
void WalkRule(const AppointmentRecord& series, const std::string& ruleText, double fromZone,
              Visit&& visit) {
    if (ruleText.empty()) {
        return;
    }
    icalrecurrencetype rule = icalrecurrencetype_from_string(ruleText.c_str());
    if (rule.freq == ICAL_NO_RECURRENCE) {
        icalerror_clear_errno();
        return;
    }
    const bool isDate = IsAllDayStart(series);
    RecurIterator it(icalrecur_iterator_new(rule, ToIcal(series.recurrence.zoneStart, isDate)));
    if (!it) {
        icalerror_clear_errno();
        return;
    }
    if (fromZone > DateToLinear(series.recurrence.zoneStart) && rule.count == 0) {
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

}  // namespace

std::vector<Occurrence> ExpandStoredOccurrences(const AppointmentRecord& series,
                                                const std::string& expansionRule, double fromLinear,
                                                std::optional<double> toLinear, std::size_t limit) {
    const Recurrence& recurrence = series.recurrence;
    const bool zoned = !recurrence.tzid.empty();
    const double duration = DateToLinear(series.end) - DateToLinear(series.start);
    const double fromZone = fromLinear - (zoned ? kZoneMarginDays : 0.0);
    const std::optional<double> toZone =
        toLinear ? std::optional<double>(*toLinear + (zoned ? kZoneMarginDays : 0.0))
                 : std::nullopt;

    // Candidate starts in the series' own wall clock.
    std::vector<double> starts;
    const double first = DateToLinear(recurrence.zoneStart);
    starts.push_back(RoundToSecond(first));
    std::size_t walked = 0;
    WalkRule(series, expansionRule, fromZone, [&](double start) {
        if (toZone && start >= *toZone) {
            return false;
        }
        if (start >= fromZone) {
            starts.push_back(RoundToSecond(start));
        }
        return ++walked < limit + recurrence.exceptionDates.size() + 1;
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

    std::vector<Occurrence> occurrences;
    for (double start : starts) {
        if (start < first - kSecond / 2 ||
            std::binary_search(excluded.begin(), excluded.end(), start)) {
            continue;
        }
        std::optional<Date> local = LinearToDate(start);
        if (zoned) {
            local = ZoneToLocal(*local, recurrence.tzid);
            if (!local) {
                continue;
            }
        }
        const double localLinear = DateToLinear(*local);
        if (localLinear < fromLinear || (toLinear && localLinear >= *toLinear)) {
            continue;
        }
        occurrences.push_back({Canonical(*local), Canonical(LinearToDate(localLinear + duration))});
        if (occurrences.size() >= limit) {
            break;
        }
    }
    return occurrences;
}

SeriesBounds ComputeSeriesBounds(const AppointmentRecord& series) {
    const Recurrence& recurrence = series.recurrence;
    SeriesBounds bounds;
    bounds.expansionRule = recurrence.rule;
    double lastStart = DateToLinear(recurrence.zoneStart);
    for (Date extra : recurrence.extraDates) {
        lastStart = std::max(lastStart, DateToLinear(extra));
    }
    bool endless = false;
    if (!recurrence.rule.empty()) {
        icalrecurrencetype rule = icalrecurrencetype_from_string(recurrence.rule.c_str());
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
            const auto until = FromIcal(rule.until);
            if (until) {
                lastStart = std::max(lastStart, DateToLinear(*until));
            }
        } else {
            endless = true;
        }
    }
    if (!endless) {
        std::optional<Date> lastLocal = LinearToDate(lastStart);
        if (!recurrence.tzid.empty()) {
            // The zone may lie a day either way of local time.
            lastLocal = LinearToDate(lastStart + kZoneMarginDays);
        }
        const double duration = DateToLinear(series.end) - DateToLinear(series.start);
        bounds.lastEndLinear = DateToLinear(*lastLocal) + std::max(duration, 0.0);
    }
    return bounds;
}

std::vector<Occurrence> ExpandOccurrences(const AppointmentRecord& series, double fromLinear,
                                          std::optional<double> toLinear, std::size_t limit) {
    return ExpandStoredOccurrences(series, ComputeSeriesBounds(series).expansionRule, fromLinear,
                                   toLinear, limit);
}

RecurrenceType TypeOfRecurrence(const Recurrence& recurrence) {
    if (recurrence.rule.empty()) {
        // A series made of RDATEs alone still has several occurrences.
        return recurrence.extraDates.empty() ? RecurrenceType::None : RecurrenceType::Daily;
    }
    const icalrecurrencetype rule = icalrecurrencetype_from_string(recurrence.rule.c_str());
    const bool byWeekday = rule.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX;
    switch (rule.freq) {
        case ICAL_WEEKLY_RECURRENCE:
            return RecurrenceType::Weekly;
        case ICAL_MONTHLY_RECURRENCE:
            return byWeekday ? RecurrenceType::MonthlyByNthDay : RecurrenceType::MonthlyByDay;
        case ICAL_YEARLY_RECURRENCE:
            return byWeekday ? RecurrenceType::YearlyByNthDay : RecurrenceType::Yearly;
        case ICAL_NO_RECURRENCE:
            icalerror_clear_errno();
            return RecurrenceType::None;
        default:
            return RecurrenceType::Daily;
    }
}

bool IsValidRule(const std::string& rule) {
    const icalrecurrencetype parsed = icalrecurrencetype_from_string(rule.c_str());
    const bool valid = parsed.freq != ICAL_NO_RECURRENCE;
    icalerror_clear_errno();
    return valid;
}

}  // namespace pim

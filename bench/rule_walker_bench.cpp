// What a series costs the agenda's window: the starts of a recurrence rule in a fortnight 30 years
// after its first start, found by libical's iterator (restarted at the window, as the expander
// does) and by the rule walker. Arg 0 is a weekly rule, arg 1 a monthly rule by nth weekday.
#include <benchmark/benchmark.h>
#include <libical/ical.h>

#include <cstdint>
#include <optional>

#include "store/rule_walker.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr const char* kRules[] = {"FREQ=WEEKLY;BYDAY=MO,WE,FR", "FREQ=MONTHLY;BYDAY=2TU"};
constexpr store::WallClockStart kFirstStart{1996, 3, 4, 9, 30, 0, false};
// 2026-03-02, Monday, and the fortnight from it.
constexpr int64_t kWindowDay = 20514;
constexpr int64_t kWindowDays = 14;

icaltimetype IcalDay(int year, int month, int day, int hour, int minute) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    return t;
}

void BM_LibicalFortnight(benchmark::State& state) {
    const icalrecurrencetype rule = icalrecurrencetype_from_string(kRules[state.range(0)]);
    const icaltimetype first = IcalDay(1996, 3, 4, 9, 30);
    const icaltimetype windowStart = IcalDay(2026, 3, 2, 0, 0);
    const icaltimetype windowEnd = IcalDay(2026, 3, 16, 0, 0);
    int64_t starts = 0;
    for (auto _ : state) {
        icalrecur_iterator* it = icalrecur_iterator_new(rule, first);
        icalrecur_iterator_set_start(it, windowStart);
        for (icaltimetype t = icalrecur_iterator_next(it);
             !icaltime_is_null_time(t) && icaltime_compare(t, windowEnd) < 0;
             t = icalrecur_iterator_next(it)) {
            ++starts;
        }
        icalrecur_iterator_free(it);
    }
    state.counters["starts"] =
        benchmark::Counter(static_cast<double>(starts), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LibicalFortnight)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_WalkerFortnight(benchmark::State& state) {
    const icalrecurrencetype rule = icalrecurrencetype_from_string(kRules[state.range(0)]);
    const int64_t windowStart = kWindowDay * kSecondsPerDay;
    const int64_t windowEnd = windowStart + kWindowDays * kSecondsPerDay;
    int64_t starts = 0;
    for (auto _ : state) {
        std::optional<store::RuleWalker> walker = store::RuleWalker::Create(rule, kFirstStart);
        walker->SkipTo(windowStart);
        for (auto start = walker->Next(); start && *start < windowEnd; start = walker->Next()) {
            ++starts;
        }
    }
    state.counters["starts"] =
        benchmark::Counter(static_cast<double>(starts), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WalkerFortnight)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Store benchmarks: the planner's twelve-day window and month queries on stores of 2k, 20k and
// 200k appointments (bench_stores.h), iCalendar import throughput, and finding items by their
// texts on a store of 100k.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "bench/bench_stores.h"
#include "calendar/ical_io.h"
#include "store/schedule_store.h"

namespace {

using bench::BenchFolder;
using bench::DateText;
using bench::kAppointmentsPerDay;
using bench::kFirstDay;
using bench::MakeAppointments;
using bench::StoreOfSize;
using platform::Date;
using platform::MakeDate;

void RemoveStore(const std::filesystem::path& path) {
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
}

// The day list's query: twelve days and two more, expanded, sorted and walked to the end.
void BM_TwelveDayWindow(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    store::Application app;
    if (!app.LogOn(StoreOfSize(count)).ok()) {
        state.SkipWithError("cannot open the store");
        return;
    }
    const int days = count / kAppointmentsPerDay;
    std::vector<std::u16string> restrictions;
    for (int i = 0; i < 64; ++i) {
        const Date selected = kFirstDay + 30 + (days - 60) * i / 64;
        restrictions.push_back(u"[Start] <= \"" + DateText(selected + 13) + u"\" and [End] >= \"" +
                               DateText(selected) + u"\"");
    }
    size_t next = 0;
    int64_t returned = 0;
    for (auto _ : state) {
        auto items = app.GetDefaultFolder(store::FolderKind::Calendar)->GetItems();
        auto window = items->Restrict(restrictions[next++ % restrictions.size()]);
        window->SetIncludeRecurrences(true);
        (void)window->Sort(u"[Start]");
        for (int32_t i = 1;; ++i) {
            auto item = window->AppointmentAt(i);
            if (!item) {
                break;
            }
            benchmark::DoNotOptimize(item->End());
            ++returned;
        }
    }
    state.counters["items"] =
        benchmark::Counter(static_cast<double>(returned) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_TwelveDayWindow)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// The month grid's census query: every appointment starting in one month, expanded, counted.
void BM_MonthRestriction(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    store::Application app;
    if (!app.LogOn(StoreOfSize(count)).ok()) {
        state.SkipWithError("cannot open the store");
        return;
    }
    const int days = count / kAppointmentsPerDay;
    int month = 0;
    for (auto _ : state) {
        const Date first = kFirstDay + 31 * (month++ % std::max(1, days / 31 - 1));
        const auto f = *platform::DateToFields(first);
        const Date firstOfMonth = *MakeDate(f.Year, f.Month, 1);
        const Date last = *MakeDate(f.Month == 12 ? f.Year + 1 : f.Year, f.Month % 12 + 1, 1) - 1;
        auto items = app.GetDefaultFolder(store::FolderKind::Calendar)->GetItems();
        items->SetIncludeRecurrences(true);
        auto census = items->Restrict(u"[Start] >= \"" + DateText(firstOfMonth) +
                                      u"\" and [Start] <= \"" + DateText(last) + u"\"");
        benchmark::DoNotOptimize(census->Count());
    }
}
BENCHMARK(BM_MonthRestriction)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// Parsing an iCalendar file and adding its events in one transaction.
void BM_ImportThroughput(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string text = calendar::WriteICalendar(MakeAppointments(count, 7), {});
    const auto path = BenchFolder() / "import.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        RemoveStore(path);
        store::Application app;
        if (!app.LogOn(path).ok()) {
            state.SkipWithError("cannot open the store");
            return;
        }
        state.ResumeTiming();
        auto calendar = calendar::ParseICalendar(text);
        if (!calendar || !app.AddAll(calendar->appointments, calendar->tasks).ok()) {
            state.SkipWithError("import failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportThroughput)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// What `tessarinth-cli import` does: parse, then store every item by its UID in one transaction,
// into an empty store (range 1: 0) or one that holds the file's items already (1: every item
// found unchanged).
void BM_ImportByUid(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool again = state.range(1) != 0;
    const std::string text = calendar::WriteICalendar(MakeAppointments(count, 7), {});
    const auto path = BenchFolder() / "import-by-uid.sqlite";
    const auto import = [&text](store::Application& app) {
        auto calendar = calendar::ParseICalendar(text);
        if (!calendar) {
            return false;
        }
        std::vector<store::IncomingAppointment> incoming;
        incoming.reserve(calendar->appointments.size());
        for (size_t i = 0; i < calendar->appointments.size(); ++i) {
            incoming.push_back(
                {std::move(calendar->appointments[i]), calendar->appointmentsGive[i]});
        }
        return app.SaveByUid(incoming, {}).ok();
    };
    for (auto _ : state) {
        state.PauseTiming();
        RemoveStore(path);
        store::Application app;
        if (!app.LogOn(path).ok() || (again && !import(app))) {
            state.SkipWithError("cannot prepare the store");
            return;
        }
        state.ResumeTiming();
        if (!import(app)) {
            state.SkipWithError("import failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportByUid)
    ->Args({2000, 0})
    ->Args({20000, 0})
    ->Args({20000, 1})
    ->Unit(benchmark::kMillisecond);

// Finding items by their texts on a calendar of 100,000 appointments and 10,000 tasks, from a
// fixed today: range 0 the text (0: one no item holds, full-width Latin letters, so every text
// is read and folded; 1: 歯医者, a tenth of the appointments and a hundred series), range 1 the
// most items kept (0: all, as `tessarinth-cli search` asks; else the find dialog's 1000).
void BM_FindItems(benchmark::State& state) {
    constexpr int kCalendar = 100000;
    store::Application app;
    if (!app.LogOn(StoreOfSize(kCalendar)).ok()) {
        state.SkipWithError("cannot open the store");
        return;
    }
    const std::u16string text = state.range(0) == 0 ? u"ＸＹＺ" : u"歯医者";
    const size_t limit = state.range(1) == 0 ? std::numeric_limits<size_t>::max()
                                             : static_cast<size_t>(state.range(1));
    const Date today = *MakeDate(2026, 12, 7);
    size_t found = 0;
    for (auto _ : state) {
        auto items = app.FindItems(text, today, limit);
        if (!items) {
            state.SkipWithError("the search failed");
            return;
        }
        found = items->items.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FindItems)->Args({0, 0})->Args({1, 0})->Args({1, 1000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

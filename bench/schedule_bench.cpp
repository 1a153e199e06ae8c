// Schedule benchmarks: what a date change costs the main window. A next-day step runs
// LoadDayItems; a month change runs RefreshMonthCensus (which rebuilds) and LoadDayItems. The
// stores are those of store_bench (bench_stores.h) with handwritten memos added: around the
// measured dates every second appointment names one of a set of full ink files of 2000 records.
//
// The second argument chooses the tasks: 0 keeps store_bench's (every task open, so the undated
// task query returns them all), 1 has them as a planner in use would: every dated task done on
// its due date and all but kOpenUndatedTasks of the undated ones done long ago.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_stores.h"
#include "platform/files/data_home.h"
#include "platform/files/file_operations.h"
#include "schedule/day_items.h"
#include "schedule/ink_entry.h"
#include "schedule/month_census.h"

namespace {

using platform::Date;

// The ink files the memos name ("1.dat" .. "200.dat").
constexpr int kInkFiles = 200;
// Each a run of strokes of a width, a colour, 97 points and an end record: 2000 records.
constexpr int kStrokeRecords = 100;
// Days around the middle of the store whose appointments may carry ink.
constexpr int kInkReachDays = 160;
// Undated tasks left open when the tasks are kept done.
constexpr size_t kOpenUndatedTasks = 50;
// The next-day steps walk this many days forth and back around the middle of the store.
constexpr int kStepDays = 64;
// The month changes go round this many months before the middle of the store and after.
constexpr int kMonths = 8;

std::string InkFileBytes() {
    std::vector<schedule::InkEntry> ink;
    for (int stroke = 0; ink.size() < schedule::kMaxInkEntries; ++stroke) {
        ink.push_back({schedule::kInkWidthRecord, 1 + stroke % 3});
        ink.push_back({schedule::kInkColourRecord, stroke % 4});
        for (int point = 0; point < kStrokeRecords - 3; ++point) {
            ink.push_back({10 + point, 5 + (stroke * 7 + point) % 90});
        }
        ink.push_back({schedule::kInkEndRecord, schedule::kInkEndRecord});
    }
    return schedule::EncodeInkEntries(ink);
}

// The day in the middle of a store of `count` appointments.
Date MiddleOf(int count) {
    return bench::kFirstDay + count / bench::kAppointmentsPerDay / 2;
}

// Every dated task done on its due date, the undated ones done on the store's first day but for
// the last few.
void KeepTasksDone(std::vector<calendar::TaskRecord>& tasks) {
    size_t undated = 0;
    for (const calendar::TaskRecord& task : tasks) {
        undated += task.dueDate == calendar::kNoDateValue ? 1 : 0;
    }
    size_t seen = 0;
    for (calendar::TaskRecord& task : tasks) {
        if (task.dueDate != calendar::kNoDateValue) {
            task.complete = true;
            task.dateCompleted = task.dueDate;
        } else if (++seen + kOpenUndatedTasks <= undated) {
            task.complete = true;
            task.dateCompleted = bench::kFirstDay;
        }
    }
}

// Data homes holding the store of a size and task mix with ink, built once per process.
std::map<std::pair<int, bool>, std::filesystem::path> builtHomes;

platform::DataHome HomeOfSize(int count, bool tasksDone) {
    if (auto found = builtHomes.find({count, tasksDone}); found != builtHomes.end()) {
        return platform::DataHome(found->second);
    }
    const auto root = bench::BenchFolder() /
                      ("schedule-home-" + std::to_string(count) + (tasksDone ? "-done" : ""));
    const platform::DataHome home(root);
    if (!home.EnsureFolders().ok()) {
        std::abort();
    }
    const std::string bytes = InkFileBytes();
    const auto inkFolder = home.DeviceRoot() / "My Documents";
    for (int file = 1; file <= kInkFiles; ++file) {
        if (!platform::ReplaceFileAtomically(inkFolder / (std::to_string(file) + ".dat"), bytes)
                 .ok()) {
            std::abort();
        }
    }
    std::vector<calendar::AppointmentRecord> appointments = bench::MakeAppointments(count, 42);
    const Date middle = MiddleOf(count);
    int next = 0;
    for (calendar::AppointmentRecord& record : appointments) {
        if (record.start >= middle - kInkReachDays && record.start < middle + kInkReachDays &&
            next++ % 2 == 0) {
            const std::string name = std::to_string(next % kInkFiles + 1) + ".dat";
            record.body = std::u16string(name.begin(), name.end());
            record.handwritten = true;
        }
    }
    std::vector<calendar::TaskRecord> tasks = bench::MakeTasks(count);
    if (tasksDone) {
        KeepTasksDone(tasks);
    }
    bench::WriteStore(home.StorePath(), appointments, tasks);
    builtHomes[{count, tasksDone}] = root;
    return home;
}

// Rows of the table that carry ink, and rows in all that are items, for the counters.
void CountRows(const schedule::DayItems& items, int64_t& inkRows, int64_t& itemRows) {
    for (const schedule::DayItemRow& row : items.table) {
        inkRows += row.inkCount > 0 ? 1 : 0;
        itemRows += row.kind != schedule::DayItemKind::EmptyDay ? 1 : 0;
    }
}

void BM_NextDayStep(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const platform::DataHome home = HomeOfSize(count, state.range(1) != 0);
    const settings::Settings settings;
    schedule::StoreSession store(home.StorePath());
    const auto items = std::make_unique<schedule::DayItems>();
    const Date first = MiddleOf(count) - kStepDays / 2;
    if (!schedule::LoadDayItems(first, settings, home, store, *items).ok()) {
        state.SkipWithError("cannot load the day items");
        return;
    }
    int step = 0;
    int64_t inkRows = 0;
    int64_t itemRows = 0;
    for (auto _ : state) {
        // Forth and back, so that every load is one day from the one before.
        const int phase = step++ % (2 * kStepDays);
        const Date selected = first + (phase < kStepDays ? phase : 2 * kStepDays - phase);
        if (!schedule::LoadDayItems(selected, settings, home, store, *items).ok()) {
            state.SkipWithError("cannot load the day items");
            return;
        }
        CountRows(*items, inkRows, itemRows);
    }
    const double loads = static_cast<double>(state.iterations());
    state.counters["ink_rows"] = benchmark::Counter(static_cast<double>(inkRows) / loads);
    state.counters["item_rows"] = benchmark::Counter(static_cast<double>(itemRows) / loads);
}
BENCHMARK(BM_NextDayStep)
    ->ArgsProduct({{2000, 20000, 200000}, {0, 1}})
    ->ArgNames({"appointments", "tasks_done"})
    ->Unit(benchmark::kMicrosecond);

void BM_MonthChange(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const platform::DataHome home = HomeOfSize(count, state.range(1) != 0);
    const settings::Settings settings;
    schedule::StoreSession store(home.StorePath());
    const auto items = std::make_unique<schedule::DayItems>();
    schedule::MonthCensusState census;
    // The 15th of kMonths months around the middle of the store, gone round in turn.
    std::vector<Date> days;
    const auto middle = *platform::DateToFields(MiddleOf(count));
    for (int i = -kMonths / 2; i < kMonths / 2; ++i) {
        const int month = middle.Year * 12 + middle.Month - 1 + i;
        days.push_back(*platform::MakeDate(month / 12, month % 12 + 1, 15));
    }
    if (!schedule::RefreshMonthCensus(days.back(), settings, store, census).ok()) {
        state.SkipWithError("cannot take the census");
        return;
    }
    size_t next = 0;
    int64_t inkRows = 0;
    int64_t itemRows = 0;
    for (auto _ : state) {
        const Date selected = days[next++ % days.size()];
        if (!schedule::RefreshMonthCensus(selected, settings, store, census).ok() ||
            !schedule::LoadDayItems(selected, settings, home, store, *items, &census).ok()) {
            state.SkipWithError("cannot change the month");
            return;
        }
        CountRows(*items, inkRows, itemRows);
    }
    const double loads = static_cast<double>(state.iterations());
    state.counters["ink_rows"] = benchmark::Counter(static_cast<double>(inkRows) / loads);
    state.counters["item_rows"] = benchmark::Counter(static_cast<double>(itemRows) / loads);
}
BENCHMARK(BM_MonthChange)
    ->ArgsProduct({{2000, 20000, 200000}, {0, 1}})
    ->ArgNames({"appointments", "tasks_done"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

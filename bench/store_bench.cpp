// Store benchmarks: the planner's twelve-day window and month queries on stores of 2k, 20k and
// 200k appointments, and iCalendar import throughput.
//
// Stores keep a constant density (about six appointments a day, 1% of them recurring series of
// a few months, plus a handful of endless ones), so a window returns about the same number of
// items at every size: the cost of a query should follow what it returns, not the store's size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/pim/ical_io.h"
#include "platform/pim/schedule_store.h"

namespace {

using pim::AppointmentRecord;
using pim::Date;
using platform::MakeDate;

constexpr int kAppointmentsPerDay = 6;
constexpr int kEndlessSeries = 5;
const Date kFirstDay = *MakeDate(2000, 1, 1);

const char16_t* const kSubjects[] = {
    u"会議",   u"歯医者", u"打ち合わせ", u"昼食", u"出張", u"定例ミーティング",
    u"買い物", u"誕生日", u"研修",       u"面談"};

std::filesystem::path BenchFolder() {
    const char* base = std::getenv("TESSARINTH_BENCH_DIR");
    std::filesystem::path folder =
        base ? base : std::filesystem::temp_directory_path() / "tessarinth-bench";
    std::filesystem::create_directories(folder);
    return folder;
}

std::vector<AppointmentRecord> MakeAppointments(int count, unsigned seed) {
    std::mt19937 random(seed);
    const int days = count / kAppointmentsPerDay;
    std::uniform_int_distribution<int> day(0, days - 1);
    std::uniform_int_distribution<int> hour(7, 20);
    std::uniform_int_distribution<int> quarter(0, 3);
    std::uniform_int_distribution<int> length(1, 8);
    std::vector<AppointmentRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        AppointmentRecord& r = records[static_cast<size_t>(i)];
        r.subject = kSubjects[static_cast<size_t>(i) % std::size(kSubjects)];
        r.location = u"東京";
        r.start = kFirstDay + day(random) + (hour(random) * 60 + quarter(random) * 15) / 1440.0;
        r.end = r.start + length(random) * 15 / 1440.0;
        if (i % 100 == 0) {
            // Series of a few months; the first few never end.
            static const char* const kRules[] = {"FREQ=WEEKLY;COUNT=12", "FREQ=DAILY;COUNT=30",
                                                 "FREQ=MONTHLY;COUNT=4",
                                                 "FREQ=WEEKLY;BYDAY=MO,TH;COUNT=20"};
            r.recurrence.rule = i / 100 < kEndlessSeries ? "FREQ=WEEKLY" : kRules[(i / 100) % 4];
            r.recurrence.zoneStart = r.start;
        } else if (i % 97 == 0) {
            r.allDay = true;
            r.start = std::floor(r.start);
            r.end = r.start + 2;
        }
    }
    return records;
}

// Builds (once per process and size) a store file of `count` appointments and count/10 tasks.
std::filesystem::path StoreOfSize(int count) {
    static std::map<int, std::filesystem::path> built;
    if (auto found = built.find(count); found != built.end()) {
        return found->second;
    }
    const auto path = BenchFolder() / ("store-" + std::to_string(count) + ".sqlite");
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
    pim::Application app;
    if (!app.LogOn(path).ok()) {
        std::abort();
    }
    std::vector<pim::TaskRecord> tasks(static_cast<size_t>(count / 10));
    for (size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].subject = u"仕事";
        tasks[i].dueDate =
            i % 3 == 0 ? pim::kNoDateValue : kFirstDay + static_cast<double>(i % 365);
    }
    if (!app.AddAll(MakeAppointments(count, 42), tasks).ok()) {
        std::abort();
    }
    built[count] = path;
    return path;
}

std::u16string DateText(Date date) {
    const auto f = *platform::DateToFields(date);
    const std::string text =
        std::to_string(f.Year) + "/" + std::to_string(f.Month) + "/" + std::to_string(f.Day);
    return std::u16string(text.begin(), text.end());
}

// The day list's query: twelve days and two more, expanded, sorted and walked to the end.
void BM_TwelveDayWindow(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    pim::Application app;
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
        auto items = app.GetDefaultFolder(pim::FolderKind::Calendar)->GetItems();
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
    pim::Application app;
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
        auto items = app.GetDefaultFolder(pim::FolderKind::Calendar)->GetItems();
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
    const std::string text = pim::WriteICalendar(MakeAppointments(count, 7), {});
    const auto path = BenchFolder() / "import.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        std::filesystem::remove(path.string() + "-wal");
        std::filesystem::remove(path.string() + "-shm");
        pim::Application app;
        if (!app.LogOn(path).ok()) {
            state.SkipWithError("cannot open the store");
            return;
        }
        state.ResumeTiming();
        auto calendar = pim::ParseICalendar(text);
        if (!calendar || !app.AddAll(calendar->appointments, calendar->tasks).ok()) {
            state.SkipWithError("import failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportThroughput)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

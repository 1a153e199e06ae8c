#include "bench/bench_stores.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <random>

#include "store/schedule_store.h"

namespace bench {
namespace {

using calendar::AppointmentRecord;
using platform::Date;

const char16_t* const kSubjects[] = {
    u"会議",   u"歯医者", u"打ち合わせ", u"昼食", u"出張", u"定例ミーティング",
    u"買い物", u"誕生日", u"研修",       u"面談"};

// Series of a few months, taken in turn once the endless ones are made.
const char* const kRules[] = {"FREQ=WEEKLY;COUNT=12", "FREQ=DAILY;COUNT=30", "FREQ=MONTHLY;COUNT=4",
                              "FREQ=WEEKLY;BYDAY=MO,TH;COUNT=20"};

// Stores built by this process, by size: a benchmark run builds each once.
std::map<int, std::filesystem::path> builtStores;

}  // namespace

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
            r.recurrence.rule = i / 100 < kEndlessSeries ? "FREQ=WEEKLY" : kRules[(i / 100) % 4];
            r.zoneStart = r.start;
        } else if (i % 97 == 0) {
            r.allDay = true;
            r.start = std::floor(r.start);
            r.end = r.start + 2;
        }
    }
    return records;
}

std::vector<calendar::TaskRecord> MakeTasks(int appointmentCount) {
    std::vector<calendar::TaskRecord> tasks(static_cast<size_t>(appointmentCount / 10));
    for (size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].subject = u"仕事";
        tasks[i].dueDate =
            i % 3 == 0 ? calendar::kNoDateValue : kFirstDay + static_cast<double>(i % 365);
    }
    return tasks;
}

void WriteStore(const std::filesystem::path& path,
                const std::vector<AppointmentRecord>& appointments,
                const std::vector<calendar::TaskRecord>& tasks) {
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
    store::Application app;
    if (!app.LogOn(path).ok() || !app.AddAll(appointments, tasks).ok()) {
        std::abort();
    }
}

std::filesystem::path StoreOfSize(int count) {
    if (auto found = builtStores.find(count); found != builtStores.end()) {
        return found->second;
    }
    const auto path = BenchFolder() / ("store-" + std::to_string(count) + ".sqlite");
    WriteStore(path, MakeAppointments(count, 42), MakeTasks(count));
    builtStores[count] = path;
    return path;
}

std::u16string DateText(Date date) {
    const auto f = *platform::DateToFields(date);
    const std::string text =
        std::to_string(f.Year) + "/" + std::to_string(f.Month) + "/" + std::to_string(f.Day);
    return std::u16string(text.begin(), text.end());
}

}  // namespace bench

#pragma once

// Stores for the benchmarks, at a constant density (about six appointments a day, 1% of them
// recurring series of a few months, plus a handful of endless ones), so that a window returns
// about the same number of items at every size: the cost of a query should follow what it
// returns, not the store's size.

#include <filesystem>
#include <string>
#include <vector>

#include "calendar/records.h"

namespace bench {

inline constexpr int kAppointmentsPerDay = 6;
inline constexpr int kEndlessSeries = 5;
// The first day of every store: 1 January 2000.
inline const platform::Date kFirstDay = *platform::MakeDate(2000, 1, 1);

// $TESSARINTH_BENCH_DIR, default /tmp/tessarinth-bench; created when missing.
std::filesystem::path BenchFolder();

// `count` appointments over count / kAppointmentsPerDay days from kFirstDay, the same for the
// same seed.
std::vector<calendar::AppointmentRecord> MakeAppointments(int count, unsigned seed);

// One task for every ten appointments: a third without a due date, the others due in the first
// year of the store.
std::vector<calendar::TaskRecord> MakeTasks(int appointmentCount);

// Replaces the store file at `path` by one holding the records; aborts when it cannot.
void WriteStore(const std::filesystem::path& path,
                const std::vector<calendar::AppointmentRecord>& appointments,
                const std::vector<calendar::TaskRecord>& tasks);

// The store file of `count` appointments (seed 42) and their tasks, built once per process.
std::filesystem::path StoreOfSize(int count);

// A day as the restriction strings give it: "2004/10/5".
std::u16string DateText(platform::Date date);

}  // namespace bench

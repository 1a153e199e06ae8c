// What a repaint of the main window costs: the corner panel, the month grid, in landscape the
// date header and day strip, and the day list, painted through the window's own paint handler
// into its pixels. The heavy case is the one the list allows at most: twelve rows, each an
// appointment without subject whose memo is a drawing of 2000 ink records.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/planner.h"
#include "app/startup.h"
#include "bench/bench_stores.h"
#include "platform/files/data_home.h"
#include "platform/gui/device_screen.h"
#include "platform/registry/registry.h"
#include "schedule/ink_entry.h"

namespace {

// Strokes of 100 records (width, colour, 97 points, end) zig-zagging over the pad's area.
constexpr int kStrokeRecords = 100;

void FillInk(schedule::DayItemRow& row) {
    size_t next = 0;
    for (int stroke = 0; next < schedule::kMaxInkEntries; ++stroke) {
        row.ink[next++] = {schedule::kInkWidthRecord, 1 + stroke % 3};
        row.ink[next++] = {schedule::kInkColourRecord, stroke % 4};
        for (int point = 0; point < kStrokeRecords - 3; ++point) {
            row.ink[next++] = {(stroke * 11 + point * 2) % 230,
                               (stroke * 13 + point % 9 * 3) % 110};
        }
        row.ink[next++] = {schedule::kInkEndRecord, schedule::kInkEndRecord};
    }
    row.inkCount = static_cast<int32_t>(schedule::kMaxInkEntries);
    row.handwritten = 1;
}

// Twelve rows of the selected day and the next, all drawings, with icons and a span.
void FillDay(schedule::DayItems& items, platform::Date selected) {
    for (size_t i = 0; i < items.table.size(); ++i) {
        schedule::DayItemRow& row = items.table[i];
        row.rowDate = selected + static_cast<double>(i / 6);
        row.kind = schedule::DayItemKind::Appointment;
        row.objectId = static_cast<int32_t>(i + 1);
        row.start = row.rowDate + (8.0 + static_cast<double>(i % 6)) / 24;
        row.end = row.start + 1.5 / 24;
        row.subject.clear();
        row.reminder = static_cast<int32_t>(i % 2);
        row.recurring = static_cast<int32_t>(i % 3 == 0);
        FillInk(row);
    }
    for (size_t i = 0; i < 6; ++i) {
        items.undatedTasks[i].objectId = static_cast<int32_t>(100 + i);
        items.undatedTasks[i].subject = u"買い物リストを作る";
        items.undatedTasks[i].complete = static_cast<int32_t>(i % 2);
    }
}

void BM_MainWindowRepaint(benchmark::State& state) {
    const auto orientation =
        state.range(0) == 0 ? gui::Orientation::Portrait : gui::Orientation::Landscape;
    // An empty store: the rows are put in by hand.
    const platform::DataHome home(bench::BenchFolder() / "paint-home");
    if (!home.EnsureFolders().ok()) {
        state.SkipWithError("cannot make the data home");
        return;
    }
    const platform::CalendarFields today{2026, 12, 1, 7, 0, 0, 0, 0};
    const platform::FixedClock clock(today);
    app::Planner planner(home, platform::registry::Registry::Open(home.RegistryPath()), clock);
    app::PreparePlanner(planner);
    gui::DeviceScreen screen(orientation, 1);
    app::MainWindow* main = app::OpenMainWindow(screen, planner, today);
    FillDay(*planner.dayItems, main->SelectedDate());
    for (auto _ : state) {
        main->Repaint();
        main->PaintNow();
    }
    benchmark::DoNotOptimize(main->Pixels().constBits());
}
BENCHMARK(BM_MainWindowRepaint)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("landscape")
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

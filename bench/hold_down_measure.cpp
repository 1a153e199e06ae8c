// Holds the Down key on the planner's real screen and reports how far and how fast the selected
// day moves. Run it under a display, on a data home of your choice, for example the 200k store
// the schedule benchmark builds, from the middle of its dates:
//   export TESSARINTH_HOME=/tmp/tessarinth-bench/schedule-home-200000-done
//   HOLD_DOWN_START=2045-08-01 xvfb-run -a build/bench/hold_down_measure [SECONDS] [KEY_MS]
// The key repeats every KEY_MS milliseconds (default 1, far faster than any keyboard repeats),
// so the pace is set by the planner: one day per repaint, each with its load and paint.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "app/planner.h"
#include "app/startup.h"
#include "platform/files/data_home.h"
#include "platform/gui/device_screen.h"
#include "platform/registry/registry.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int keyInterval = argc > 2 ? std::atoi(argv[2]) : 1;
    QApplication application(argc, argv);
    auto home = platform::DataHome::FromEnvironment();
    if (!home || !home->EnsureFolders().ok()) {
        std::fprintf(stderr, "hold_down_measure: no data home\n");
        return 1;
    }
    const platform::SystemClock clock;
    app::Planner planner(*home, platform::registry::Registry::Open(home->RegistryPath()), clock);
    app::PreparePlanner(planner);
    gui::DeviceScreen screen(gui::Orientation::Portrait, 2);
    app::MainWindow* main = app::OpenMainWindow(screen, planner, clock.LocalTimeNow());
    // HOLD_DOWN_START=YYYY-MM-DD starts elsewhere, e.g. in the middle of a bench store.
    int year = 0;
    int month = 0;
    int day = 0;
    const char* start = std::getenv("HOLD_DOWN_START");
    if (start && std::sscanf(start, "%d-%d-%d", &year, &month, &day) == 3) {
        if (const auto date = platform::MakeDate(year, month, day)) {
            main->SelectDay(*date);
        }
    }
    screen.show();
    const platform::Date first = main->SelectedDate();

    int keys = 0;
    QTimer repeat;
    QObject::connect(&repeat, &QTimer::timeout, [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&screen, &press);
        ++keys;
    });
    QElapsedTimer elapsed;
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { QApplication::exit(0); });
    elapsed.start();
    repeat.start(keyInterval);
    QApplication::exec();
    const double took = static_cast<double>(elapsed.elapsed()) / 1000.0;
    const int days = static_cast<int>(main->SelectedDate() - first);
    std::printf("%d key repeats, %d days in %.2f s: %.1f days/s (%.1f ms a day)\n", keys, days,
                took, days / took, days > 0 ? took * 1000.0 / days : 0.0);
    planner.store.Release();
    return 0;
}

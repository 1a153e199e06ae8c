#include "app/startup.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/handwriting_panel_setup.h"
#include "app/main_window.h"
#include "app/planner.h"
#include "app/screen_preferences.h"
#include "app/sync_mark.h"
#include "controls/handwriting_pad.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/single_instance.h"
#include "platform/notify/desktop_notifications.h"
#include "platform/text/unicode_text.h"
#include "reminders/reminder_picture.h"
#include "reminders/reminder_service.h"
#include "resources/images.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "schedule/ink_file_writer.h"
#include "settings/settings_store.h"
#include "sync/background_sync.h"
#include "sync/data_home_sync.h"

namespace app {
namespace {

// Set by the reminder service of `tessarinth-cli reminders --watch` when it starts the planner
// from a notification: the day to open on, as YYYY-MM-DD.
constexpr const char* kOpenDayVariable = "TESSARINTH_OPEN_DAY";
// The first sync starts after the first paint, and at the latest this long after the start.
constexpr int kFirstSyncLatestMilliseconds = 2000;

std::optional<platform::Date> DayFromText(const std::string& text) {
    int year = 0;
    int month = 0;
    int day = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3) {
        return std::nullopt;
    }
    return platform::MakeDate(year, month, day);
}

// The zoom a screen starts at when none is remembered: as large as the desktop holds.
int ZoomForDesktop() {
    const QScreen* desktop = QGuiApplication::primaryScreen();
    return DefaultZoom(desktop ? desktop->availableGeometry().height() : 800);
}

}  // namespace

void ShowStartupWarnings(gui::DeviceScreen& screen, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        screen.ShowMessageBox(platform::Utf8ToUtf16Lossy(warning), u"Tessarinth",
                              gui::MessageBoxButtons::Ok);
    }
}

void ComeForward(gui::DeviceScreen& screen) {
    gui::Window* target = screen.FindTopLevel(u"TimeWindow", u"Tessarinth");
    if (!target) {
        target = screen.FindTopLevel(u"TESSARINTH", u"Tessarinth");
    }
    if (target) {
        gui::Window& popup = screen.LastActivePopup(*target);
        if (popup.IsVisible()) {
            screen.BringToFront(popup);
        }
    }
    screen.show();
    screen.raise();
    screen.activateWindow();
}

void PreparePlanner(Planner& planner) {
    schedule::InvalidateMonthCensus(planner.census);
    planner.listIcons = views::LoadDayListIcons();
    settings::LoadSettings(planner.registry, planner.settings);
    // The history files lie in the data folder the settings name.
    controls::LoadSubjectLocationHistory(planner.history, planner.home, planner.settings.DataPath);
    controls::LoadTaskHistory(planner.history, planner.home, planner.settings.DataPath);
}

MainWindow* OpenMainWindow(gui::DeviceScreen& screen, Planner& planner,
                           const platform::CalendarFields& today) {
    MainWindow* main = screen.CreateTopLevel<MainWindow>(planner, today);
    // Fit above the menu bar: same left and top, the width of its right edge and the height of
    // its bottom edge less the bar.
    if (screen.MenuBarOf(*main)) {
        FitAboveMenuBar(*main);
    }
    main->Show();
    main->PaintNow();
    return main;
}

MainWindow* StartPlanner(gui::DeviceScreen& screen, Planner& planner) {
    const platform::CalendarFields today = planner.clock.LocalTimeNow();
    controls::RegisterHandWriteClass();
    PreparePlanner(planner);
    screen.SetAccelerators(resources::Accelerators(resources::kMainAccelerators));
    return OpenMainWindow(screen, planner, today);
}

void ShutDownPlanner(Planner& planner) {
    planner.store.Release();
    controls::ReleasePadResources();
}

int RunPlanner(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessarinth"));

    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth: " << home.error().message << "\n";
        return 1;
    }

    // A copy already running for this data home comes forward; this one ends before it opens
    // the store or makes a window.
    // Started from a reminder's notification: on the day of its appointment, in this copy or in
    // the one already running.
    const std::string openDayText = qEnvironmentVariable(kOpenDayVariable).toStdString();
    const std::optional<platform::Date> openDay = DayFromText(openDayText);
    gui::SingleInstance instance(home->StorePath());
    if (instance.AskRunningCopyToComeForward(openDay ? openDayText : std::string())) {
        return 0;
    }
    // Start-up problems the user must hear of: on standard error at once, and on the screen
    // once it is up (the planner still comes up where it can).
    std::vector<std::string> warnings;
    const auto warn = [&warnings](std::string message) {
        std::cerr << "tessarinth: " << message << "\n";
        warnings.push_back(std::move(message));
    };
    if (auto folders = home->EnsureFolders(); !folders) {
        warn(folders.error().message);
        // No planner without its folders: the screen comes up only to say why.
        gui::DeviceScreen screen(gui::Orientation::Portrait, ZoomForDesktop());
        screen.show();
        ShowStartupWarnings(screen, warnings);
        return 1;
    }

    const platform::SystemClock clock;
    Planner planner(*home, platform::registry::Registry::Open(home->RegistryPath()), clock);
    if (planner.registry.DamageNotice()) {
        warn(*planner.registry.DamageNotice());
    }
    // The store: opened once for the whole run; a store that cannot be opened is said, and the
    // planner runs on with empty days (each later request tries again).
    if (auto store = planner.store.LoggedOnApplication(); !store) {
        warn(store.error().message);
    } else if ((*store)->IsReadOnly()) {
        warn("the data home " + planner.home.StorePath().parent_path().string() +
             " cannot be written here: its items are shown, and nothing in it can be changed");
    } else {
        // Handwriting a killed import or sync numbered but never stored frees its numbers.
        schedule::RemoveUnstoredInkFiles(planner.home, **store);
    }

    ScreenPreferences preferences = LoadScreenPreferences(planner.registry);
    if (preferences.zoom == 0) {
        preferences.zoom = ZoomForDesktop();
    }
    gui::DeviceScreen screen(preferences.orientation, preferences.zoom);
    screen.setWindowIcon(QIcon(QPixmap::fromImage(resources::Icon(resources::kProgramIcon))));
    SetUpHandwritingPanel(screen, preferences.handwritingPanel, std::cerr);
    screen.SetInputPanelWanted(preferences.inputPanel);
    screen.SetViewChangedHandler([&] {
        SaveScreenPreferences(planner.registry,
                              {screen.Zoom(), screen.CurrentOrientation(),
                               screen.IsHandwritingPanelOn(), screen.IsInputPanelWanted()});
    });

    MainWindow* main = StartPlanner(screen, planner);
    if (openDay) {
        main->SelectDay(*openDay);
    }
    screen.show();
    ShowStartupWarnings(screen, warnings);

    // The planner rings reminders while it runs, beside any service started at log-in: the
    // store decides which of them rings each one.
    notify::DesktopNotifications notifications(QDBusConnection::sessionBus(),
                                               QStringLiteral("Tessarinth"));
    reminders::ReminderService reminderService(home->StorePath(), clock, notifications,
                                               reminders::ProgramPicture(), std::cerr);
    const std::function<bool()> mainAlive = screen.IsAlive(main);
    reminderService.SetOpenDayHandler([&screen, main, mainAlive](platform::Date day) {
        if (mainAlive()) {
            main->SelectDay(day);
        }
        ComeForward(screen);
    });
    reminderService.Start();

    // With a calendar server set up, the planner keeps itself in step: at start, every
    // SyncMinutes and shortly after its own saves (0 minutes: only when asked from a terminal).
    // The interval follows the settings while the planner runs.
    SyncStatusTeller syncTeller(std::cerr);
    calendar_sync::BackgroundSync backgroundSync(
        *home, std::chrono::minutes(planner.settings.SyncMinutes),
        calendar_sync::ProgramBesidePlanner(QCoreApplication::applicationDirPath().toStdString(),
                                            "tessarinth-cli-sync"),
        [&clock] {
            const platform::CalendarFields now = clock.LocalTimeNow();
            char text[40];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", now.Year, now.Month,
                          now.Day, now.Hour, now.Minute);
            return std::string(text);
        });
    planner.afterOwnSave = [&backgroundSync] { backgroundSync.OwnSaveMade(); };
    planner.afterSettingsChange = [&backgroundSync, &planner] {
        backgroundSync.ChangeInterval(std::chrono::minutes(planner.settings.SyncMinutes));
    };
    const std::u16string keptIn = calendar_sync::ConflictFolder(*home).filename().u16string();
    planner.syncMark = [&backgroundSync, &clock, keptIn] {
        return SyncMarkOf(backgroundSync.Status(), clock.LocalTimeNow(), keptIn);
    };
    backgroundSync.SetStatusHandler(
        [&backgroundSync, &syncTeller] { syncTeller.Tell(backgroundSync.Status()); });
    // The first sync looks into the store and the settings again and may start a program: it
    // waits until the planner is on the screen, or a moment if the screen is not painted.
    bool syncStarted = false;
    const auto startSync = [&backgroundSync, &syncStarted] {
        if (!std::exchange(syncStarted, true)) {
            backgroundSync.Start();
        }
    };
    screen.SetFirstPaintHandler(startSync);
    QTimer::singleShot(kFirstSyncLatestMilliseconds, &screen, startSync);

    instance.Listen([&screen, main, mainAlive](const std::string& dayText) {
        if (const std::optional<platform::Date> day = DayFromText(dayText); day && mainAlive()) {
            main->SelectDay(*day);
        }
        ComeForward(screen);
    });
    // For measuring start-up from outside: report the time to the first paint and end.
    if (qEnvironmentVariableIsSet("TESSARINTH_REPORT_STARTUP")) {
        QTimer::singleShot(0, &screen, [&] {
            std::cout << "first paint after " << sinceStart.elapsed() << " ms\n";
            QApplication::exit(0);
        });
    }
    const int code = QApplication::exec();
    planner.afterOwnSave = nullptr;
    planner.afterSettingsChange = nullptr;
    planner.syncMark = nullptr;
    ShutDownPlanner(planner);
    return code;
}

}  // namespace app

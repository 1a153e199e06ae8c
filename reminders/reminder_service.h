#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/notify/desktop_notifications.h"
#include "platform/time/date_time.h"
#include "reminders/reminder_schedule.h"
#include "reminders/reminder_text.h"
#include "store/schedule_store.h"
#include "store/store_change_watcher.h"

namespace reminders {

// Rings the reminders of one store as desktop notifications, each occurrence's once: what has
// rung is claimed in the store, so that several services on one store (the planner's and one
// started at log-in) ring each reminder once in all, and a restarted one rings nothing again.
// A reminder whose time passed while nothing ran rings once, marked late, while its appointment
// has not ended. The store is followed within a tick of another program's change.
class ReminderService {
public:
    // How often the service looks at the store and the clock: the wall clock is read each time,
    // so that a machine waking from sleep rings what came due at once.
    static constexpr std::chrono::milliseconds kTickInterval{500};
    // A reminder rung more than this after its time is marked late.
    static constexpr int kLateAfterSeconds = 60;
    // Reminders are read this far ahead, and again when half of that has passed.
    static constexpr double kLookAheadDays = 1.0;
    // How long a claim waits for another program's write (an import, say) before it is tried
    // again at the next tick: in the planner, the ticks share the screen's thread.
    static constexpr std::chrono::milliseconds kBusyTimeout{100};
    // Records of rung reminders are kept this long after they were due.
    static constexpr double kFiredKeptDays = 366.0;

    ReminderService(std::filesystem::path storeFile, const platform::Clock& clock,
                    notify::DesktopNotifications& notifications,
                    notify::NotificationPicture picture, std::ostream& log);
    ~ReminderService();
    ReminderService(const ReminderService&) = delete;
    ReminderService& operator=(const ReminderService&) = delete;

    // One look: the store read again if it changed (or the look-ahead ran out, or the clock went
    // back), then every reminder now due claimed in one transaction and those claimed here rung.
    void Tick();
    // Ticks every kTickInterval on the thread's event loop from now on, the first time one
    // interval from now.
    void Start();

    // Runs with the day of a reminder's appointment when the user chooses its notification's
    // action ("開く").
    void SetOpenDayHandler(std::function<void(platform::Date day)> handler);

    // The reminders read and not rung yet, in order of ring time.
    const std::vector<Reminder>& Pending() const { return pending_; }

private:
    platform::Date Now() const;
    bool Reload(platform::Date now);
    void Ring(const Reminder& reminder, Lateness lateness);
    // Says a problem once, until things work again.
    void Report(bool& told, const std::string& message);

    std::filesystem::path storeFile_;
    const platform::Clock& clock_;
    notify::DesktopNotifications& notifications_;
    notify::NotificationPicture picture_;
    std::ostream& log_;
    store::Application store_;
    store::StoreChangeWatcher watcher_;
    std::vector<Reminder> pending_;
    bool loaded_ = false;
    platform::Date reloadAt_ = 0;  // linear
    platform::Date lastNow_ = 0;   // linear
    std::map<uint32_t, platform::Date> dayOfNotification_;
    std::function<void(platform::Date)> openDay_;
    bool toldNoService_ = false;
    bool toldStoreProblem_ = false;
    std::unique_ptr<QTimer> timer_;
};

}  // namespace reminders

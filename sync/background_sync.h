#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "sync/sync_schedule.h"

namespace calendar_sync {

// Why the latest sync did not finish, in the kinds the user can do something about.
enum class SyncTrouble {
    None,
    ServerUnreachable,   // nothing answers at the address, or it holds no such collection
    AccountRefused,      // the user name or password was refused
    DeletesToConfirm,    // many items would go on the server's word alone
    Stopped,             // anything else: the next sync takes it up
    NotStarted,          // the sync program is missing or cannot run
    SettingsUnreadable,  // the sync settings file is damaged
};

// What the running planner knows of its own syncs: whether a server is set up, the last sync
// that finished well (its local wall-clock time, as the clock gives it), and, when the latest
// one stopped, why.
struct BackgroundSyncStatus {
    bool setUp = false;
    std::optional<std::string> lastGoodAt;  // "2026-12-08 14:05"
    SyncTrouble trouble = SyncTrouble::None;
    std::string failure;                 // the sync's own words; empty when the latest finished
    std::vector<std::string> conflicts;  // of the latest sync
};

// The running planner keeping itself in step with the calendar server set up for its data home
// (SyncSchedule). Each sync is `tessarinth-cli-sync sync` run beside the planner, so that it
// never holds the pen or a repaint; the data home's sync lock keeps it from running beside
// another, and what it changes reaches the screen as any other program's writes do. A data home
// without sync set up is looked at again at each due time, so a setup made meanwhile is taken;
// one with subscribed feeds syncs them all the same.
class BackgroundSync {
public:
    // `syncProgram`: tessarinth-cli-sync. `now` names the local wall-clock time for the status.
    BackgroundSync(platform::DataHome home, Millis interval, std::filesystem::path syncProgram,
                   std::function<std::string()> now);
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    // The first sync, at once.
    void Start();
    // A save made on the screen: a sync follows shortly.
    void OwnSaveMade();
    // The interval changed in the settings while the planner runs (0: no more syncs by itself).
    void ChangeInterval(Millis interval);

    const BackgroundSyncStatus& Status() const { return status_; }
    // Told after each sync has ended (or was found not to be set up).
    void SetStatusHandler(std::function<void()> handler) { statusChanged_ = std::move(handler); }

private:
    // Ended's status for a sync that could not be started, or that was killed on the way.
    static constexpr int kNotStarted = -1;
    static constexpr int kCrashed = -2;

    Millis Now() const;
    void RunIfDue();
    void Arm();
    void Ended(int exitStatus);

    platform::DataHome home_;
    std::filesystem::path syncProgram_;
    std::function<std::string()> now_;
    SyncSchedule schedule_;
    QElapsedTimer clock_;
    QTimer timer_;
    QProcess process_;
    BackgroundSyncStatus status_;
    std::function<void()> statusChanged_;
};

// Where a program that ships beside the planner is: in the same folder once installed, in its
// own folder of the build (cli/) beside app/ when run from a build.
std::filesystem::path ProgramBesidePlanner(const std::filesystem::path& plannerFolder,
                                           std::string_view name);

}  // namespace calendar_sync

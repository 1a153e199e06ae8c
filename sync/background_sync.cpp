#include "sync/background_sync.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "sync/feed_subscriptions.h"
#include "sync/sync_settings.h"

namespace calendar_sync {
namespace {

SyncTrouble TroubleOfRemedy(std::string_view remedy) {
    if (remedy == "check-address") {
        return SyncTrouble::ServerUnreachable;
    }
    if (remedy == "check-account") {
        return SyncTrouble::AccountRefused;
    }
    if (remedy == "confirm-deletes") {
        return SyncTrouble::DeletesToConfirm;
    }
    return SyncTrouble::Stopped;
}

}  // namespace

BackgroundSync::BackgroundSync(platform::DataHome home, Millis interval,
                               std::filesystem::path syncProgram, std::function<std::string()> now)
    : home_(std::move(home)),
      syncProgram_(std::move(syncProgram)),
      now_(std::move(now)),
      schedule_(interval) {
    clock_.start();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { RunIfDue(); });
    QObject::connect(&process_, &QProcess::finished, &timer_,
                     [this](int exitStatus, QProcess::ExitStatus how) {
                         // A sync killed on the way has no status of its own to tell.
                         Ended(how == QProcess::CrashExit ? kCrashed : exitStatus);
                     });
    QObject::connect(&process_, &QProcess::errorOccurred, &timer_,
                     [this](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             Ended(kNotStarted);
                         }
                     });
}

BackgroundSync::~BackgroundSync() {
    // A sync still running when the planner closes is stopped with it: a sync stopped at any
    // moment keeps what it did, and the next start's sync takes up the rest.
    process_.disconnect();
}

Millis BackgroundSync::Now() const {
    return Millis(clock_.elapsed());
}

void BackgroundSync::Start() {
    RunIfDue();
}

void BackgroundSync::OwnSaveMade() {
    schedule_.Saved(Now());
    Arm();
}

void BackgroundSync::ChangeInterval(Millis interval) {
    schedule_.ChangeInterval(interval, Now());
    Arm();
}

void BackgroundSync::RunIfDue() {
    if (!schedule_.IsDue(Now())) {
        Arm();
        return;
    }
    auto settings = LoadSyncSettings(home_);
    // Subscribed feeds are refreshed at each sync, with a server set up or without one.
    const bool feedsAlone = settings && !settings->has_value() && HasSubscriptions(home_);
    if (!feedsAlone && (!settings || !settings->has_value())) {
        // Not set up, or its settings cannot be read: looked at again when the next one is due.
        status_.setUp = !settings;
        if (!settings) {
            status_.trouble = SyncTrouble::SettingsUnreadable;
            status_.failure = settings.error().message;
        }
        schedule_.Started();
        schedule_.Finished(Now());
        Arm();
        if (statusChanged_) {
            statusChanged_();
        }
        return;
    }
    status_.setUp = true;
    schedule_.Started();
    process_.setProgram(QString::fromStdString(syncProgram_.string()));
    process_.setArguments({QStringLiteral("sync"), QStringLiteral("--print-remedy")});
    process_.start();
}

void BackgroundSync::Ended(int exitStatus) {
    const std::string output = process_.readAllStandardOutput().toStdString();
    std::string errors = process_.readAllStandardError().toStdString();
    if (exitStatus == kNotStarted) {
        errors = "cannot start " + syncProgram_.string();
    } else if (exitStatus == kCrashed) {
        errors = "the sync stopped on the way; what it did until then is kept";
    }
    const SyncReport report = ReadSyncReport(exitStatus, output, errors);
    status_.conflicts = report.conflicts;
    if (report.ok) {
        status_.lastGoodAt = now_();
        status_.failure.clear();
        status_.trouble = SyncTrouble::None;
    } else {
        status_.failure = report.reason;
        status_.trouble =
            exitStatus == kNotStarted ? SyncTrouble::NotStarted : TroubleOfRemedy(report.remedy);
    }
    schedule_.Finished(Now());
    Arm();
    if (statusChanged_) {
        statusChanged_();
    }
}

void BackgroundSync::Arm() {
    const std::optional<Millis> due = schedule_.NextDue();
    if (!due) {
        timer_.stop();
        return;
    }
    const Millis wait = std::max(Millis{0}, *due - Now());
    timer_.start(static_cast<int>(std::min<Millis::rep>(wait.count(), 24LL * 60 * 60 * 1000)));
}

std::filesystem::path ProgramBesidePlanner(const std::filesystem::path& plannerFolder,
                                           std::string_view name) {
    const std::filesystem::path beside = plannerFolder / name;
    if (::access(beside.c_str(), X_OK) == 0) {
        return beside;
    }
    return plannerFolder.parent_path() / "cli" / name;
}

}  // namespace calendar_sync

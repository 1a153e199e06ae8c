#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// When the running planner syncs by itself, and what it makes of a sync's report. The times are
// a steady clock's, given by the caller, so that the rules are kept without waiting for them.
namespace calendar_sync {

using Millis = std::chrono::milliseconds;

// At start, every `interval`, and a short while after each of the planner's own saves (so that a
// burst of edits goes up as one sync); never two at once: a save made while a sync runs asks for
// one more after it. An interval of 0 never syncs.
class SyncSchedule {
public:
    static constexpr Millis kAfterSave{5000};

    explicit SyncSchedule(Millis interval);

    // When the next sync is due; nullopt while one runs, or when the planner never syncs.
    std::optional<Millis> NextDue() const;
    bool IsDue(Millis now) const;

    void Started();
    void Finished(Millis now);
    void Saved(Millis now);
    bool Running() const { return running_; }
    // A new interval, taken at once: the next sync is due that long after the last one ended
    // (now, when that is already past), or at once when none has run yet.
    void ChangeInterval(Millis interval, Millis now);

private:
    Millis interval_;
    Millis next_{0};
    std::optional<Millis> lastFinished_;
    bool running_ = false;
    bool savedWhileRunning_ = false;
};

// What a finished `tessarinth-cli sync` said, as the planner shows it.
struct SyncReport {
    bool ok = false;
    // Why it stopped: the first line it gave, without the program's name.
    std::string reason;
    // What mends a stop, as `--print-remedy` names it ("check-address", ...); empty when the
    // sync finished or did not say.
    std::string remedy;
    // Where the losing versions of conflicts were kept, one line each.
    std::vector<std::string> conflicts;
};
SyncReport ReadSyncReport(int exitStatus, std::string_view output, std::string_view errors);

}  // namespace calendar_sync

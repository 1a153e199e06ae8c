#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "calendar/records.h"
#include "platform/files/data_home.h"
#include "platform/result.h"
#include "store/store_calendar.h"
#include "sync/sync_outcome.h"
#include "sync/sync_password.h"
#include "sync/sync_settings.h"

// A sync of a data home's store with the collections set up for it, as tessarinth-cli and the
// running planner start one: its password, its lock, the conflicts folder beside the store, and
// its handwriting carried as attachments.
namespace calendar_sync {

// Holds the data home's sync lock while it lives: two syncs of one store at once (a timer's and
// the user's) would each send what the other is sending.
class SyncLock {
public:
    explicit SyncLock(const platform::DataHome& home);
    ~SyncLock();
    SyncLock(const SyncLock&) = delete;
    SyncLock& operator=(const SyncLock&) = delete;
    bool Held() const { return held_; }
    // Why it is not held: the lock file could not be made, or another sync holds it.
    const std::string& Failure() const { return failure_; }

private:
    int descriptor_ = -1;
    bool held_ = false;
    std::string failure_;
};

// Where a sync keeps the losing versions of its conflicts, one file each.
std::filesystem::path ConflictFolder(const platform::DataHome& home);

// One collection a sync takes in turn: its label, its address, the kinds of item it holds for
// the store, and the store's calendar it is.
struct CalendarPlan {
    std::string label;
    std::string url;
    std::set<calendar::ItemKind> kinds;
    int64_t calendarId = 1;
};

// The collections a sync takes, in order: calendar 1 as the settings name it (its tasks in the
// events collection or in their own), then every other calendar of the store that has a
// collection on the server (not the subscribed feeds).
std::vector<CalendarPlan> PlanCalendars(const SyncSettings& settings,
                                        const std::vector<store::StoreCalendar>& calendars);

// Where the password of these settings is kept.
PasswordStore PasswordsOf(const platform::DataHome& home, const SyncSettings& settings);

// One collection's part of a sync: what it is called, where it is, and what happened.
struct CollectionSynced {
    std::string label;  // "appointments and tasks", "appointments" or "tasks"
    std::string url;
    SyncOutcome outcome;
};

// What stopped a sync. `inCollection`: a collection's sync stopped (what was done until then is
// kept, and error.remedy says what mends it); otherwise nothing was synced (no password, the
// lock held, the store cannot be opened).
struct SyncStop {
    platform::Error error;
    bool inCollection = false;
};

// Syncs the store with the collections of `settings` (tasks in the events collection or in
// their own), telling `synced` of each collection as it is done; nullopt when every collection
// was synced. `dataFolder` is the settings' DataPath, where the handwriting's files are.
std::optional<SyncStop> SyncDataHome(const platform::DataHome& home, const SyncSettings& settings,
                                     std::u16string_view dataFolder, bool allowMassDelete,
                                     const std::function<void(const CollectionSynced&)>& synced);

}  // namespace calendar_sync

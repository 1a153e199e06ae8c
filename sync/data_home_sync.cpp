#include "sync/data_home_sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <cstring>
#include <vector>

#include "caldav/caldav_collection.h"
#include "caldav/dav_client.h"
#include "schedule/ink_file_writer.h"
#include "store/schedule_store.h"
#include "sync/collection_sync.h"
#include "sync/conflict_archive.h"
#include "sync/data_folder_ink.h"

namespace calendar_sync {
namespace {

constexpr const char* kPasswordFileName = "sync-password";
constexpr const char* kConflictFolderName = "conflicts";
constexpr const char* kLockFileName = "sync.lock";

}  // namespace

std::filesystem::path ConflictFolder(const platform::DataHome& home) {
    return home.StorePath().parent_path() / kConflictFolderName;
}

SyncLock::SyncLock(const platform::DataHome& home) {
    const std::filesystem::path file = home.StorePath().parent_path() / kLockFileName;
    descriptor_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0) {
        failure_ =
            "cannot make the sync's lock file " + file.string() + ": " + std::strerror(errno);
        return;
    }
    held_ = ::flock(descriptor_, LOCK_EX | LOCK_NB) == 0;
    if (!held_) {
        failure_ = "another sync of this data home is running; nothing was done";
    }
}

SyncLock::~SyncLock() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::vector<CalendarPlan> PlanCalendars(const SyncSettings& settings,
                                        const std::vector<store::StoreCalendar>& calendars) {
    const std::set<calendar::ItemKind> both{calendar::ItemKind::Appointment,
                                            calendar::ItemKind::Task};
    // Calendar 1 is the collection the settings name, its tasks perhaps in a list of their own.
    std::vector<CalendarPlan> plans;
    if (settings.TasksCollection() == settings.eventsUrl) {
        plans.push_back({"appointments and tasks", settings.eventsUrl, both, 1});
    } else {
        plans.push_back({"appointments", settings.eventsUrl, {calendar::ItemKind::Appointment}, 1});
        plans.push_back({"tasks", settings.tasksUrl, {calendar::ItemKind::Task}, 1});
    }
    for (const store::StoreCalendar& other : calendars) {
        if (other.id == 1 || other.url.empty() || other.subscription) {
            continue;
        }
        std::set<calendar::ItemKind> kinds;
        if (other.Takes(static_cast<int32_t>(calendar::ItemKind::Appointment))) {
            kinds.insert(calendar::ItemKind::Appointment);
        }
        if (other.Takes(static_cast<int32_t>(calendar::ItemKind::Task))) {
            kinds.insert(calendar::ItemKind::Task);
        }
        plans.push_back({other.name, other.url, std::move(kinds), other.id});
    }
    return plans;
}

PasswordStore PasswordsOf(const platform::DataHome& home, const SyncSettings& settings) {
    return PasswordStore("sync " + settings.user + " " + settings.eventsUrl,
                         home.RegistryPath().parent_path() / kPasswordFileName);
}

std::optional<SyncStop> SyncDataHome(const platform::DataHome& home, const SyncSettings& settings,
                                     std::u16string_view dataFolder, bool allowMassDelete,
                                     const std::function<void(const CollectionSynced&)>& synced) {
    const auto stop = [](std::string message) {
        return SyncStop{platform::Error{std::move(message)}, false};
    };
    PasswordStore passwords = PasswordsOf(home, settings);
    auto password = passwords.Load(settings.passwordKeptIn == PasswordStore::kSecretServiceName
                                       ? PasswordStore::Place::SecretService
                                       : PasswordStore::Place::File);
    if (!password) {
        return stop(password.error().message);
    }
    if (auto folders = home.EnsureFolders(); !folders) {
        return stop(folders.error().message);
    }
    const SyncLock lock(home);
    if (!lock.Held()) {
        return stop(lock.Failure());
    }
    store::Application store;
    if (auto logOn = store.LogOn(home.StorePath()); !logOn) {
        return stop(logOn.error().message);
    }
    // Handwriting a killed import or sync numbered but never stored frees its numbers now.
    schedule::RemoveUnstoredInkFiles(home, store);
    caldav::DavClient client({QString::fromStdString(settings.user),
                              QString::fromStdString(*password),
                              std::chrono::seconds(settings.timeoutSeconds)});
    ConflictArchive archive(ConflictFolder(home));
    DataFolderInk ink(home, std::u16string(dataFolder), store);

    auto calendars = store.Calendars();
    if (!calendars) {
        return stop(calendars.error().message);
    }
    std::vector<CalendarPlan> plans = PlanCalendars(settings, *calendars);
    for (const CalendarPlan& plan : plans) {
        caldav::CalDavCollection collection(client, QUrl(QString::fromStdString(plan.url)));
        CollectionSync sync(store, collection, archive,
                            {plan.kinds, allowMassDelete, &ink, {}, plan.calendarId});
        auto outcome = sync.Run();
        if (!outcome) {
            return SyncStop{outcome.error(), true};
        }
        synced(CollectionSynced{plan.label, plan.url, std::move(outcome).value()});
    }
    return std::nullopt;
}

}  // namespace calendar_sync

#include "sync/account_setup.h"

#include <QString>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <utility>

#include "caldav/dav_client.h"
#include "store/schedule_store.h"
#include "sync/account_calendars.h"
#include "sync/data_home_sync.h"

namespace calendar_sync {

namespace {

constexpr const char* kNoWritableCalendar =
    "the account has no calendar for appointments that can be written";

}  // namespace

platform::Result<FoundAccount> FindAccount(SyncSettings& settings, const std::string& password) {
    caldav::DavClient client({QString::fromStdString(settings.user),
                              QString::fromStdString(password),
                              std::chrono::seconds(settings.timeoutSeconds)});
    auto discovered =
        caldav::FindCalendars(client, QUrl(QString::fromStdString(settings.serverUrl)));
    if (!discovered) {
        return discovered.error();
    }
    FoundAccount account;
    account.calendars = std::move(discovered).value();
    const auto [events, tasks] = ChooseSyncedCalendars(account.calendars);
    if (events == nullptr) {
        return account;
    }
    account.events = static_cast<size_t>(events - account.calendars.data());
    if (tasks != nullptr) {
        account.tasks = static_cast<size_t>(tasks - account.calendars.data());
    }
    settings.eventsUrl = events->url;
    settings.tasksUrl = tasks == nullptr || tasks == events ? std::string() : tasks->url;
    return account;
}

platform::Result<KeptAccount> KeepAccount(const platform::DataHome& home, SyncSettings& settings,
                                          const std::string& password, const FoundAccount* found) {
    if (found != nullptr && !found->events) {
        return platform::Error{kNoWritableCalendar};
    }
    auto before = LoadSyncSettings(home);
    if (auto folders = home.EnsureFolders(); !folders) {
        return folders.error();
    }
    PasswordStore passwords = PasswordsOf(home, settings);
    auto place = passwords.Save(password);
    if (!place) {
        return platform::Error{"cannot keep the password: " + place.error().message};
    }
    KeptAccount kept;
    kept.passwordPlace = *place;
    kept.passwordFile = passwords.File();
    settings.passwordKeptIn = *place == PasswordStore::Place::SecretService
                                  ? PasswordStore::kSecretServiceName
                                  : PasswordStore::kFileName;
    // Another server (or another account) knows nothing of what this one was told.
    const bool newServer =
        !before || !before->has_value() || (*before)->eventsUrl != settings.eventsUrl ||
        (*before)->tasksUrl != settings.tasksUrl || (*before)->user != settings.user;
    store::Application store;
    if (auto logOn = store.LogOn(home.StorePath()); !logOn) {
        return logOn.error();
    }
    if (newServer && before && before->has_value()) {
        if (auto reset = store.ResetSyncState(); !reset) {
            return reset.error();
        }
        kept.replacedServer = true;
    }
    std::vector<caldav::FoundCalendar> account;
    SyncedCalendars chosen;
    if (found != nullptr && !found->calendars.empty()) {
        account = found->calendars;
        chosen.events = &account[std::min(*found->events, account.size() - 1)];
        chosen.tasks =
            found->tasks && *found->tasks < account.size() ? &account[*found->tasks] : nullptr;
    } else {
        // A collection named by hand is calendar 1, under the name it has here.
        auto calendars = store.Calendars();
        if (!calendars) {
            return calendars.error();
        }
        caldav::FoundCalendar named;
        named.url = settings.eventsUrl;
        named.name = calendars->front().name;
        account.push_back(std::move(named));
        chosen = ChooseSyncedCalendars(account);
        if (chosen.events == nullptr) {
            chosen.events = &account.front();
        }
    }
    if (auto recorded = RecordAccountCalendars(store, account, chosen, newServer); !recorded) {
        return platform::Error{"cannot record the account's calendars: " +
                               recorded.error().message};
    }
    if (auto saved = SaveSyncSettings(home, settings); !saved) {
        return platform::Error{"cannot keep the sync settings: " + saved.error().message};
    }
    return kept;
}

bool IsSameAccount(const SyncSettings& kept, const std::string& serverUrl,
                   const std::string& user) {
    const std::string& address = kept.serverUrl.empty() ? kept.eventsUrl : kept.serverUrl;
    return !address.empty() && address == serverUrl && kept.user == user;
}

platform::Result<std::string> KeptPassword(const platform::DataHome& home,
                                           const SyncSettings& settings) {
    return PasswordsOf(home, settings)
        .Load(settings.passwordKeptIn == PasswordStore::kSecretServiceName
                  ? PasswordStore::Place::SecretService
                  : PasswordStore::Place::File);
}

}  // namespace calendar_sync

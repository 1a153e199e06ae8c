#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "caldav/account_discovery.h"
#include "platform/files/data_home.h"
#include "platform/result.h"
#include "sync/sync_password.h"
#include "sync/sync_settings.h"

// Setting up a data home's sync with an account, as `tessarinth-cli sync setup` and the
// planner's 同期 dialog both do it: the account's calendars found from the server's address (or
// one collection named by hand), the password kept, the calendars recorded in the store and the
// settings saved. Nothing is kept until the server has answered for the account.
namespace calendar_sync {

// What the server said of the account: its calendars, and which of them the sync takes for
// calendar 1's appointments and tasks (indices into `calendars`, as ChooseSyncedCalendars
// chooses them: no tasks index when the tasks go with appointments that take none).
struct FoundAccount {
    std::vector<caldav::FoundCalendar> calendars;
    // None: no calendar of the account takes appointments and can be written, and the account
    // cannot be set up.
    std::optional<size_t> events;
    std::optional<size_t> tasks;
};

// Finds the calendars of the account at `settings.serverUrl` within the settings' timeout per
// request, and sets the settings' events and tasks collections to those the sync takes. A
// refused password (Remedy::CheckAccount) and a server that cannot be reached or names no
// calendar (Remedy::CheckAddress) are errors.
platform::Result<FoundAccount> FindAccount(SyncSettings& settings, const std::string& password);

// What keeping a setup did, for its caller to tell.
struct KeptAccount {
    PasswordStore::Place passwordPlace = PasswordStore::Place::File;
    std::filesystem::path passwordFile;
    // Another server or account was set up before: the next sync puts every item on this one.
    bool replacedServer = false;
};

// Keeps the setup: the password (the secret service, else the 0600 file), the account's
// calendars in the store (a collection named by hand, with `found` empty, is calendar 1), and
// the settings in sync.json. `settings` names the collections already (FindAccount, or by
// hand; an account found without a calendar for appointments is refused before anything is
// kept) and comes back saying where the password went. Setting up another server or user
// clears what the store knew of the one before. Each error says what could not be kept.
platform::Result<KeptAccount> KeepAccount(const platform::DataHome& home, SyncSettings& settings,
                                          const std::string& password, const FoundAccount* found);

// Whether a setup at `serverUrl` for `user` is the account `kept` was set up with (at the same
// server address, or the same collection named by hand): it may use the password kept for it,
// where any other account needs one given anew.
bool IsSameAccount(const SyncSettings& kept, const std::string& serverUrl, const std::string& user);

// The password kept for these settings, where they say it was put.
platform::Result<std::string> KeptPassword(const platform::DataHome& home,
                                           const SyncSettings& settings);

}  // namespace calendar_sync

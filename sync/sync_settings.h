#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "caldav/account_discovery.h"
#include "platform/files/data_home.h"
#include "platform/result.h"

namespace calendar_sync {

// How long a silent server may be waited for, in seconds.
inline constexpr int kShortestSyncTimeout = 1;
inline constexpr int kLongestSyncTimeout = 3600;

// Where the sync meets the server, kept beside the settings as sync.json. The password is not
// in it: it is in the desktop's secret service, or in a file of its own (PasswordStore).
struct SyncSettings {
    // The server's address the calendars were found from; empty when they were named by hand.
    std::string serverUrl;
    std::string eventsUrl;
    std::string tasksUrl;  // empty: the tasks go to the events collection
    std::string user;
    int timeoutSeconds = 30;
    // Where the password was put: "secret-service" or "file".
    std::string passwordKeptIn;

    // The collection the tasks go to.
    const std::string& TasksCollection() const { return tasksUrl.empty() ? eventsUrl : tasksUrl; }
    friend bool operator==(const SyncSettings&, const SyncSettings&) = default;
};

// The settings file of the data home's configuration folder.
std::filesystem::path SyncSettingsPath(const platform::DataHome& home);

// nullopt when sync was never set up; an error when the file is there but cannot be read.
platform::Result<std::optional<SyncSettings>> LoadSyncSettings(const platform::DataHome& home);
platform::Result<void> SaveSyncSettings(const platform::DataHome& home,
                                        const SyncSettings& settings);

// Which of an account's calendars (as found at its server's address) the sync takes: the first
// that takes appointments and can be written, for them; for the tasks the first writable list
// that takes tasks alone, else that same calendar when it takes tasks too (nullptr: the tasks go
// with the appointments). Null events when no calendar for appointments can be written.
struct SyncedCalendars {
    const caldav::FoundCalendar* events = nullptr;
    const caldav::FoundCalendar* tasks = nullptr;
};
SyncedCalendars ChooseSyncedCalendars(const std::vector<caldav::FoundCalendar>& found);

// Whether a URL is one the sync can use (http or https, with a host, without a user name or
// password in it); the reason when not, which never repeats a password written in the URL.
std::optional<std::string> CheckCollectionUrl(const std::string& url);

// Whether a user name is one Basic authentication can carry, and that can never reach a header
// as more than itself: no ':' (it would end the name there), no control character (a CR or LF
// would end a header line); the reason when not.
std::optional<std::string> CheckUserName(const std::string& user);

// The URL as a message may show it: what is written before an '@' in its server part (a user
// name, a password) as "***", however the rest of it reads.
std::string WithoutCredentials(std::string_view url);

}  // namespace calendar_sync

#include "sync/feed_subscriptions.h"

#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "store/schedule_store.h"
#include "sync/account_calendars.h"
#include "sync/sync_settings.h"

namespace calendar_sync {
namespace {

using platform::Error;

int64_t NowOf(const FeedOptions& options) {
    return options.now ? options.now()
                       : std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
}

// The home's store, logged on to, and its calendars.
platform::Result<std::vector<store::StoreCalendar>> CalendarsOf(const platform::DataHome& home,
                                                                store::Application& store) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return folders.error();
    }
    if (auto logOn = store.LogOn(home.StorePath()); !logOn) {
        return logOn.error();
    }
    return store.Calendars();
}

}  // namespace

platform::Result<Subscribed> SubscribeFeed(const platform::DataHome& home,
                                           const std::string& address, const std::string& name,
                                           const FeedOptions& options) {
    store::Application store;
    auto calendars = CalendarsOf(home, store);
    if (!calendars) {
        return calendars.error();
    }
    for (const store::StoreCalendar& calendar : *calendars) {
        if (calendar.subscription && calendar.url == address) {
            return Error{"the feed is subscribed already, as \"" + calendar.name + "\""};
        }
        if (!name.empty() && calendar.name == name) {
            return Error{"there is a calendar named \"" + name + "\" already"};
        }
    }
    caldav::DavClient client(FeedAccount(options.timeout));
    auto copy = FetchFeed(client, address, store::FeedMark{});
    if (!copy) {
        return copy.error();
    }
    if (copy->unchanged) {
        return Error{"the feed's server answered 304 Not Modified to a first fetch"};
    }
    auto items = ReadFeed(copy->text);
    if (!items) {
        return items.error();
    }
    Subscribed subscribed;
    store::StoreCalendar& calendar = subscribed.calendar;
    calendar.name =
        name.empty() ? FreeCalendarName(*calendars, FeedName(copy->text, address), 0) : name;
    calendar.url = address;
    calendar.subscription = true;
    calendar.readOnly = true;
    calendar.holds = store::CalendarHolds::Both;
    if (auto saved = store.SaveCalendar(calendar); !saved) {
        return saved.error();
    }
    const store::FeedMark mark{copy->etag, copy->lastModified, NowOf(options), std::string()};
    auto replaced = store.ReplaceFeedItems(calendar.id, std::move(items->appointments),
                                           std::move(items->tasks), mark);
    if (!replaced) {
        // The calendar goes again, empty: a subscription is its feed's copy or nothing.
        (void)store.RemoveSubscription(calendar.id);
        return replaced.error();
    }
    FeedRefreshed& refreshed = subscribed.refreshed;
    refreshed.name = calendar.name;
    refreshed.url = calendar.url;
    refreshed.notes = std::move(items->notes);
    refreshed.replacement = std::move(replaced).value();
    refreshed.notes.insert(refreshed.notes.end(), refreshed.replacement.notes.begin(),
                           refreshed.replacement.notes.end());
    return subscribed;
}

platform::Result<store::StoreCalendar> UnsubscribeFeed(const platform::DataHome& home,
                                                       const std::string& name) {
    store::Application store;
    auto calendars = CalendarsOf(home, store);
    if (!calendars) {
        return calendars.error();
    }
    const auto named =
        std::find_if(calendars->begin(), calendars->end(),
                     [&](const store::StoreCalendar& calendar) { return calendar.name == name; });
    if (named == calendars->end()) {
        return Error{"no calendar is named \"" + name + "\""};
    }
    if (!named->subscription) {
        return Error{"the calendar \"" + name +
                     "\" is no subscribed feed: only a feed is given up with unsubscribe"};
    }
    if (auto removed = store.RemoveSubscription(named->id); !removed) {
        return removed.error();
    }
    return *named;
}

platform::Result<int> RefreshDataHomeFeeds(
    const platform::DataHome& home, const FeedOptions& options,
    const std::function<void(const FeedRefreshed&)>& refreshed) {
    if (::access(home.StorePath().c_str(), F_OK) != 0) {
        return 0;  // no store, no feeds: nothing is made for them
    }
    const SyncLock lock(home);
    if (!lock.Held()) {
        return Error{lock.Failure()};
    }
    store::Application store;
    if (auto logOn = store.LogOn(home.StorePath()); !logOn) {
        return logOn.error();
    }
    auto calendars = store.Calendars();
    if (!calendars) {
        return calendars.error();
    }
    int feeds = 0;
    for (const store::StoreCalendar& calendar : *calendars) {
        if (!calendar.subscription || calendar.url.empty()) {
            continue;
        }
        ++feeds;
        // Each feed has a client of its own: the time one takes is not another's.
        caldav::DavClient client(FeedAccount(options.timeout));
        refreshed(RefreshFeed(store, client, calendar, NowOf(options)));
    }
    return feeds;
}

bool HasSubscriptions(const platform::DataHome& home) {
    if (::access(home.StorePath().c_str(), R_OK) != 0) {
        return false;
    }
    store::Application store;
    if (!store.LogOn(home.StorePath())) {
        return false;
    }
    auto calendars = store.Calendars();
    return calendars && std::any_of(calendars->begin(), calendars->end(),
                                    [](const store::StoreCalendar& calendar) {
                                        return calendar.subscription && !calendar.url.empty();
                                    });
}

}  // namespace calendar_sync

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/files/data_home.h"
#include "platform/result.h"
#include "store/store_calendar.h"
#include "sync/data_home_sync.h"
#include "sync/feed_refresh.h"

// A data home's subscribed feeds: subscribing to one, giving one up, and refreshing them all at
// each sync, as tessarinth-cli and the running planner's syncs do.
namespace calendar_sync {

// How feeds are fetched: how long one fetch may take, and the clock of the fetch's record
// (seconds since 1970 UTC; the system's when not given).
struct FeedOptions {
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    std::function<int64_t()> now;
};

// A new subscription and the first copy stored of it.
struct Subscribed {
    store::StoreCalendar calendar;
    FeedRefreshed refreshed;
};

// Adds the feed at `address` (as FeedAddress gives it) as a read-only calendar of the store,
// named `name` (or, when empty, as FeedName finds one no other calendar has), after fetching it
// at once: a feed that cannot be fetched or read adds nothing and says why. One feed is
// subscribed once.
platform::Result<Subscribed> SubscribeFeed(const platform::DataHome& home,
                                           const std::string& address, const std::string& name,
                                           const FeedOptions& options);

// Removes the subscribed calendar `name` with all its items; a calendar that is not a
// subscription is refused with a message. Returns what it removed.
platform::Result<store::StoreCalendar> UnsubscribeFeed(const platform::DataHome& home,
                                                       const std::string& name);

// Refreshes every subscribed feed of the data home, under its sync lock, telling `refreshed` of
// each as it is done (a failure among them: that feed kept its last copy). Returns how many
// feeds there are, or what stopped them all (the lock held, the store cannot be opened).
platform::Result<int> RefreshDataHomeFeeds(
    const platform::DataHome& home, const FeedOptions& options,
    const std::function<void(const FeedRefreshed&)>& refreshed);

// Whether the data home's store has a subscribed feed (false when it has no store yet or it
// cannot be read): the planner syncs such a home even without a server set up.
bool HasSubscriptions(const platform::DataHome& home);

}  // namespace calendar_sync

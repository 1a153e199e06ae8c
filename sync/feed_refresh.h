#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "caldav/dav_client.h"
#include "platform/result.h"
#include "store/feed_mark.h"
#include "store/schedule_store.h"
#include "store/store_calendar.h"

// Subscribed feeds: a calendar published as one .ics file (a school's, a team's), read-only
// here, fetched again at each sync when it changed.
namespace calendar_sync {

// The address a feed is fetched from: http and https as given, webcal:// and webcals:// (how
// web pages link a feed for calendar programs) as https://. Anything else, or an address without
// a server, is refused with why.
platform::Result<std::string> FeedAddress(std::string_view given);

// A feed's answer to one fetch.
struct FeedCopy {
    // The server said the copy held here is still the feed (304): no text came.
    bool unchanged = false;
    QByteArray text;
    std::string etag;
    std::string lastModified;
};

// Fetches the feed with one GET, conditional on what `mark` remembers of the last copy
// (If-None-Match with its ETag, If-Modified-Since with its Last-Modified). The client bounds the
// answer's size (caldav::kMaxAnswerOctets, checked as it comes) and the time it takes; a feed
// that does not answer, answers anything but 200 or 304, or too much, is an error that says so.
platform::Result<FeedCopy> FetchFeed(caldav::DavClient& client, const std::string& url,
                                     const store::FeedMark& mark);

// The client a feed is fetched with: no credentials (the account's password never goes to a
// feed's server), redirects followed to any web address.
caldav::DavAccount FeedAccount(std::chrono::milliseconds timeout);

// What one feed's refresh did.
struct FeedRefreshed {
    std::string name;
    std::string url;
    bool unchanged = false;  // the feed had not changed since the last copy
    store::FeedReplacement replacement;
    // What of the feed could not be taken (items that cannot be read, UIDs held elsewhere).
    std::vector<std::string> notes;
    // Why the feed was not refreshed; its last copy stays as it was.
    std::optional<platform::Error> failure;
};

// Fetches the feed `feed` (a subscription of the store) and makes its items those of the copy
// that came, in one transaction; `nowSeconds` (UTC) is recorded as the time of the fetch. A
// failure keeps the last copy whole and is recorded in the feed's mark.
FeedRefreshed RefreshFeed(store::Application& store, caldav::DavClient& client,
                          const store::StoreCalendar& feed, int64_t nowSeconds);

// What the copy `text` of the feed at `url` makes of it for the store: its items, and notes on
// what could not be read. An error when the text is no calendar at all, or when none of its
// items can be read (a damaged copy is not taken for a feed that was emptied).
struct FeedItems {
    std::vector<calendar::AppointmentRecord> appointments;
    std::vector<calendar::TaskRecord> tasks;
    std::vector<std::string> notes;
};
platform::Result<FeedItems> ReadFeed(const QByteArray& text);

// The name a new subscription takes when the user gives none: the calendar's own name
// (X-WR-CALNAME, read from its head), else the file's name without ".ics", else the server's.
std::string FeedName(const QByteArray& text, const std::string& url);

}  // namespace calendar_sync

#pragma once

#include <QUrl>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace caldav {

using platform::Result;

// An item of the collection as a listing names it: its path and its version.
struct RemoteItem {
    std::string href;  // the path on the server, percent-encoded as the server gave it
    std::string etag;
};

// What changed in a collection since a sync token (the sync-collection report).
struct ChangeReport {
    // The server offers no sync-collection report: list the collection instead.
    bool unsupported = false;
    // The server cannot answer for the token (it forgot it, or fails on it): list the collection
    // instead, as a collection not synced before.
    bool tokenRejected = false;
    std::vector<RemoteItem> changed;   // added or changed
    std::vector<std::string> removed;  // hrefs
    std::string token;                 // for the next report
};

// One fetched item: its whole iCalendar text, or missing when it went away since it was listed.
struct FetchedItem {
    std::string href;
    std::string etag;
    std::string data;
    // When the server's copy last changed by the server's own clock (DAV:getlastmodified), in
    // seconds since 1970 UTC; empty when it does not say.
    std::optional<int64_t> lastModified;
    bool missing = false;
    // Too large to be read (its answer alone beyond what a sync reads): no data.
    bool tooLarge = false;
};

// How a write met the server: done (with the ETag the server gave, which may be empty), or
// refused because the item is not the version we last saw (If-Match / If-None-Match), or not
// there any more.
struct WriteResult {
    enum class Outcome { Done, PreconditionFailed, NotFound };
    Outcome outcome = Outcome::Done;
    std::string etag;
};

// One calendar collection as a sync sees it: its listing, its changes, fetching items in batches,
// and writes that never overwrite a version unseen. A server's CalDAV collection is one; a test
// stands in another.
class CalendarCollection {
public:
    virtual ~CalendarCollection() = default;

    // Every calendar item of the collection.
    virtual Result<std::vector<RemoteItem>> ListItems() = 0;
    // The changes since `token` (empty: everything there is, with a first token).
    virtual Result<ChangeReport> ChangesSince(const std::string& token) = 0;
    // The items, in the order the server answers.
    virtual Result<std::vector<FetchedItem>> Fetch(const std::vector<std::string>& hrefs) = 0;
    // When the server's copy of the item last changed by the server's own clock; empty when the
    // server does not say.
    virtual Result<std::optional<int64_t>> LastModified(const std::string& href) = 0;
    // Writes the item: a new one only where nothing is (`etag` empty), else only over the
    // version `etag` names.
    virtual Result<WriteResult> Put(const std::string& href, const std::string& icsText,
                                    const std::string& etag) = 0;
    // Deletes the item if it is still the version `etag` names.
    virtual Result<WriteResult> Delete(const std::string& href, const std::string& etag) = 0;

    // Learns the path the collection's items' hrefs start with.
    virtual Result<void> LearnOwnHref() = 0;
    // Where a new item with the UID is put.
    virtual std::string HrefForUid(const std::string& uid) const = 0;
    // The collection's own href in canonical form (CanonicalHref), ending in "/".
    virtual std::string Path() const = 0;
    virtual const QUrl& Url() const = 0;
};

}  // namespace caldav

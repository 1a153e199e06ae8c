#pragma once

#include <QUrl>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/caldav/dav_client.h"
#include "platform/caldav/multistatus.h"
#include "platform/result.h"

namespace caldav {

// An item of the collection as a listing names it: its path and its version.
struct RemoteItem {
    std::string href;  // the path on the server, percent-encoded as the server gave it
    std::string etag;
};

// What changed in a collection since a sync token (the sync-collection report).
struct ChangeReport {
    // The server offers no sync-collection report: list the collection instead.
    bool unsupported = false;
    // The server no longer knows the token: list the collection instead.
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
};

// How a write met the server: done (with the ETag the server gave, which may be empty), or
// refused because the item is not the version we last saw (If-Match / If-None-Match), or not
// there any more.
struct WriteResult {
    enum class Outcome { Done, PreconditionFailed, NotFound };
    Outcome outcome = Outcome::Done;
    std::string etag;
};

// An href as a path in one spelling, against `base` for a relative one: servers write the same
// path with and without percent-encoding ("a@b.ics", "a%40b.ics"), and whole URLs or relative
// ones. A "/" encoded within a segment stays encoded ("%2F"), and dot segments are kept.
std::string CanonicalHref(const QUrl& base, const std::string& href);

// A collection's URL as it is kept: one "/" between segments, no "." or ".." segments, a "/" at
// the end, no fragment ("http://h/alice//kd" gives "http://h/alice/kd/").
std::string CollectionUrl(const std::string& url);

// Whether a canonical href lies outside the collection at `collectionPath` (canonical, ending in
// "/"): elsewhere on the server, or below it only through "." or ".." segments.
bool LeavesItsCollection(const std::string& collectionPath, const std::string& canonicalHref);

// One CalDAV calendar collection: its listing, its changes, fetching items in
// batches, and writes that never overwrite a version unseen. A server error, a refused
// password or a malformed answer is an error that says which request met it.
class CalDavCollection {
public:
    CalDavCollection(DavClient& client, const QUrl& url);

    // Every calendar item of the collection, by a Depth 1 PROPFIND.
    Result<std::vector<RemoteItem>> ListItems();
    // The changes since `token` (empty: everything there is, with a first token).
    Result<ChangeReport> ChangesSince(const std::string& token);
    // The items, by calendar-multiget, in the order the server answers.
    Result<std::vector<FetchedItem>> Fetch(const std::vector<std::string>& hrefs);
    // When the server's copy of the item last changed by the server's own clock
    // (DAV:getlastmodified, asked of the item itself, as some servers leave it out of a
    // multiget); empty when the server does not say.
    Result<std::optional<int64_t>> LastModified(const std::string& href);
    // Writes the item: a new one only where nothing is (`etag` empty: If-None-Match: *), else
    // only over the version `etag` names (If-Match).
    Result<WriteResult> Put(const std::string& href, const std::string& icsText,
                            const std::string& etag);
    // Deletes the item if it is still the version `etag` names.
    Result<WriteResult> Delete(const std::string& href, const std::string& etag);

    // Asks the server for the collection's own href (PROPFIND, depth 0): the path its items'
    // hrefs start with, which differs from the URL's behind a proxy or for a URL spelled another
    // way. Until asked, the URL's path stands for it.
    Result<void> LearnOwnHref();
    // Where a new item with the UID is put: the collection's own href and a file name made of
    // the UID's safe characters.
    std::string HrefForUid(const std::string& uid) const;
    // The collection's own href in canonical form, ending in "/"; every href of its items starts
    // with it.
    std::string Path() const;
    // An href the server gave, as a path spelled as the server spelled it (a server may answer
    // with whole URLs): requests name an item so. Compare hrefs with CanonicalHref.
    std::string NormalizeHref(const std::string& href) const;
    const QUrl& Url() const { return url_; }

private:
    Result<DavResponse> Expect(const QByteArray& method, const QUrl& url, const DavHeaders& headers,
                               const QByteArray& body, std::initializer_list<int> statuses);
    // The answer's multistatus, or an error naming the request.
    Result<Multistatus> ReadMultistatus(const char* method, const DavResponse& response) const;
    // A request of the collection itself (depth 1, an XML body) that must answer with a
    // multistatus, read.
    Result<Multistatus> AskForMultistatus(const QByteArray& method, const QByteArray& body);
    QUrl ItemUrl(const std::string& href) const;
    // The collection's own href as the server spells it, ending in "/".
    std::string OwnHref() const;

    DavClient& client_;
    QUrl url_;
    std::string ownHref_;  // empty until learnt
};

}  // namespace caldav

#pragma once

#include <QUrl>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "caldav/calendar_collection.h"
#include "caldav/dav_client.h"
#include "caldav/multistatus.h"
#include "platform/result.h"

namespace caldav {

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
class CalDavCollection : public CalendarCollection {
public:
    CalDavCollection(DavClient& client, const QUrl& url);

    // Every calendar item of the collection, by a Depth 1 PROPFIND.
    Result<std::vector<RemoteItem>> ListItems() override;
    // The changes since `token` (empty: everything there is, with a first token).
    Result<ChangeReport> ChangesSince(const std::string& token) override;
    // The items, by calendar-multiget, in the order the server answers.
    Result<std::vector<FetchedItem>> Fetch(const std::vector<std::string>& hrefs) override;
    // When the server's copy of the item last changed by the server's own clock
    // (DAV:getlastmodified, asked of the item itself, as some servers leave it out of a
    // multiget); empty when the server does not say.
    Result<std::optional<int64_t>> LastModified(const std::string& href) override;
    // Writes the item: a new one only where nothing is (`etag` empty: If-None-Match: *), else
    // only over the version `etag` names (If-Match).
    Result<WriteResult> Put(const std::string& href, const std::string& icsText,
                            const std::string& etag) override;
    // Deletes the item if it is still the version `etag` names.
    Result<WriteResult> Delete(const std::string& href, const std::string& etag) override;

    // Asks the server for the collection's own href (PROPFIND, depth 0): the path its items'
    // hrefs start with, which differs from the URL's behind a proxy or for a URL spelled another
    // way. Until asked, the URL's path stands for it.
    Result<void> LearnOwnHref() override;
    // Where a new item with the UID is put: the collection's own href and a file name made of
    // the UID's safe characters.
    std::string HrefForUid(const std::string& uid) const override;
    // The collection's own href in canonical form, ending in "/"; every href of its items starts
    // with it.
    std::string Path() const override;
    // An href the server gave, as a path spelled as the server spelled it (a server may answer
    // with whole URLs): requests name an item so. Compare hrefs with CanonicalHref.
    std::string NormalizeHref(const std::string& href) const;
    const QUrl& Url() const override { return url_; }

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

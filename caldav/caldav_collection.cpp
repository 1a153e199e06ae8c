#include "caldav/caldav_collection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "caldav/multistatus.h"

namespace caldav {
namespace {

using platform::Error;

constexpr int kOk = 200;
constexpr int kCreated = 201;
constexpr int kNoContent = 204;
constexpr int kMultiStatus = 207;
constexpr int kUnauthorized = 401;
constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
constexpr int kPreconditionFailed = 412;

const QByteArray kXmlType = "application/xml; charset=utf-8";
const QByteArray kCalendarType = "text/calendar; charset=utf-8";

constexpr const char* kListBody =
    R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:resourcetype/><d:getetag/></d:prop></d:propfind>)";

constexpr const char* kSyncBodyBefore =
    R"(<?xml version="1.0" encoding="utf-8"?>
<d:sync-collection xmlns:d="DAV:"><d:sync-token>)";
constexpr const char* kSyncBodyAfter =
    R"(</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>)";

constexpr const char* kMultigetBefore =
    R"(<?xml version="1.0" encoding="utf-8"?>
<c:calendar-multiget xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><d:getetag/><d:getlastmodified/><c:calendar-data/></d:prop>)";
constexpr const char* kMultigetAfter = "</c:calendar-multiget>";

bool IsCalendarItem(const std::string& href) {
    return !href.empty() && href.back() != '/';
}

QByteArray XmlEscaped(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped().toUtf8();
}

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT", the form servers send) in seconds since 1970
// UTC; nothing for another form.
std::optional<int64_t> HttpDateSeconds(const std::string& text) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int day = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    char month[4] = {};
    if (std::sscanf(text.c_str(), "%*3s, %2d %3s %4d %2d:%2d:%2d GMT", &day, month, &year, &hour,
                    &minute, &second) != 6) {
        return std::nullopt;
    }
    const auto found = std::find(kMonths.begin(), kMonths.end(), std::string_view(month));
    if (found == kMonths.end()) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{
        std::chrono::year{year},
        std::chrono::month{static_cast<unsigned>(found - kMonths.begin() + 1)},
        std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    return int64_t{std::chrono::sys_days{date}.time_since_epoch().count()} * 86400 + hour * 3600 +
           minute * 60 + second;
}

// What can be done about a refusal: the account or the address is to be mended first.
platform::Remedy RemedyFor(int status) {
    if (status == kUnauthorized) {
        return platform::Remedy::CheckAccount;
    }
    if (status == kNotFound) {
        return platform::Remedy::CheckAddress;
    }
    return platform::Remedy::TryAgain;
}

std::string RefusalText(int status) {
    if (status == kUnauthorized) {
        return " (the server refused the user name or password)";
    }
    if (status == kForbidden) {
        return " (the server does not allow it)";
    }
    if (status == kNotFound) {
        return " (no such collection: check the URL)";
    }
    return {};
}

// Characters a path segment keeps as they are; everything else is percent-encoded, a "/" that
// was encoded within a segment among them.
constexpr const char* kSegmentCharacters = "-._~!$&'()*+,;=:@";

// The href's path as the server wrote it, still encoded: a whole URL gives its path, an absolute
// path is itself, a relative one is taken below the collection. Dot segments are left as they
// are, never resolved: an href must not lead out of its collection by them.
// Where "scheme://" ends the scheme of a whole URL at the start of `text`; npos for a path.
size_t SchemeEnd(const std::string& text) {
    const size_t end = text.find("://");
    if (end == std::string::npos || end == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return std::string::npos;
    }
    for (size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return std::string::npos;
        }
    }
    return end;
}

QString EncodedPath(const QUrl& base, const std::string& href) {
    // Read from the text itself: QUrl would respell the escapes.
    std::string path = href.substr(0, href.find_first_of("?#"));
    if (const size_t scheme = SchemeEnd(path); scheme != std::string::npos) {
        const size_t start = path.find('/', scheme + 3);
        path = start == std::string::npos ? "/" : path.substr(start);
    } else if (path.starts_with("//")) {
        const size_t start = path.find('/', 2);
        path = start == std::string::npos ? "/" : path.substr(start);
    } else if (!path.starts_with('/')) {
        const QString directory = base.path(QUrl::FullyEncoded);
        return directory.left(directory.lastIndexOf(u'/') + 1) + QString::fromStdString(path);
    }
    // A path that begins with "//" would be read as a server's name next time: one "/" it is.
    const size_t first = path.find_first_not_of('/');
    return QString::fromStdString(first == std::string::npos ? "/" : "/" + path.substr(first));
}

// A path's parts between its slashes ("/a/b/" gives "", "a", "b", "").
std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        segments.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) {
            return segments;
        }
        start = slash + 1;
    }
}

}  // namespace

std::string CollectionUrl(const std::string& url) {
    QUrl parsed(QString::fromStdString(url), QUrl::TolerantMode);
    QString path = parsed.path(QUrl::FullyEncoded);
    while (path.contains(QStringLiteral("//"))) {
        path.replace(QStringLiteral("//"), QStringLiteral("/"));
    }
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    parsed.setPath(path, QUrl::TolerantMode);
    parsed.setFragment(QString());
    return parsed.adjusted(QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded).toStdString();
}

std::string CanonicalHref(const QUrl& base, const std::string& href) {
    // Segment by segment, so that an encoded "/" stays a character of its segment.
    const QStringList segments = EncodedPath(base, href).split(u'/');
    QStringList canonical;
    for (const QString& segment : segments) {
        const QByteArray decoded = QByteArray::fromPercentEncoding(segment.toUtf8());
        canonical << QString::fromLatin1(
            QUrl::toPercentEncoding(QString::fromUtf8(decoded), kSegmentCharacters));
    }
    return canonical.join(u'/').toStdString();
}

bool LeavesItsCollection(const std::string& collectionPath, const std::string& canonicalHref) {
    if (!canonicalHref.starts_with(collectionPath)) {
        return true;
    }
    const QString rest = QString::fromStdString(canonicalHref.substr(collectionPath.size()));
    for (const QString& segment : rest.split(u'/')) {
        if (segment == u"." || segment == u"..") {
            return true;
        }
    }
    return false;
}

CalDavCollection::CalDavCollection(DavClient& client, const QUrl& url)
    : client_(client), url_(url) {
    if (!url_.path().endsWith(u'/')) {
        url_.setPath(url_.path() + u'/');
    }
}

std::string CalDavCollection::Path() const {
    return CanonicalHref(url_, OwnHref());
}

std::string CalDavCollection::OwnHref() const {
    return ownHref_.empty() ? url_.path(QUrl::FullyEncoded).toStdString() : ownHref_;
}

Result<void> CalDavCollection::LearnOwnHref() {
    auto response = Expect("PROPFIND", url_, {{"Depth", "0"}, {"Content-Type", kXmlType}},
                           kListBody, {kMultiStatus});
    if (!response) {
        return response.error();
    }
    auto parsed = ReadMultistatus("PROPFIND", *response);
    if (!parsed) {
        return parsed.error();
    }
    for (const MultistatusEntry& entry : parsed->responses) {
        if (entry.status == kOk && entry.isCollection) {
            std::string href = EncodedPath(url_, entry.href).toStdString();
            if (!href.ends_with('/')) {
                href += '/';
            }
            ownHref_ = href;
            return {};
        }
    }
    // Some servers answer for a path that is not there with a multistatus of one 404.
    const bool notThere =
        !parsed->responses.empty() &&
        std::all_of(parsed->responses.begin(), parsed->responses.end(),
                    [](const MultistatusEntry& entry) { return entry.status == kNotFound; });
    if (notThere) {
        return Error{"PROPFIND " + url_.toDisplayString().toStdString() +
                         ": no such collection: check the URL",
                     platform::Remedy::CheckAddress};
    }
    return Error{"PROPFIND " + url_.toDisplayString().toStdString() +
                 ": the server did not describe the collection itself"};
}

std::string CalDavCollection::NormalizeHref(const std::string& href) const {
    return EncodedPath(url_, href).toStdString();
}

std::string CalDavCollection::HrefForUid(const std::string& uid) const {
    std::string name;
    for (const char c : uid) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '@';
        name += safe ? c : '_';
    }
    return OwnHref() + name + ".ics";
}

Result<Multistatus> CalDavCollection::ReadMultistatus(const char* method,
                                                      const DavResponse& response) const {
    auto parsed = ParseMultistatus(response.body);
    if (!parsed) {
        return Error{std::string(method) + " " + url_.toDisplayString().toStdString() + ": " +
                     parsed.error().message};
    }
    return parsed;
}

Result<Multistatus> CalDavCollection::AskForMultistatus(const QByteArray& method,
                                                        const QByteArray& body) {
    auto response =
        Expect(method, url_, {{"Depth", "1"}, {"Content-Type", kXmlType}}, body, {kMultiStatus});
    if (!response) {
        return response.error();
    }
    return ReadMultistatus(method.constData(), *response);
}

QUrl CalDavCollection::ItemUrl(const std::string& href) const {
    // The server names an item by its own path; behind a proxy that path differs from the URL's,
    // so the item's name below the collection is put after the URL's path. Never resolved: that
    // could take dot segments away.
    std::string path = href;
    const std::string own = OwnHref();
    const std::string reached = url_.path(QUrl::FullyEncoded).toStdString();
    if (own != reached) {
        const std::vector<std::string> ownSegments = Segments(own);
        const std::vector<std::string> segments = Segments(href);
        if (CanonicalHref(url_, href).starts_with(Path()) &&
            segments.size() >= ownSegments.size()) {
            path = reached;
            for (size_t i = ownSegments.size() - 1; i < segments.size(); ++i) {
                path += (i + 1 == ownSegments.size() ? "" : "/") + segments[i];
            }
        }
    }
    QUrl url = url_;
    url.setPath(QString::fromStdString(path), QUrl::TolerantMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

Result<DavResponse> CalDavCollection::Expect(const QByteArray& method, const QUrl& url,
                                             const DavHeaders& headers, const QByteArray& body,
                                             std::initializer_list<int> statuses) {
    auto response = client_.Send(method, url, headers, body);
    if (!response) {
        return response;
    }
    if (response->tooLarge) {
        return Error{method.toStdString() + " " + url.toDisplayString().toStdString() + ": " +
                         TooLargeText(),
                     platform::Remedy::CheckAddress};
    }
    if (std::find(statuses.begin(), statuses.end(), response->status) == statuses.end()) {
        return Error{method.toStdString() + " " + url.toDisplayString().toStdString() + ": " +
                         DescribeStatus(*response) + RefusalText(response->status),
                     RemedyFor(response->status)};
    }
    return response;
}

Result<std::vector<RemoteItem>> CalDavCollection::ListItems() {
    auto parsed = AskForMultistatus("PROPFIND", kListBody);
    if (!parsed) {
        return parsed.error();
    }
    std::vector<RemoteItem> items;
    const std::string own = Path();
    for (const MultistatusEntry& entry : parsed->responses) {
        const std::string href = NormalizeHref(entry.href);
        if (entry.status != kOk || entry.isCollection || CanonicalHref(url_, href) == own ||
            !IsCalendarItem(href)) {
            continue;
        }
        items.push_back({href, entry.etag});
    }
    return items;
}

Result<ChangeReport> CalDavCollection::ChangesSince(const std::string& token) {
    const QByteArray body = kSyncBodyBefore + XmlEscaped(token) + kSyncBodyAfter;
    auto response =
        client_.Send("REPORT", url_, {{"Depth", "0"}, {"Content-Type", kXmlType}}, body);
    if (!response) {
        return response.error();
    }
    const std::string where = "REPORT " + url_.toDisplayString().toStdString() + ": ";
    if (response->tooLarge) {
        return Error{where + TooLargeText(), platform::Remedy::CheckAddress};
    }
    const int status = response->status;
    if (status == kUnauthorized || status == kNotFound) {
        // The account or the address is wrong: no listing would do better.
        return Error{where + DescribeStatus(*response) + RefusalText(status), RemedyFor(status)};
    }
    // Whatever else is no list of changes since the token says that the server cannot answer for
    // it: it forgot the token (the valid-sync-token refusal), or it fails on one it never gave
    // (an error, as for a token of a collection made anew). The collection is listed instead, as
    // one not synced before; without a token, the server keeps none and is listed every time.
    ChangeReport cannotAnswer;
    if (token.empty()) {
        cannotAnswer.unsupported = true;
    } else {
        cannotAnswer.tokenRejected = true;
    }
    if (status != kMultiStatus || response->body.isEmpty()) {
        return cannotAnswer;
    }
    auto parsed = ParseMultistatus(response->body);
    if (!parsed || parsed->syncToken.empty()) {
        return cannotAnswer;
    }
    ChangeReport report;
    report.token = parsed->syncToken;
    for (const MultistatusEntry& entry : parsed->responses) {
        const std::string href = NormalizeHref(entry.href);
        if (!IsCalendarItem(href) || CanonicalHref(url_, href) == Path()) {
            continue;
        }
        if (entry.status == kNotFound) {
            report.removed.push_back(href);
        } else if (entry.status == kOk && !entry.isCollection) {
            report.changed.push_back({href, entry.etag});
        }
    }
    return report;
}

Result<std::vector<FetchedItem>> CalDavCollection::Fetch(const std::vector<std::string>& hrefs) {
    QByteArray body = kMultigetBefore;
    for (const std::string& href : hrefs) {
        body += "<d:href>" + XmlEscaped(href) + "</d:href>";
    }
    body += kMultigetAfter;
    auto response =
        client_.Send("REPORT", url_, {{"Depth", "1"}, {"Content-Type", kXmlType}}, body);
    if (!response) {
        return response.error();
    }
    if (response->tooLarge) {
        // Items that are large together are fetched in smaller batches; one that is too large
        // alone is named and left alone.
        if (hrefs.size() == 1) {
            FetchedItem item;
            item.href = NormalizeHref(hrefs.front());
            item.tooLarge = true;
            return std::vector<FetchedItem>{std::move(item)};
        }
        const auto half = hrefs.begin() + static_cast<std::ptrdiff_t>(hrefs.size() / 2);
        auto first = Fetch(std::vector<std::string>(hrefs.begin(), half));
        if (!first) {
            return first;
        }
        auto second = Fetch(std::vector<std::string>(half, hrefs.end()));
        if (!second) {
            return second;
        }
        first->insert(first->end(), std::make_move_iterator(second->begin()),
                      std::make_move_iterator(second->end()));
        return first;
    }
    if (response->status != kMultiStatus) {
        return Error{"REPORT " + url_.toDisplayString().toStdString() + ": " +
                         DescribeStatus(*response) + RefusalText(response->status),
                     RemedyFor(response->status)};
    }
    auto parsed = ReadMultistatus("REPORT", *response);
    if (!parsed) {
        return parsed.error();
    }
    std::vector<FetchedItem> items;
    for (const MultistatusEntry& entry : parsed->responses) {
        FetchedItem item;
        item.href = NormalizeHref(entry.href);
        item.etag = entry.etag;
        item.data = entry.calendarData;
        item.lastModified = HttpDateSeconds(entry.lastModified);
        item.missing = entry.status == kNotFound;
        if (!item.missing && (entry.status != kOk || item.data.empty())) {
            return Error{"REPORT " + url_.toDisplayString().toStdString() +
                         ": the server gave no calendar data for " + item.href};
        }
        items.push_back(std::move(item));
    }
    return items;
}

Result<std::optional<int64_t>> CalDavCollection::LastModified(const std::string& href) {
    constexpr const char* kBody =
        R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:getlastmodified/></d:prop></d:propfind>)";
    auto response = Expect("PROPFIND", ItemUrl(href), {{"Depth", "0"}, {"Content-Type", kXmlType}},
                           kBody, {kMultiStatus, kNotFound});
    if (!response) {
        return response.error();
    }
    if (response->status == kNotFound) {
        return std::optional<int64_t>();
    }
    auto parsed = ReadMultistatus("PROPFIND", *response);
    if (!parsed) {
        return parsed.error();
    }
    for (const MultistatusEntry& entry : parsed->responses) {
        if (entry.status == kOk) {
            return HttpDateSeconds(entry.lastModified);
        }
    }
    return std::optional<int64_t>();
}

Result<WriteResult> CalDavCollection::Put(const std::string& href, const std::string& icsText,
                                          const std::string& etag) {
    DavHeaders headers{{"Content-Type", kCalendarType}};
    if (etag.empty()) {
        headers.push_back({"If-None-Match", "*"});
    } else {
        headers.push_back({"If-Match", QByteArray::fromStdString(etag)});
    }
    auto response = Expect("PUT", ItemUrl(href), headers, QByteArray::fromStdString(icsText),
                           {kOk, kCreated, kNoContent, kPreconditionFailed, kNotFound});
    if (!response) {
        return response.error();
    }
    WriteResult result;
    if (response->status == kPreconditionFailed) {
        result.outcome = WriteResult::Outcome::PreconditionFailed;
    } else if (response->status == kNotFound) {
        result.outcome = WriteResult::Outcome::NotFound;
    }
    result.etag = response->etag.toStdString();
    return result;
}

Result<WriteResult> CalDavCollection::Delete(const std::string& href, const std::string& etag) {
    DavHeaders headers;
    if (!etag.empty()) {
        headers.push_back({"If-Match", QByteArray::fromStdString(etag)});
    }
    auto response = Expect("DELETE", ItemUrl(href), headers, {},
                           {kOk, kNoContent, kPreconditionFailed, kNotFound});
    if (!response) {
        return response.error();
    }
    WriteResult result;
    if (response->status == kPreconditionFailed) {
        result.outcome = WriteResult::Outcome::PreconditionFailed;
    } else if (response->status == kNotFound) {
        result.outcome = WriteResult::Outcome::NotFound;
    }
    return result;
}

}  // namespace caldav

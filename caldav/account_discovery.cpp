#include "caldav/account_discovery.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "caldav/caldav_collection.h"
#include "caldav/multistatus.h"

namespace caldav {
namespace {

using platform::Error;

constexpr int kMultiStatus = 207;
constexpr int kUnauthorized = 401;

const QByteArray kXmlType = "application/xml; charset=utf-8";

// One question for every step: a principal, a home and a calendar answer what they know of it.
constexpr const char* kDescribeBody =
    R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav" xmlns:a="http://apple.com/ns/ical/"><d:prop>)"
    R"(<d:resourcetype/><d:current-user-principal/><c:calendar-home-set/><d:displayname/>)"
    R"(<c:supported-calendar-component-set/><a:calendar-color/><d:current-user-privilege-set/>)"
    R"(</d:prop></d:propfind>)";

std::string Where(const QUrl& url) {
    return url.toDisplayString(QUrl::RemoveUserInfo).toStdString();
}

// A PROPFIND of the URL: its multistatus, or nothing when the server has no such thing there
// (any status but 207). A refused password, an unreachable server and an unreadable answer
// are errors.
Result<std::optional<Multistatus>> Describe(DavClient& client, const QUrl& url,
                                            const QByteArray& depth) {
    auto response =
        client.Send("PROPFIND", url, {{"Depth", depth}, {"Content-Type", kXmlType}}, kDescribeBody);
    if (!response) {
        return response.error();
    }
    if (response->tooLarge) {
        return Error{"PROPFIND " + Where(url) + ": " + TooLargeText(),
                     platform::Remedy::CheckAddress};
    }
    if (response->status == kUnauthorized) {
        return Error{"PROPFIND " + Where(url) + ": " + DescribeStatus(*response) +
                         " (the server refused the user name or password)",
                     platform::Remedy::CheckAccount};
    }
    if (response->status != kMultiStatus) {
        return std::optional<Multistatus>();
    }
    auto parsed = ParseMultistatus(response->body);
    if (!parsed) {
        return Error{"PROPFIND " + Where(url) + ": " + parsed.error().message};
    }
    return std::optional<Multistatus>(std::move(*parsed));
}

// The href's path on the server asked: a server never sends the sync to another one.
QUrl OnServer(const QUrl& asked, const std::string& href) {
    QUrl url = asked.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
    url.setPath(QString::fromStdString(CanonicalHref(asked, href)), QUrl::TolerantMode);
    return url;
}

std::string CanonicalDirectory(const QUrl& base, const std::string& href) {
    std::string path = CanonicalHref(base, href);
    if (!path.ends_with('/')) {
        path += '/';
    }
    return path;
}

// The response that describes the URL asked itself; null when there is none.
const MultistatusEntry* SelfOf(const Multistatus& answer, const QUrl& asked) {
    const std::string own = CanonicalDirectory(asked, asked.path(QUrl::FullyEncoded).toStdString());
    for (const MultistatusEntry& entry : answer.responses) {
        if (CanonicalDirectory(asked, entry.href) == own) {
            return &entry;
        }
    }
    // A server may answer with the path it redirected to: a lone response is the one.
    return answer.responses.size() == 1 ? &answer.responses.front() : nullptr;
}

// "#RRGGBB" from what servers keep ("#RRGGBB", "#RRGGBBAA", any case); empty for anything else.
std::string ColorOf(const std::string& text) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#' ||
        !std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(c) != 0; })) {
        return {};
    }
    std::string color = text.substr(0, 7);
    std::transform(color.begin(), color.end(), color.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    return color;
}

FoundCalendar CalendarOf(const QUrl& asked, const MultistatusEntry& entry) {
    FoundCalendar calendar;
    calendar.url = CollectionUrl(OnServer(asked, entry.href)
                                     .toString(QUrl::FullyEncoded | QUrl::RemoveUserInfo)
                                     .toStdString());
    calendar.name = entry.displayName;
    if (calendar.name.empty()) {
        const QString path = QUrl(QString::fromStdString(calendar.url)).path();
        calendar.name = path.section(u'/', -2, -2).toStdString();
    }
    if (!entry.components.empty()) {
        const auto has = [&entry](const char* name) {
            return std::find(entry.components.begin(), entry.components.end(), name) !=
                   entry.components.end();
        };
        calendar.events = has("VEVENT");
        calendar.tasks = has("VTODO");
    }
    calendar.color = ColorOf(entry.color);
    calendar.readOnly = entry.privilegesGiven && !entry.canWrite;
    return calendar;
}

// The calendars in a home: its members that are calendars, the home itself left out.
Result<std::vector<FoundCalendar>> CalendarsIn(DavClient& client, const QUrl& home) {
    auto answer = Describe(client, home, "1");
    if (!answer) {
        return answer.error();
    }
    std::vector<FoundCalendar> calendars;
    if (!*answer) {
        return calendars;
    }
    const std::string own = CanonicalDirectory(home, home.path(QUrl::FullyEncoded).toStdString());
    for (const MultistatusEntry& entry : (*answer)->responses) {
        if (entry.isCalendar && entry.status == 200 &&
            CanonicalDirectory(home, entry.href) != own) {
            calendars.push_back(CalendarOf(home, entry));
        }
    }
    std::sort(calendars.begin(), calendars.end(),
              [](const FoundCalendar& a, const FoundCalendar& b) { return a.url < b.url; });
    return calendars;
}

// Where the account's calendar home is, asked from one starting place: the home it names, or
// the one its principal names; nothing when the place knows of neither. A place that is itself
// a calendar is given back as that calendar.
struct StartAnswer {
    std::optional<QUrl> home;
    std::optional<FoundCalendar> calendar;
};

Result<StartAnswer> AskStart(DavClient& client, const QUrl& start) {
    auto answer = Describe(client, start, "0");
    if (!answer) {
        return answer.error();
    }
    StartAnswer found;
    const MultistatusEntry* self = *answer ? SelfOf(**answer, start) : nullptr;
    if (self == nullptr) {
        return found;
    }
    if (self->isCalendar) {
        found.calendar = CalendarOf(start, *self);
        return found;
    }
    if (!self->calendarHomeHref.empty()) {
        found.home = OnServer(start, self->calendarHomeHref);
        return found;
    }
    if (self->principalHref.empty()) {
        return found;
    }
    const QUrl principal = OnServer(start, self->principalHref);
    auto described = Describe(client, principal, "0");
    if (!described) {
        return described.error();
    }
    const MultistatusEntry* own = *described ? SelfOf(**described, principal) : nullptr;
    if (own != nullptr && !own->calendarHomeHref.empty()) {
        found.home = OnServer(principal, own->calendarHomeHref);
    }
    return found;
}

}  // namespace

Result<std::vector<FoundCalendar>> FindCalendars(DavClient& client, const QUrl& server) {
    std::vector<QUrl> starts;
    const QUrl origin = server.adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                        QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    if (server.path().size() > 1) {
        starts.push_back(server.adjusted(QUrl::RemoveUserInfo));
    }
    QUrl wellKnown = origin;
    wellKnown.setPath(QStringLiteral("/.well-known/caldav"));
    starts.push_back(wellKnown);
    QUrl root = origin;
    root.setPath(QStringLiteral("/"));
    starts.push_back(root);

    for (const QUrl& start : starts) {
        auto answer = AskStart(client, start);
        if (!answer) {
            return answer.error();
        }
        if (answer->calendar) {
            return std::vector<FoundCalendar>{*answer->calendar};
        }
        if (!answer->home) {
            continue;
        }
        auto calendars = CalendarsIn(client, *answer->home);
        if (!calendars) {
            return calendars.error();
        }
        if (calendars->empty()) {
            return Error{"the account's calendar home " + Where(*answer->home) +
                             " holds no calendar: make one in the server's own pages first",
                         platform::Remedy::CheckAddress};
        }
        return calendars;
    }
    // An address of a home that names neither principal nor home (some servers): its members.
    if (server.path().size() > 1) {
        auto calendars = CalendarsIn(client, starts.front());
        if (!calendars) {
            return calendars.error();
        }
        if (!calendars->empty()) {
            return calendars;
        }
    }
    return Error{"no calendars were found at " + Where(server) +
                     ": give the address of a CalDAV server (or of one calendar)",
                 platform::Remedy::CheckAddress};
}

}  // namespace caldav

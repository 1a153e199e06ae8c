#pragma once

#include <QUrl>
#include <string>
#include <vector>

#include "caldav/dav_client.h"
#include "platform/result.h"

namespace caldav {

// A calendar collection of an account, as its server describes it.
struct FoundCalendar {
    std::string url;   // the collection, as CollectionUrl keeps it
    std::string name;  // its display name, else the last segment of its path
    // Which items it takes (supported-calendar-component-set); both when the server does not say.
    bool events = true;
    bool tasks = true;
    std::string color;      // "#RRGGBB", empty when the server keeps none
    bool readOnly = false;  // the server says the user may not change its items

    friend bool operator==(const FoundCalendar&, const FoundCalendar&) = default;
};

// Finds the calendars of the account at a server's address, as a calendar program is expected
// to (RFC 6764 and CalDAV): the address itself, then /.well-known/caldav, then the server's root
// is asked for the user's principal; the principal for its calendar home; the home for the
// collections in it, with their names, components, colours and privileges. An address that
// already names a principal, a home or a calendar is taken for what it is. Everything is asked
// of the server at the address: an href that points elsewhere is read as a path on it. A
// refused password, a server that is not there and a server that names no calendar are errors
// that say so.
Result<std::vector<FoundCalendar>> FindCalendars(DavClient& client, const QUrl& server);

}  // namespace caldav

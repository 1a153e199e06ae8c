#pragma once

#include <QByteArray>
#include <string>
#include <vector>

#include "platform/result.h"

namespace caldav {

// One <response> of a WebDAV multistatus answer, with the properties its successful propstat
// gave.
struct MultistatusEntry {
    std::string href;  // as the server wrote it
    // The response's own status (sync-collection reports a removed item as 404), else that of
    // the propstat that carried the properties; 0 when the server gave none.
    int status = 0;
    std::string etag;
    std::string calendarData;
    // DAV:getlastmodified as the server wrote it (an HTTP date); empty when it gave none.
    std::string lastModified;
    bool isCollection = false;
    // What finding an account's calendars asks for (empty or false where not asked or given):
    std::string principalHref;     // DAV:current-user-principal
    std::string calendarHomeHref;  // CalDAV's calendar-home-set
    bool isCalendar = false;       // resourcetype holds CalDAV's calendar
    std::string displayName;
    // supported-calendar-component-set's names (VEVENT, VTODO); none when it was not given.
    std::vector<std::string> components;
    std::string color;  // the colour a server keeps for the calendar, as written
    // current-user-privilege-set was given, and whether it allows changing the items.
    bool privilegesGiven = false;
    bool canWrite = false;
};

struct Multistatus {
    std::vector<MultistatusEntry> responses;
    std::string syncToken;  // the token for the next sync-collection report
};

// Reads a 207 answer (a WebDAV multistatus, with CalDAV's calendar-data and the
// sync-collection report's sync-token). An answer that is not well-formed XML, or not a
// multistatus, is an error naming the line.
platform::Result<Multistatus> ParseMultistatus(const QByteArray& xml);

}  // namespace caldav

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

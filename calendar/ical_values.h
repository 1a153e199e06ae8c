#pragma once

#include <libical/ical.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_lines.h"
#include "platform/result.h"

// The values of content lines as libical reads them, and the owners of what libical hands out.
namespace calendar::ical {

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

struct ZoneDeleter {
    void operator()(icaltimezone* zone) const { icaltimezone_free(zone, 1); }
};
using ZonePtr = std::unique_ptr<icaltimezone, ZoneDeleter>;

// A string libical made for the caller, copied and freed.
std::string TakeBuffer(char* buffer);

// A content line as libical reads it, held in a VCALENDAR of its own (lists such as EXDATE
// give one property per value). libical records what it cannot read as X-LIC-ERROR
// properties; each of those fails the import, except a name libical does not know, which
// iCalendar allows and which is kept word for word.
struct LineValues {
    ComponentPtr holder;  // null for an empty value
    bool unknownName = false;

    icalproperty* first() const;
    std::vector<icalproperty*> all() const;
};

platform::Result<LineValues> ReadWithLibical(const ContentLine& line);

// Content lines (unfolded, without their line ends) read by libical as one component; null
// when they do not make exactly one. Each line is handed over whole, so the cost grows with the
// length of the text and no more.
ComponentPtr ParseLinesWithLibical(const std::vector<std::string_view>& lines);

// Every line of the component and its sub-components reads; the first that does not is the
// error.
platform::Result<void> ValidateComponent(const Component& component);

// The text of a TEXT value (unescaped), or the value as written.
std::string TextOf(const LineValues& values);

}  // namespace calendar::ical

#include "calendar/ical_values.h"

#include <algorithm>
#include <string_view>

namespace calendar::ical {
namespace {

using platform::Result;

struct BufferDeleter {
    void operator()(char* buffer) const { icalmemory_free_buffer(buffer); }
};

struct ParserDeleter {
    void operator()(icalparser* parser) const { icalparser_free(parser); }
};

// libical's error state for malformed data, set to go on (as libical's own readers set it)
// while this lives.
class MalformedDataIsNotFatal {
public:
    MalformedDataIsNotFatal() : before_(icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR)) {
        icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
    }
    ~MalformedDataIsNotFatal() { icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, before_); }
    MalformedDataIsNotFatal(const MalformedDataIsNotFatal&) = delete;
    MalformedDataIsNotFatal& operator=(const MalformedDataIsNotFatal&) = delete;

private:
    icalerrorstate before_;
};

// A line as libical's own reader passes it on: without the spaces and tabs that end it.
std::string WithoutTrailingBlanks(std::string_view line) {
    const size_t end = line.find_last_not_of(" \t");
    return std::string(line.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

// Properties whose value the import works with and which therefore must have one.
bool IsReadValueName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DUE" || name == "COMPLETED" ||
           name == "EXDATE" || name == "RDATE" || name == "DURATION" || name == "RRULE";
}

bool IsDateName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DUE" || name == "COMPLETED" ||
           name == "EXDATE" || name == "RDATE" || name == "RECURRENCE-ID" || name == "DTSTAMP" ||
           name == "CREATED" || name == "LAST-MODIFIED";
}

std::string DescribeFailure(const ContentLine& line, icalparameter_xlicerrortype type) {
    if (line.name == "X-LIC-ERROR") {
        return "the file records an error of the program that wrote it (X-LIC-ERROR)";
    }
    if (type == ICAL_XLICERRORTYPE_PARAMETERNAMEPARSEERROR ||
        type == ICAL_XLICERRORTYPE_PARAMETERVALUEPARSEERROR) {
        return "a parameter of " + line.name + " cannot be read";
    }
    if (line.value().empty()) {
        return line.name + " has no value";
    }
    if (IsDateName(line.name)) {
        return line.name + " has no valid date";
    }
    if (line.name == "RRULE" || line.name == "EXRULE") {
        return line.name + " is not a valid recurrence rule";
    }
    if (line.name == "DURATION") {
        return "DURATION is not a valid duration";
    }
    return "the value of " + line.name + " cannot be read";
}

// Whether every date of a date-valued line is written as iCalendar writes dates (20261207 or
// 20261207T090000, with Z for UTC). libical reads "2026122X" as 2 December; such a line must
// fail the import instead of landing on a day nobody wrote.
bool HasWellFormedDates(std::string_view value) {
    auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(',', start);
        if (end == std::string_view::npos) {
            end = value.size();
        }
        std::string_view date = value.substr(start, end - start);
        date = date.substr(0, date.find('/'));  // a period is judged by its start
        const bool dateOnly = date.size() == 8 && digits(date);
        const bool dateTime = (date.size() == 15 || (date.size() == 16 && date.back() == 'Z')) &&
                              digits(date.substr(0, 8)) && date[8] == 'T' &&
                              digits(date.substr(9, 6));
        if (!dateOnly && !dateTime) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string TakeBuffer(char* buffer) {
    const std::unique_ptr<char, BufferDeleter> owned(buffer);
    return owned ? std::string(owned.get()) : std::string();
}

icalproperty* LineValues::first() const {
    return holder ? icalcomponent_get_first_property(holder.get(), ICAL_ANY_PROPERTY) : nullptr;
}

std::vector<icalproperty*> LineValues::all() const {
    std::vector<icalproperty*> out;
    if (holder) {
        for (icalproperty* p = icalcomponent_get_first_property(holder.get(), ICAL_ANY_PROPERTY);
             p != nullptr; p = icalcomponent_get_next_property(holder.get(), ICAL_ANY_PROPERTY)) {
            out.push_back(p);
        }
    }
    return out;
}

Result<LineValues> ReadWithLibical(const ContentLine& line) {
    LineValues values;
    if (line.value().empty() && !IsReadValueName(line.name)) {
        return values;  // an empty text is allowed, libical calls it an error
    }
    if (IsDateName(line.name) && !HasWellFormedDates(Trim(line.value()))) {
        return LineError(line.line, line.name + " has no valid date");
    }
    ComponentPtr holder = ParseLinesWithLibical({"BEGIN:VCALENDAR", line.text, "END:VCALENDAR"});
    if (!holder || icalcomponent_get_first_component(holder.get(), ICAL_ANY_COMPONENT)) {
        return LineError(line.line, "the line cannot be read");
    }
    for (icalproperty* p = icalcomponent_get_first_property(holder.get(), ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(holder.get(), ICAL_XLICERROR_PROPERTY)) {
        icalparameter* typeParameter =
            icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
        const icalparameter_xlicerrortype type =
            typeParameter ? icalparameter_get_xlicerrortype(typeParameter)
                          : ICAL_XLICERRORTYPE_NONE;
        if (type == ICAL_XLICERRORTYPE_PROPERTYPARSEERROR && line.name != "X-LIC-ERROR") {
            values.unknownName = true;
            continue;
        }
        return LineError(line.line, DescribeFailure(line, type));
    }
    values.holder = std::move(holder);
    return values;
}

// libical's string reader (icalparser_parse_string) looks for the end of the line in the whole
// rest of the text for every 80 bytes it takes, which makes a long line cost quadratic time: the
// lines, which the file reader has already unfolded, go to the parser one by one instead.
ComponentPtr ParseLinesWithLibical(const std::vector<std::string_view>& lines) {
    const MalformedDataIsNotFatal goOn;
    const std::unique_ptr<icalparser, ParserDeleter> parser(icalparser_new());
    if (!parser) {
        return nullptr;
    }
    ComponentPtr read;
    for (const std::string_view line : lines) {
        std::string text = WithoutTrailingBlanks(line);
        ComponentPtr closed(icalparser_add_line(parser.get(), text.data()));
        if (closed && read) {
            return nullptr;  // more than one component
        }
        if (closed) {
            read = std::move(closed);
        }
    }
    return read;
}

Result<void> ValidateComponent(const Component& component) {
    for (const ContentLine& line : component.properties) {
        Result<LineValues> values = ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
    }
    for (const Component& child : component.children) {
        Result<void> checked = ValidateComponent(child);
        if (!checked.ok()) {
            return checked;
        }
    }
    return {};
}

std::string TextOf(const LineValues& values) {
    icalproperty* p = values.first();
    if (p == nullptr) {
        return {};
    }
    const icalvalue* value = icalproperty_get_value(p);
    const char* text = nullptr;
    if (value != nullptr && icalvalue_isa(value) == ICAL_TEXT_VALUE) {
        text = icalvalue_get_text(value);
    } else {
        text = icalproperty_get_value_as_string(p);
    }
    return text ? std::string(text) : std::string();
}

}  // namespace calendar::ical

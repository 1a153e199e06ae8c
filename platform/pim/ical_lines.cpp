#include "platform/pim/ical_lines.h"

#include <algorithm>

#include "platform/text/unicode_text.h"

namespace pim::ical {
namespace {

using platform::IsValidUtf8;
using platform::Result;

// Components inside components deeper than this are not what calendars hold.
constexpr size_t kMaxNesting = 8;
// iCalendar folds content lines longer than this many octets.
constexpr size_t kFoldOctets = 75;

bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

}  // namespace

platform::Error LineError(int line, std::string_view what) {
    return platform::MakeError("line " + std::to_string(line) + ": " + std::string(what));
}

std::string LineNote(int line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Property and parameter names: letters, digits and '-'.
bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// TEXT as iCalendar writes it. Line breaks become \n; other control characters, which
// iCalendar does not allow in a value, become spaces.
std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case ';':
                out += "\\;";
                break;
            case ',':
                out += "\\,";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                break;
            default:
                out.push_back(IsControl(static_cast<unsigned char>(c)) ? ' ' : c);
        }
    }
    return out;
}

// A comma-separated TEXT list such as CATEGORIES, split and unescaped. libical runs escaped
// and separating commas of such lists together, so the list is read here.
std::vector<std::string> SplitTextList(std::string_view value) {
    std::vector<std::string> items;
    std::string current;
    auto finish = [&]() {
        const std::string_view trimmed = Trim(current);
        if (!trimmed.empty()) {
            items.emplace_back(trimmed);
        }
        current.clear();
    };
    for (size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '\\' && at + 1 < value.size()) {
            const char next = value[++at];
            current.push_back(next == 'n' || next == 'N' ? '\n' : next);
        } else if (c == ',') {
            finish();
        } else {
            current.push_back(c);
        }
    }
    finish();
    return items;
}

// One content line folded at 75 octets, never inside a UTF-8 sequence, with its CRLF.
std::string Fold(std::string_view line) {
    std::string out;
    size_t limit = kFoldOctets;
    size_t at = 0;
    while (line.size() - at > limit) {
        size_t cut = at + limit;
        while (cut > at && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        if (cut == at) {
            cut = at + limit;
        }
        out.append(line.substr(at, cut - at));
        out += "\r\n ";
        at = cut;
        limit = kFoldOctets - 1;  // the leading space counts
    }
    out.append(line.substr(at));
    out.append(kCrlf);
    return out;
}

std::string Join(const std::vector<std::string>& lines, std::string_view separator) {
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) {
            out.append(separator);
        }
        out.append(line);
    }
    return out;
}

const std::string* ContentLine::FindParameter(std::string_view parameterName) const {
    for (const Parameter& p : parameters) {
        if (p.name == parameterName) {
            return &p.value;
        }
    }
    return nullptr;
}

Result<ContentLine> SplitContentLine(int line, std::string text) {
    ContentLine out;
    out.line = line;
    if (text.find(':') == std::string::npos) {
        return LineError(line, "content line has no ':'");
    }
    size_t at = 0;
    while (at < text.size() && IsNameChar(text[at])) {
        ++at;
    }
    if (at == 0) {
        return LineError(line, "content line has no property name");
    }
    out.name = Upper(std::string_view(text).substr(0, at));
    if (at < text.size() && text[at] != ';' && text[at] != ':') {
        return LineError(line, "property name " + out.name + " is followed by '" +
                                   std::string(1, text[at]) + "'");
    }
    while (at < text.size() && text[at] == ';') {
        const size_t nameStart = ++at;
        while (at < text.size() && IsNameChar(text[at])) {
            ++at;
        }
        if (at == nameStart) {
            return LineError(line, "a parameter of " + out.name + " has no name");
        }
        Parameter parameter{Upper(std::string_view(text).substr(nameStart, at - nameStart)), {}};
        if (at >= text.size() || text[at] != '=') {
            return LineError(line,
                             "parameter " + parameter.name + " of " + out.name + " has no '='");
        }
        ++at;
        for (;;) {
            if (at < text.size() && text[at] == '"') {
                const size_t close = text.find('"', at + 1);
                if (close == std::string::npos) {
                    return LineError(line, "parameter " + parameter.name + " of " + out.name +
                                               " has no closing quote");
                }
                parameter.value.append(text, at + 1, close - at - 1);
                at = close + 1;
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != ';' && text[at] != ':') {
                    parameter.value.push_back(text[at++]);
                }
            }
            if (at < text.size() && text[at] == ',') {
                parameter.value.push_back(',');
                ++at;
                continue;
            }
            break;
        }
        out.parameters.push_back(std::move(parameter));
    }
    if (at >= text.size() || text[at] != ':') {
        return LineError(line, "content line " + out.name + " has no ':'");
    }
    out.valueStart = at + 1;
    out.text = std::move(text);
    return out;
}

// Physical lines to content lines: line ends CRLF or LF, continuation lines (starting with a
// space or tab) joined to the line before, blank lines passed over.
Result<std::vector<ContentLine>> ReadContentLines(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::pair<int, std::string>> logical;
    int lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        std::string_view physical = text.substr(
            at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
        at = newline == std::string_view::npos ? text.size() : newline + 1;
        ++lineNumber;
        if (!physical.empty() && physical.back() == '\r') {
            physical.remove_suffix(1);
        }
        for (char c : physical) {
            if (IsControl(static_cast<unsigned char>(c))) {
                return LineError(lineNumber, "the line holds a control character");
            }
        }
        if (physical.empty()) {
            continue;
        }
        if (physical.front() == ' ' || physical.front() == '\t') {
            if (logical.empty()) {
                return LineError(lineNumber, "continuation line with no line before it");
            }
            logical.back().second.append(physical.substr(1));
            continue;
        }
        logical.emplace_back(lineNumber, std::string(physical));
    }
    if (logical.empty() || Upper(Trim(logical.front().second)) != "BEGIN:VCALENDAR") {
        return LineError(logical.empty() ? 1 : logical.front().first,
                         "not an iCalendar file: it must begin with BEGIN:VCALENDAR");
    }
    std::vector<ContentLine> lines;
    lines.reserve(logical.size());
    for (auto& [number, lineText] : logical) {
        // Checked after unfolding: some programs fold inside a multi-byte character.
        if (!IsValidUtf8(lineText)) {
            return LineError(number, "the line is not UTF-8 text");
        }
        Result<ContentLine> line = SplitContentLine(number, std::move(lineText));
        if (!line.ok()) {
            return line.error();
        }
        lines.push_back(std::move(line).value());
    }
    return lines;
}

bool Component::Has(std::string_view propertyName) const {
    return std::any_of(
        properties.begin(), properties.end(),
        [propertyName](const ContentLine& line) { return line.name == propertyName; });
}

Result<std::vector<Component>> BuildComponents(std::vector<ContentLine> lines) {
    std::vector<Component> open;
    std::vector<Component> calendars;
    for (ContentLine& line : lines) {
        if (line.name == "BEGIN" || line.name == "END") {
            const std::string_view value = line.value();
            if (value.empty() || !std::all_of(value.begin(), value.end(), IsNameChar)) {
                return LineError(line.line, line.name + " has no valid component name");
            }
        }
        if (line.name == "BEGIN") {
            Component component;
            component.name = Upper(line.value());
            component.beginLine = line.line;
            if (open.empty() && component.name != "VCALENDAR") {
                return LineError(line.line, "not an iCalendar file: BEGIN:" + component.name +
                                                " where BEGIN:VCALENDAR belongs");
            }
            if (open.size() >= kMaxNesting) {
                return LineError(line.line, "components are nested too deeply");
            }
            component.beginText = std::move(line.text);
            open.push_back(std::move(component));
        } else if (line.name == "END") {
            const std::string name = Upper(line.value());
            if (open.empty()) {
                return LineError(line.line, "END:" + name + " without a BEGIN");
            }
            if (open.back().name != name) {
                return LineError(line.line,
                                 "END:" + name + " does not close BEGIN:" + open.back().name +
                                     " of line " + std::to_string(open.back().beginLine));
            }
            Component done = std::move(open.back());
            open.pop_back();
            done.endText = std::move(line.text);
            if (open.empty()) {
                calendars.push_back(std::move(done));
            } else {
                open.back().children.push_back(std::move(done));
            }
        } else if (open.empty()) {
            return LineError(line.line, calendars.empty()
                                            ? "not an iCalendar file: it must begin with "
                                              "BEGIN:VCALENDAR"
                                            : line.name + " after END:VCALENDAR");
        } else {
            open.back().properties.push_back(std::move(line));
        }
    }
    if (!open.empty()) {
        return LineError(open.back().beginLine, "BEGIN:" + open.back().name + " is never closed");
    }
    if (calendars.empty()) {
        return LineError(1, "not an iCalendar file: it holds no BEGIN:VCALENDAR");
    }
    return calendars;
}

// A component word for word, properties before sub-components.
void AppendVerbatim(const Component& component, std::vector<std::string>& out) {
    out.push_back(component.beginText);
    for (const ContentLine& line : component.properties) {
        out.push_back(line.text);
    }
    for (const Component& child : component.children) {
        AppendVerbatim(child, out);
    }
    out.push_back(component.endText);
}

std::string TextLine(std::string_view name, std::string_view text) {
    return Fold(std::string(name) + ":" + EscapeText(text));
}

bool IsEventTimeName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DURATION" || name == "RRULE" ||
           name == "EXDATE" || name == "RDATE" || name == "RECURRENCE-ID";
}

std::string NameOfLine(std::string_view line) {
    const size_t end = line.find_first_of(";:");
    return Upper(line.substr(0, end));
}

std::string_view ValueOfLine(std::string_view line) {
    const size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

}  // namespace pim::ical

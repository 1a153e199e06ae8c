#include "calendar/ical_lines.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <memory>
#include <optional>

#include "platform/text/unicode_text.h"

namespace calendar::ical {
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

// Whether a physical line may start a content line: a name, then ';' or ':', or a name alone (a
// long name that its own folding goes on with).
bool StartsAsContentLine(std::string_view physical) {
    const size_t nameEnd = static_cast<size_t>(
        std::find_if_not(physical.begin(), physical.end(), IsNameChar) - physical.begin());
    return nameEnd > 0 &&
           (nameEnd == physical.size() || physical[nameEnd] == ':' || physical[nameEnd] == ';');
}

// Whether a fold that lost its space may continue this line: a text people write (a memo, a
// place), where long lines are folded; never a time, a rule or the BEGIN of a component.
bool MayContinue(const LogicalLine& line) {
    if (!line.problem.empty() || line.tooLong || !StartsAsContentLine(line.text)) {
        return false;
    }
    const std::string name = NameOfLine(line.text);
    return name == "SUMMARY" || name == "DESCRIPTION" || name == "LOCATION" || name == "COMMENT" ||
           name == "CONTACT" || name == "RESOURCES" || name == "CATEGORIES" ||
           name.starts_with("X-");
}

}  // namespace

platform::Error LineError(int line, std::string_view what) {
    return platform::MakeError("line " + std::to_string(line) + ": " + std::string(what));
}

std::string LineNote(int line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

Problem ProblemOf(const platform::Error& error, int fallbackLine) {
    constexpr std::string_view kPrefix = "line ";
    const std::string& message = error.message;
    const size_t colon = message.find(": ");
    int line = 0;
    if (message.starts_with(kPrefix) && colon != std::string::npos) {
        std::from_chars(message.data() + kPrefix.size(), message.data() + colon, line);
    }
    if (line <= 0) {
        return {fallbackLine, message, 0};
    }
    return {line, message.substr(colon + 2), 0};
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
        const bool named = at > nameStart && at < text.size() && text[at] == '=';
        if (!named && !out.parameters.empty() && out.parameters.back().name.starts_with("X-")) {
            // Some programs leave a ';' unquoted in the value of a parameter of their own (a
            // structured location's address): it is read as part of that value.
            Parameter& previous = out.parameters.back();
            previous.value.push_back(';');
            at = nameStart;
            while (at < text.size() && text[at] != ';' && text[at] != ':') {
                previous.value.push_back(text[at++]);
            }
            continue;
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

// Physical lines to content lines; see the header.
Result<std::vector<ContentLine>> ReadContentLines(std::string_view text) {
    LineUnfolder unfolder;
    int lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        const std::string_view physical = text.substr(
            at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
        at = newline == std::string_view::npos ? text.size() : newline + 1;
        unfolder.Add(++lineNumber, physical);
    }
    unfolder.Finish();
    if (Result<void> begins = unfolder.BeginsAsCalendar(); !begins.ok()) {
        return begins.error();
    }
    std::vector<ContentLine> lines;
    while (std::optional<ContentLine> line = unfolder.Next()) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

LineUnfolder::LineUnfolder() = default;
LineUnfolder::~LineUnfolder() = default;

void LineUnfolder::Add(int number, std::string_view physical, bool cutShort) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (number == 1 && physical.starts_with(kByteOrderMark)) {
        physical.remove_prefix(kByteOrderMark.size());
    }
    if (!physical.empty() && physical.back() == '\r' && !cutShort) {
        physical.remove_suffix(1);
    }
    if (physical.empty()) {
        return;
    }
    const bool hasControl = std::any_of(physical.begin(), physical.end(), [](char c) {
        return IsControl(static_cast<unsigned char>(c));
    });
    if (physical.front() == ' ' || physical.front() == '\t') {
        if (!current_) {
            Start({number, {}, "continuation line with no line before it", {}});
            return;
        }
        current_->Append(physical.substr(1));
    } else if (!StartsAsContentLine(physical) && current_ && MayContinue(*current_)) {
        LogicalLine& continued = *current_;
        if (continued.mended.empty()) {
            continued.mended = "line " + std::to_string(number) +
                               " is read as its continuation, folded without the space "
                               "folding needs";
        }
        continued.Append(physical);
    } else {
        Start({number, {}, {}, {}});
        current_->Append(physical);
    }
    if (cutShort) {
        current_->CutShort();
    }
    if (hasControl && current_->problem.empty() && !current_->tooLong) {
        current_->problem = "the line holds a control character";
    }
}

void LineUnfolder::Finish() {
    if (current_) {
        Complete(std::move(*current_));
        current_.reset();
    }
    finished_ = true;
}

Result<void> LineUnfolder::BeginsAsCalendar() const {
    if (!firstLine_ && !finished_) {
        return {};  // not known yet
    }
    if (!firstLine_ || !firstLineBegins_) {
        return LineError(firstLine_.value_or(1),
                         "not an iCalendar file: it must begin with BEGIN:VCALENDAR");
    }
    return {};
}

std::optional<ContentLine> LineUnfolder::Next() {
    if (ready_.empty()) {
        return std::nullopt;
    }
    ContentLine line = std::move(ready_.front());
    ready_.pop_front();
    return line;
}

void LineUnfolder::Start(LogicalLine line) {
    if (current_) {
        Complete(std::move(*current_));
    }
    current_ = std::move(line);
}

// A content line whose unfolding is done: checked as UTF-8, split into its parts.
void LineUnfolder::Complete(LogicalLine entry) {
    if (!firstLine_ && entry.problem.empty()) {
        firstLine_ = entry.number;
        firstLineBegins_ = NameOfLine(entry.text) == "BEGIN";
    }
    if (entry.problem.empty() && !IsValidUtf8(entry.text)) {
        // Checked after unfolding: some programs fold inside a multi-byte character. What
        // is not UTF-8 (a Latin-1 "é", say) costs its bytes, not the text around them.
        entry.text = platform::Utf16ToUtf8Lossy(platform::Utf8ToUtf16Lossy(entry.text));
        entry.mended += std::string(entry.mended.empty() ? "" : "; ") +
                        "bytes that are not UTF-8 text are read as U+FFFD";
    }
    if (entry.problem.empty()) {
        Result<ContentLine> line = SplitContentLine(entry.number, std::move(entry.text));
        if (line.ok()) {
            line->mended = std::move(entry.mended);
            ready_.push_back(std::move(line).value());
            return;
        }
        // The message without its "line N: ", which the problem carries apart.
        const std::string& message = line.error().message;
        entry.problem = message.substr(message.find(": ") + 2);
    }
    ContentLine broken;
    broken.line = entry.number;
    broken.problem = std::move(entry.problem);
    ready_.push_back(std::move(broken));
}

bool Component::Has(std::string_view propertyName) const {
    return std::any_of(
        properties.begin(), properties.end(),
        [propertyName](const ContentLine& line) { return line.name == propertyName; });
}

const Problem* FirstProblem(const Component& component) {
    if (!component.problems.empty()) {
        return &component.problems.front();
    }
    if (!component.brokenLines.empty()) {
        return &component.brokenLines.front();
    }
    for (const Component& child : component.children) {
        if (const Problem* problem = FirstProblem(child)) {
            return problem;
        }
    }
    return nullptr;
}

namespace {

bool IsCalendarComponent(std::string_view name) {
    return name == "VCALENDAR" || name == "VEVENT" || name == "VTODO" || name == "VJOURNAL" ||
           name == "VFREEBUSY" || name == "VTIMEZONE" || name == "VAVAILABILITY";
}

}  // namespace

// Builds the tree one line at a time, mending what it can: see CalendarFile. Streaming, it hands
// out each component of a calendar as it closes (ComponentStream) instead of keeping it.
class ComponentBuilder {
public:
    explicit ComponentBuilder(bool streaming = false) : streaming_(streaming) {}

    void Add(ContentLine line) {
        if (!line.problem.empty()) {
            if (!open_.empty() && ignoredDepth_ == 0) {
                if (!Holds(line)) {
                    return;
                }
                open_.back().component.brokenLines.push_back(
                    {line.line, std::move(line.problem), line.line});
                return;
            }
            // Outside every component, what is wrong with a line matters less than where it is.
            AddProblem({line.line, "text after END:VCALENDAR", line.line});
            return;
        }
        const bool isBegin = line.name == "BEGIN";
        if (isBegin || line.name == "END") {
            const std::string_view value = line.value();
            if (value.empty() || !std::all_of(value.begin(), value.end(), IsNameChar)) {
                AddProblem({line.line, line.name + " has no valid component name", line.line});
                return;
            }
        }
        if (ignoredDepth_ > 0) {
            // Inside components nested too deeply: only their BEGINs and ENDs are counted.
            ignoredDepth_ += isBegin ? 1 : line.name == "END" ? -1 : 0;
            return;
        }
        if (isBegin) {
            Begin(std::move(line));
        } else if (line.name == "END") {
            End(std::move(line));
        } else if (open_.empty()) {
            AddProblem({line.line, line.name + " after END:VCALENDAR", line.line});
        } else if (Holds(line)) {
            open_.back().component.properties.push_back(std::move(line));
        }
    }

    // The innermost component left open is the one the file broke off in; the ones around it
    // are closed with it.
    CalendarFile Finish() {
        if (!open_.empty() && !open_.back().implicit) {
            Component& unclosed = open_.back().component;
            unclosed.problems.push_back(
                {unclosed.beginLine, "BEGIN:" + unclosed.name + " is never closed", 0});
        }
        while (!open_.empty()) {
            Close();
        }
        HandOutStrayRun();
        return std::move(file_);
    }

    // Streaming: the next piece handed out, in the order of the file.
    std::optional<ComponentStream::Piece> NextPiece() {
        if (ready_.empty()) {
            return std::nullopt;
        }
        ComponentStream::Piece piece = std::move(ready_.front());
        ready_.pop_front();
        return piece;
    }

private:
    struct Open {
        Component component;
        bool implicit = false;   // a VCALENDAR the file never wrote, around bare components
        size_t bytes = 0;        // held by it (by an item of a calendar, its sub-components')
        bool overgrown = false;  // past kMaxComponentOctets
    };

    void Begin(ContentLine line) {
        strayRun_ = false;
        HandOutStrayRun();
        Component component;
        component.name = Upper(line.value());
        component.beginLine = line.line;
        component.beginText = std::move(line.text);
        const bool isCalendar = component.name == "VCALENDAR";
        if (isCalendar && open_.size() == 1 && open_.back().implicit) {
            Close();  // bare components before a calendar of their own
        }
        // A calendar's components never nest in an item (nor calendars in anything): an item
        // still open here lost its END, and reading goes on with the new component.
        const size_t keep = isCalendar ? 0 : 1;
        if (IsCalendarComponent(component.name)) {
            while (open_.size() > keep) {
                Component& unclosed = open_.back().component;
                if (open_.back().implicit) {
                    Close();
                    continue;
                }
                unclosed.problems.push_back({component.beginLine,
                                             "BEGIN:" + unclosed.name + " of line " +
                                                 std::to_string(unclosed.beginLine) +
                                                 " is not closed before BEGIN:" + component.name,
                                             0});
                Close();
            }
        }
        if (open_.empty()) {
            ++calendars_;
        }
        if (open_.empty() && !isCalendar) {
            Component calendar;
            calendar.name = "VCALENDAR";
            calendar.beginLine = component.beginLine;
            calendar.beginText = "BEGIN:VCALENDAR";
            open_.push_back({std::move(calendar), true});
        }
        if (open_.size() >= kMaxNesting) {
            open_.back().component.problems.push_back(
                {component.beginLine, "components are nested too deeply", 0});
            ignoredDepth_ = 1;
            return;
        }
        open_.push_back({std::move(component), false});
    }

    void End(ContentLine line) {
        const std::string name = Upper(line.value());
        const auto match = std::find_if(open_.rbegin(), open_.rend(), [&](const Open& candidate) {
            return candidate.component.name == name;
        });
        if (match == open_.rend()) {
            if (open_.empty()) {
                AddProblem({line.line, "END:" + name + " without a BEGIN", line.line});
            } else {
                Component& current = open_.back().component;
                current.problems.push_back({line.line,
                                            "END:" + name +
                                                " does not close BEGIN:" + current.name +
                                                " of line " + std::to_string(current.beginLine),
                                            0});
            }
            return;
        }
        // Components the END passes over were never closed: it closes them as well.
        while (&open_.back() != &*match) {
            Component& unclosed = open_.back().component;
            unclosed.problems.push_back({line.line,
                                         "END:" + name + " does not close BEGIN:" + unclosed.name +
                                             " of line " + std::to_string(unclosed.beginLine),
                                         0});
            Close();
        }
        open_.back().component.endText = std::move(line.text);
        Close();
    }

    void Close() {
        Open done = std::move(open_.back());
        open_.pop_back();
        if (done.component.endText.empty()) {
            done.component.endText = "END:" + done.component.name;
        }
        if (open_.empty()) {
            if (streaming_) {
                ready_.push_back({ComponentStream::Piece::Kind::CalendarEnd,
                                  calendars_ - 1,
                                  std::move(done.component),
                                  {}});
            } else {
                file_.calendars.push_back(std::move(done.component));
            }
        } else if (streaming_ && open_.size() == 1) {
            ready_.push_back({ComponentStream::Piece::Kind::Item,
                              calendars_ - 1,
                              std::move(done.component),
                              {}});
        } else {
            open_.back().component.children.push_back(std::move(done.component));
        }
    }

    void HandOutStrayRun() {
        if (strayPending_) {
            ready_.push_back(
                {ComponentStream::Piece::Kind::Outside, calendars_, {}, std::move(*strayPending_)});
            strayPending_.reset();
        }
    }

    // Whether a line may still be kept by the component it belongs to: one that has grown past
    // kMaxComponentOctets keeps no more, and is not read.
    bool Holds(const ContentLine& line) {
        Open& holder = open_.size() >= 2 ? open_[1] : open_[0];
        constexpr size_t kLineOverhead = 64;
        holder.bytes += line.text.size() + line.problem.size() + kLineOverhead;
        if (holder.bytes <= kMaxComponentOctets) {
            return true;
        }
        if (!holder.overgrown) {
            holder.overgrown = true;
            holder.component.problems.push_back(
                {line.line,
                 "BEGIN:" + holder.component.name + " of line " +
                     std::to_string(holder.component.beginLine) + " holds more than " +
                     std::to_string(kMaxComponentOctets / (1024 * 1024)) + " MiB",
                 0});
        }
        return false;
    }

    // A problem outside every component joins the run of stray lines it follows; inside one it
    // belongs to the innermost.
    void AddProblem(Problem problem) {
        if (!open_.empty()) {
            open_.back().component.problems.push_back(std::move(problem));
            return;
        }
        if (streaming_) {
            if (strayRun_ && strayPending_) {
                strayPending_->lastLine = problem.line;
            } else {
                strayPending_ = std::move(problem);
                strayRun_ = true;
            }
            return;
        }
        if (strayRun_ && !file_.outside.empty()) {
            file_.outside.back().lastLine = problem.line;
            return;
        }
        file_.outside.push_back(std::move(problem));
        strayRun_ = true;
    }

    std::vector<Open> open_;
    CalendarFile file_;
    int ignoredDepth_ = 0;
    bool strayRun_ = false;  // the last line read lay outside every component
    bool streaming_ = false;
    size_t calendars_ = 0;                 // begun so far
    std::optional<Problem> strayPending_;  // streaming: the run of stray lines going on
    std::deque<ComponentStream::Piece> ready_;
};

Result<CalendarFile> BuildComponents(std::vector<ContentLine> lines) {
    ComponentBuilder builder;
    for (ContentLine& line : lines) {
        builder.Add(std::move(line));
    }
    CalendarFile file = builder.Finish();
    if (file.calendars.empty()) {
        return LineError(1, "not an iCalendar file: it holds no BEGIN:VCALENDAR");
    }
    return file;
}

ComponentStream::ComponentStream() : builder_(std::make_unique<ComponentBuilder>(true)) {}
ComponentStream::~ComponentStream() = default;

void ComponentStream::Add(ContentLine line) {
    builder_->Add(std::move(line));
}

void ComponentStream::Finish() {
    builder_->Finish();
}

std::optional<ComponentStream::Piece> ComponentStream::Next() {
    return builder_->NextPiece();
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

}  // namespace calendar::ical

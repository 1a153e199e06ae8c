#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

// The text of an iCalendar file, below the meaning of any property: content lines with their
// parameters, folding and escaping, and the tree of components. Shared by the reader and the
// writer; every problem names its line.
namespace calendar::ical {

inline constexpr std::string_view kCrlf = "\r\n";

// The longest content line read, unfolded: room for a large attachment, while a file made to
// exhaust memory or time is refused line by line.
inline constexpr size_t kMaxLineOctets = 32 * 1024 * 1024;

platform::Error LineError(int line, std::string_view what);
// "line N: what", for the notes and the skipped components of an import.
std::string LineNote(int line, std::string_view what);

std::string Upper(std::string_view text);
std::string_view Trim(std::string_view text);
std::string Join(const std::vector<std::string>& lines, std::string_view separator);

// Property and parameter names: letters, digits and '-'.
bool IsNameChar(char c);

// TEXT as iCalendar writes it. Line breaks become \n; other control characters, which
// iCalendar does not allow in a value, become spaces.
std::string EscapeText(std::string_view text);

// A comma-separated TEXT list such as CATEGORIES, split and unescaped. libical runs escaped
// and separating commas of such lists together, so the list is read here.
std::vector<std::string> SplitTextList(std::string_view value);

// One content line folded at 75 octets, never inside a UTF-8 sequence, with its CRLF.
std::string Fold(std::string_view line);

// "NAME:text" with the text escaped, folded.
std::string TextLine(std::string_view name, std::string_view text);

// The name of a content line held as text (upper case), and its value.
std::string NameOfLine(std::string_view line);
std::string_view ValueOfLine(std::string_view line);

// The properties that give a VEVENT's times, which the planner keeps in its own fields.
bool IsEventTimeName(std::string_view name);

struct Parameter {
    std::string name;   // upper case
    std::string value;  // quotes removed; several values stay comma-separated
};

// Something in a file that cannot be read as it stands, with the line it concerns (and, for a
// run of stray lines, the last of them).
struct Problem {
    int line = 0;
    std::string what;  // "END:VTODO does not close BEGIN:VEVENT of line 2"
    int lastLine = 0;

    platform::Error AsError() const { return LineError(line, what); }
};

// An error of the reading ("line 17: RRULE has no value") as the problem it names; an error
// without a line is put on `fallbackLine`.
Problem ProblemOf(const platform::Error& error, int fallbackLine);

struct ContentLine {
    int line = 0;      // the first physical line it came from
    std::string text;  // unfolded, as in the file
    std::string name;  // upper case
    std::vector<Parameter> parameters;
    size_t valueStart = 0;
    // Why the line cannot be read (no ':', a control character...); empty for a good line. A
    // broken line has no name and is left out of its component.
    std::string problem;
    // What was mended to read it (bytes that are not UTF-8, a fold without its space), for a
    // note; empty when it read as written.
    std::string mended;

    std::string_view value() const { return std::string_view(text).substr(valueStart); }
    const std::string* FindParameter(std::string_view parameterName) const;
};

platform::Result<ContentLine> SplitContentLine(int line, std::string text);

// Physical lines to content lines: a byte-order mark passed over, line ends CRLF or LF,
// continuation lines (starting with a space or tab) joined to the line before, blank lines passed
// over. Mended, with a note: a plain line (not "NAME:" or "NAME;") after a property is the
// continuation of a fold that lost its space; bytes that are not UTF-8 are read as U+FFFD. A
// line that cannot be read (also one longer than kMaxLineOctets) is kept with its problem, so
// that only that property is lost.
// An error when the text does not begin with a BEGIN line (BEGIN:VCALENDAR, or the bare
// BEGIN:VEVENT several programs share one event with): then it is no calendar at all.
platform::Result<std::vector<ContentLine>> ReadContentLines(std::string_view text);

// A content line being unfolded from its physical lines.
struct LogicalLine {
    int number = 0;
    std::string text;
    std::string problem;
    std::string mended;
    bool tooLong = false;

    // Adds a physical line's text. Past kMaxLineOctets the line is refused, and what it held so
    // far let go at once: a line of hundreds of megabytes is never held whole.
    void Append(std::string_view more) {
        if (tooLong) {
            return;
        }
        if (more.size() > kMaxLineOctets - text.size()) {
            tooLong = true;
            problem = "the line is longer than " + std::to_string(kMaxLineOctets / (1024 * 1024)) +
                      " MiB";
            std::string().swap(text);
            return;
        }
        text.append(more);
    }

    // A physical line of it was longer than any line read: what it held so far goes.
    void CutShort() {
        Append(std::string_view());
        if (!tooLong) {
            tooLong = true;
            problem = "the line is longer than " + std::to_string(kMaxLineOctets / (1024 * 1024)) +
                      " MiB";
            std::string().swap(text);
        }
    }
};

// ReadContentLines one physical line at a time, for a reader that never holds the whole text:
// each content line is ready once the line after it shows that its unfolding is done.
class LineUnfolder {
public:
    LineUnfolder();
    ~LineUnfolder();
    LineUnfolder(const LineUnfolder&) = delete;
    LineUnfolder& operator=(const LineUnfolder&) = delete;

    // A physical line without its LF, numbered from 1. `cutShort`: only its beginning is given,
    // the line being longer than kMaxLineOctets; the content line it belongs to is broken.
    void Add(int number, std::string_view physical, bool cutShort = false);
    // The text has ended: its last content line is ready.
    void Finish();
    // An error once the first readable line is known not to be a BEGIN line (ReadContentLines').
    platform::Result<void> BeginsAsCalendar() const;
    // The next content line ready, in the order of the text.
    std::optional<ContentLine> Next();

private:
    void Start(LogicalLine line);
    void Complete(LogicalLine entry);

    std::optional<LogicalLine> current_;
    std::deque<ContentLine> ready_;
    std::optional<int> firstLine_;
    bool firstLineBegins_ = false;
    bool finished_ = false;
};

struct Component {
    std::string name;  // upper case
    int beginLine = 0;
    std::string beginText;
    std::string endText;
    std::vector<ContentLine> properties;
    std::vector<Component> children;
    // What was wrong with its BEGIN..END (never closed, closed by the END of another
    // component), in the order met: the component cannot be read as a whole.
    std::vector<Problem> problems;
    // Its lines that cannot be read, each left out on its own.
    std::vector<Problem> brokenLines;

    bool Has(std::string_view propertyName) const;
};

// The first problem of a component or of anything inside it, broken lines included; nullptr
// when it reads cleanly.
const Problem* FirstProblem(const Component& component);

// A file as components: its VCALENDARs (bare components outside any VCALENDAR gathered in one of
// their own), and what lay outside every component (text after END:VCALENDAR, an END without its
// BEGIN). A component left open at the end of the file, or closed by the END of one around it,
// is closed there with a problem of its own. So is an item still open when the next calendar
// component begins (a VTODO closed by END:VTOOD before a VEVENT): reading goes on from there.
struct CalendarFile {
    std::vector<Component> calendars;
    std::vector<Problem> outside;
};

platform::Result<CalendarFile> BuildComponents(std::vector<ContentLine> lines);

// The most a calendar's item (with its sub-components), or a calendar's own properties, holds
// as read: a component past it is not read, its lines let go as they come.
inline constexpr size_t kMaxComponentOctets = 64 * 1024 * 1024;

class ComponentBuilder;

// BuildComponents one content line at a time, handing out each component of a calendar as it
// closes, so that a reading holds one item at a time, never the file.
class ComponentStream {
public:
    struct Piece {
        // Item: a component of the calendar numbered `calendar` (from 0, in the order of the
        // file; bare components outside any VCALENDAR get one of their own). CalendarEnd: that
        // calendar closed; `component` holds its own lines and problems, no children. Outside:
        // a run of lines outside every component (`outside`).
        enum class Kind { Item, CalendarEnd, Outside };
        Kind kind = Kind::Item;
        size_t calendar = 0;
        Component component;
        Problem outside;
    };

    ComponentStream();
    ~ComponentStream();
    ComponentStream(const ComponentStream&) = delete;
    ComponentStream& operator=(const ComponentStream&) = delete;

    void Add(ContentLine line);
    // The file has ended: what is still open is closed as BuildComponents closes it.
    void Finish();
    // The next piece ready, if any.
    std::optional<Piece> Next();

private:
    std::unique_ptr<ComponentBuilder> builder_;
};

// A component word for word, properties before sub-components, one line each.
void AppendVerbatim(const Component& component, std::vector<std::string>& out);

}  // namespace calendar::ical

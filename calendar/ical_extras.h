#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_lines.h"
#include "platform/result.h"

// The lines of an item the store does not model (AppointmentRecord::extraProperties): which are
// kept when a file is read, how they are written back, and how an update by UID merges them.
// They are content lines joined by CRLF, properties first, then sub-components (VALARM above
// all) as their BEGIN..END lines; a SUMMARY, LOCATION or DESCRIPTION that carries parameters is
// kept too, so that the export can write the same parameters before the record's current text.
namespace calendar {

// The kept lines, split into properties and whole sub-components.
struct KeptLines {
    std::vector<std::string> properties;
    std::vector<std::vector<std::string>> components;

    // Every line, the components' included.
    std::vector<std::string> AllLines() const;
};

KeptLines SplitKeptLines(std::string_view kept);

// The kept lines joined again: properties, then components.
std::string JoinKeptLines(const KeptLines& kept);

// The kept lines with the properties of that name replaced by `line`, in the place of the first
// (added at the end when there was none; all removed when `line` is empty).
std::string ReplaceKeptProperty(std::string_view kept, std::string_view name,
                                const std::string& line);

// The kept lines of an item changed here at `unixSeconds`: LAST-MODIFIED and DTSTAMP then, and,
// when `announce` (its times, recurrence or status changed), SEQUENCE one higher, so that other
// calendar programs take it for a new version of what they hold.
std::string StampedAsChanged(std::string_view kept, int64_t unixSeconds, bool announce);

// The same for an item returned to an earlier state of its own (a change taken back) over the
// version with kept lines `replaced`: its SEQUENCE is never below that version's, so that other
// calendar programs take what comes back for the newer of the two.
std::string StampedAsReturned(std::string_view kept, std::string_view replaced, int64_t unixSeconds,
                              bool announce);

// The kept lines of an occurrence of a series changed on its own here at `unixSeconds`:
// LAST-MODIFIED and DTSTAMP then, and a SEQUENCE never below the series' (`series`, its kept
// lines) or that of the version of the occurrence it replaces (`replaced`, empty for one changed
// for the first time), since other calendar programs took the occurrence to stand at those;
// one above them when `announce` (its times or its state changed).
std::string StampedAsChangedOccurrence(std::string_view kept, std::string_view series,
                                       std::string_view replaced, int64_t unixSeconds,
                                       bool announce);

// Whether the item with kept lines `kept` is an earlier version of the one with `than`, as
// calendar programs tell it: a lower SEQUENCE, else, both stamped, an earlier DTSTAMP. Neither
// is earlier when they do not say.
bool IsEarlierVersion(std::string_view kept, std::string_view than);

// A task's kept PERCENT-COMPLETE (0 to 100), when it has a readable one.
std::optional<int> KeptPercentComplete(std::string_view kept);

// Whether a kept sub-component is an alarm that rings here (ACTION DISPLAY or AUDIO, or none):
// the alarms the planner's reminder stands for. An EMAIL alarm is not one of them.
bool IsRingingAlarm(const std::vector<std::string>& block);

// The kept lines of a stored item updated by an incoming one: the incoming item's, and those
// of the stored item whose property (or component) names the incoming one neither carries nor
// lists in `takenFromIncoming` ("SUMMARY", "VALARM", ...). Taking the same lines twice gives
// them unchanged.
std::string MergeKeptLines(std::string_view stored, std::string_view incoming,
                           const std::set<std::string>& takenFromIncoming);

namespace ical {

// The kept lines of one item as its component is read.
class ReadExtras {
public:
    // SUMMARY (1), LOCATION (2), DESCRIPTION (3) with parameters, kept in the order the export
    // writes them so that a file read, written and read again gives the same lines.
    void KeepTextWithParameters(int writtenOrder, const std::string& line);
    void KeepProperty(const std::string& line) { properties_.push_back(line); }
    // Every sub-component that reads whole (checked line by line first); an alarm that rings
    // here sets the reminder. One that does not (an alarm whose TRIGGER cannot be read) is left
    // out, its item kept, and handed to `leftOut` with why.
    void KeepSubComponents(
        const Component& item,
        const std::function<void(const Problem& why, const Component& child)>& leftOut);
    bool HasAlarm() const { return hasAlarm_; }

    std::string Joined() const;

private:
    std::map<int, std::string> textsWithParameters_;
    std::vector<std::string> properties_;
    std::vector<std::string> components_;
    bool hasAlarm_ = false;
};

// What the kept lines contribute to one written item.
struct WrittenExtras {
    std::map<std::string, std::string> templates;  // SUMMARY etc. with their parameters
    std::string properties;                        // folded, each with its CRLF
    std::string components;
    bool hasDtstamp = false;
    bool hasAlarm = false;  // a ringing alarm is written
    // The CATEGORIES lines kept as they came (see ical_categories.h).
    std::vector<std::string> categories;
};

// Lines named in `templates` lend their parameters to the record's texts; `keep` drops the
// lines the record's own fields replace; alarms that ring here are written only when
// `keepAlarms`, other alarms always. The kept CATEGORIES lines are handed out on their own,
// never among the properties.
WrittenExtras PrepareExtras(
    std::string_view kept, std::initializer_list<std::string_view> templates, bool keepAlarms,
    const std::function<bool(const std::string& name, const std::string& line)>& keep);

// SUMMARY, LOCATION or DESCRIPTION, with the parameters it was imported with; nothing for an
// empty text.
std::string TemplatedText(const WrittenExtras& extras, const std::string& name,
                          std::string_view text);

// The alarm a reminder set in the planner is exported with: 15 minutes before, showing the
// subject.
std::string DefaultAlarm(std::string_view subject);

}  // namespace ical
}  // namespace calendar

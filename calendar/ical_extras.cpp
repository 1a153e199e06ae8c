#include "calendar/ical_extras.h"

#include <algorithm>
#include <charconv>
#include <ctime>

#include "calendar/ical_values.h"

namespace calendar {
namespace {

using ical::Join;
using ical::kCrlf;
using ical::NameOfLine;
using ical::Trim;
using ical::Upper;
using ical::ValueOfLine;
using platform::Result;

constexpr std::string_view kDefaultAlarmTrigger = "-PT15M";
constexpr std::string_view kDefaultAlarmText = "Reminder";

// A sub-component's name: VALARM for "BEGIN:VALARM".
std::string ComponentName(const std::vector<std::string>& block) {
    return block.empty() ? std::string() : Upper(Trim(ValueOfLine(block.front())));
}

}  // namespace

bool IsRingingAlarm(const std::vector<std::string>& block) {
    if (ComponentName(block) != "VALARM") {
        return false;
    }
    for (const std::string& line : block) {
        if (NameOfLine(line) == "ACTION") {
            const std::string action = Upper(Trim(ValueOfLine(line)));
            return action == "DISPLAY" || action == "AUDIO";
        }
    }
    return true;  // no ACTION: shown, as a reminder is
}

std::vector<std::string> KeptLines::AllLines() const {
    std::vector<std::string> lines = properties;
    for (const std::vector<std::string>& block : components) {
        lines.insert(lines.end(), block.begin(), block.end());
    }
    return lines;
}

KeptLines SplitKeptLines(std::string_view extra) {
    KeptLines out;
    std::vector<std::string> block;
    int depth = 0;
    for (size_t at = 0; at < extra.size();) {
        const size_t newline = extra.find('\n', at);
        std::string_view line = extra.substr(
            at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
        at = newline == std::string_view::npos ? extra.size() : newline + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        const std::string name = NameOfLine(line);
        if (name == "BEGIN") {
            ++depth;
            block.emplace_back(line);
        } else if (name == "END" && depth > 0) {
            block.emplace_back(line);
            if (--depth == 0) {
                out.components.push_back(std::move(block));
                block.clear();
            }
        } else if (depth > 0) {
            block.emplace_back(line);
        } else if (name != "END") {
            out.properties.emplace_back(line);
        }
    }
    return out;  // an unclosed block is dropped rather than written broken
}

std::string MergeKeptLines(std::string_view stored, std::string_view incoming,
                           const std::set<std::string>& takenFromIncoming) {
    const KeptLines old = SplitKeptLines(stored);
    KeptLines merged = SplitKeptLines(incoming);
    std::set<std::string> carried = takenFromIncoming;
    for (const std::string& line : merged.properties) {
        carried.insert(NameOfLine(line));
    }
    for (const std::vector<std::string>& block : merged.components) {
        carried.insert(ComponentName(block));
    }
    for (const std::string& line : old.properties) {
        if (!carried.contains(NameOfLine(line))) {
            merged.properties.push_back(line);
        }
    }
    for (const std::vector<std::string>& block : old.components) {
        if (!carried.contains(ComponentName(block))) {
            merged.components.push_back(block);
        }
    }
    return JoinKeptLines(merged);
}

std::string JoinKeptLines(const KeptLines& kept) {
    std::vector<std::string> lines = kept.properties;
    for (const std::vector<std::string>& block : kept.components) {
        lines.push_back(Join(block, kCrlf));
    }
    return Join(lines, kCrlf);
}

namespace {

struct ItemVersion {
    int64_t sequence = 0;
    std::string stamp;  // DTSTAMP as written, "20261207T093000Z", which sorts as it reads
};

ItemVersion VersionOf(std::string_view kept) {
    ItemVersion version;
    if (kept.find("SEQUENCE") == std::string_view::npos &&
        kept.find("DTSTAMP") == std::string_view::npos) {
        return version;
    }
    for (const std::string& line : SplitKeptLines(kept).properties) {
        const std::string name = ical::NameOfLine(line);
        const std::string_view value = ical::Trim(ical::ValueOfLine(line));
        if (name == "SEQUENCE") {
            std::from_chars(value.data(), value.data() + value.size(), version.sequence);
        } else if (name == "DTSTAMP") {
            version.stamp = std::string(value);
        }
    }
    return version;
}

}  // namespace

bool IsEarlierVersion(std::string_view kept, std::string_view than) {
    const ItemVersion one = VersionOf(kept);
    const ItemVersion other = VersionOf(than);
    if (one.sequence != other.sequence) {
        return one.sequence < other.sequence;
    }
    return !one.stamp.empty() && !other.stamp.empty() && one.stamp < other.stamp;
}

std::string ReplaceKeptProperty(std::string_view kept, std::string_view name,
                                const std::string& line) {
    // The first of the name keeps its place, so that the lines another program reads change
    // no more than they must.
    KeptLines lines = SplitKeptLines(kept);
    std::vector<std::string> properties;
    bool placed = line.empty();
    for (std::string& property : lines.properties) {
        if (NameOfLine(property) != name) {
            properties.push_back(std::move(property));
        } else if (!placed) {
            properties.push_back(line);
            placed = true;
        }
    }
    if (!placed) {
        properties.push_back(line);
    }
    lines.properties = std::move(properties);
    return JoinKeptLines(lines);
}

std::string StampedAsChanged(std::string_view kept, int64_t unixSeconds, bool announce) {
    const time_t seconds = static_cast<time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[24];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string out =
        ReplaceKeptProperty(kept, "LAST-MODIFIED", std::string("LAST-MODIFIED:") + stamp);
    out = ReplaceKeptProperty(out, "DTSTAMP", std::string("DTSTAMP:") + stamp);
    if (announce) {
        int64_t sequence = 0;
        for (const std::string& line : SplitKeptLines(out).properties) {
            if (NameOfLine(line) == "SEQUENCE") {
                const std::string_view value = Trim(ValueOfLine(line));
                std::from_chars(value.data(), value.data() + value.size(), sequence);
            }
        }
        out = ReplaceKeptProperty(out, "SEQUENCE",
                                  "SEQUENCE:" + std::to_string(std::max<int64_t>(sequence, 0) + 1));
    }
    return out;
}

std::string StampedAsReturned(std::string_view kept, std::string_view replaced, int64_t unixSeconds,
                              bool announce) {
    const int64_t own = VersionOf(kept).sequence;
    const int64_t above = VersionOf(replaced).sequence;
    std::string out(kept);
    if (above > own) {
        out = ReplaceKeptProperty(out, "SEQUENCE", "SEQUENCE:" + std::to_string(above));
    }
    return StampedAsChanged(out, unixSeconds, announce);
}

std::string StampedAsChangedOccurrence(std::string_view kept, std::string_view series,
                                       std::string_view replaced, int64_t unixSeconds,
                                       bool announce) {
    const int64_t own = VersionOf(kept).sequence;
    const int64_t floor = std::max(VersionOf(series).sequence, VersionOf(replaced).sequence);
    std::string out(kept);
    if (floor > own) {
        out = ReplaceKeptProperty(out, "SEQUENCE", "SEQUENCE:" + std::to_string(floor));
    }
    return StampedAsChanged(out, unixSeconds, announce);
}

std::optional<int> KeptPercentComplete(std::string_view kept) {
    for (const std::string& line : SplitKeptLines(kept).properties) {
        if (NameOfLine(line) == "PERCENT-COMPLETE") {
            int percent = -1;
            const std::string_view value = Trim(ValueOfLine(line));
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), percent);
            if (error == std::errc() && end == value.data() + value.size() && percent >= 0 &&
                percent <= 100) {
                return percent;
            }
        }
    }
    return std::nullopt;
}

namespace ical {

void ReadExtras::KeepTextWithParameters(int writtenOrder, const std::string& line) {
    textsWithParameters_.emplace(writtenOrder, line);
}

void ReadExtras::KeepSubComponents(
    const Component& item,
    const std::function<void(const Problem& why, const Component& child)>& leftOut) {
    for (const Component& child : item.children) {
        // Kept word for word, so kept only whole.
        if (const Problem* problem = FirstProblem(child)) {
            leftOut(*problem, child);
            continue;
        }
        if (Result<void> valid = ValidateComponent(child); !valid.ok()) {
            leftOut(ProblemOf(valid.error(), child.beginLine), child);
            continue;
        }
        std::vector<std::string> lines;
        AppendVerbatim(child, lines);
        hasAlarm_ = hasAlarm_ || IsRingingAlarm(lines);
        components_.push_back(Join(lines, kCrlf));
    }
}

std::string ReadExtras::Joined() const {
    std::vector<std::string> lines;
    for (const auto& entry : textsWithParameters_) {
        lines.push_back(entry.second);
    }
    lines.insert(lines.end(), properties_.begin(), properties_.end());
    lines.insert(lines.end(), components_.begin(), components_.end());
    return Join(lines, kCrlf);
}

WrittenExtras PrepareExtras(
    std::string_view extra, std::initializer_list<std::string_view> templates, bool keepAlarms,
    const std::function<bool(const std::string& name, const std::string& line)>& keep) {
    WrittenExtras out;
    const KeptLines lines = SplitKeptLines(extra);
    for (const std::string& line : lines.properties) {
        const std::string name = NameOfLine(line);
        if (std::find(templates.begin(), templates.end(), name) != templates.end()) {
            out.templates.emplace(name, line);
            continue;
        }
        if (name == "CATEGORIES") {
            out.categories.push_back(line);
            continue;
        }
        if (!keep(name, line)) {
            continue;
        }
        out.hasDtstamp = out.hasDtstamp || name == "DTSTAMP";
        out.properties += Fold(line);
    }
    for (const auto& block : lines.components) {
        // The reminder governs the alarms that ring here; an e-mail alarm or another program's
        // own kind stays whatever its state.
        const bool ringing = IsRingingAlarm(block);
        if (ringing && !keepAlarms) {
            continue;
        }
        out.hasAlarm = out.hasAlarm || ringing;
        for (const std::string& line : block) {
            out.components += Fold(line);
        }
    }
    return out;
}

std::string TemplatedText(const WrittenExtras& extras, const std::string& name,
                          std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto found = extras.templates.find(name);
    if (found != extras.templates.end()) {
        Result<ContentLine> line = SplitContentLine(0, found->second);
        if (line.ok()) {
            return Fold(line->text.substr(0, line->valueStart) + EscapeText(text));
        }
    }
    return TextLine(name, text);
}

std::string DefaultAlarm(std::string_view subject) {
    std::string out = "BEGIN:VALARM\r\n";
    out += "TRIGGER:" + std::string(kDefaultAlarmTrigger) + "\r\n";
    out += "ACTION:DISPLAY\r\n";
    // A display alarm needs a text to show.
    out += TextLine("DESCRIPTION", subject.empty() ? kDefaultAlarmText : subject);
    out += "END:VALARM\r\n";
    return out;
}

}  // namespace ical
}  // namespace calendar

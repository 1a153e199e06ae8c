#include "sync/item_merge.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "calendar/ical_extras.h"
#include "calendar/ical_lines.h"
#include "platform/time/date_time.h"

namespace calendar_sync {
namespace {

using calendar::AppointmentRecord;
using calendar::KeptLines;
using calendar::OccurrenceChange;
using calendar::TaskRecord;

// Lines every write stamps anew: they tell which version is later, never what an item is.
bool IsVersionLineName(const std::string& name) {
    return name == "DTSTAMP" || name == "LAST-MODIFIED" || name == "SEQUENCE";
}

std::string ComponentNameOf(const std::vector<std::string>& block) {
    return block.empty() ? std::string()
                         : calendar::ical::Upper(
                               calendar::ical::Trim(calendar::ical::ValueOfLine(block.front())));
}

const std::string& ExtraOf(const ServerItem& item) {
    return item.kind == calendar::ItemKind::Task ? item.task.extraProperties
                                                 : item.appointment.extraProperties;
}

std::string& ExtraOf(ServerItem& item) {
    return item.kind == calendar::ItemKind::Task ? item.task.extraProperties
                                                 : item.appointment.extraProperties;
}

// The kept lines of the names (properties) and component names, in one order.
std::vector<std::string> KeptOf(const std::string& extra, const std::set<std::string>& names,
                                const std::set<std::string>& components) {
    const KeptLines kept = calendar::SplitKeptLines(extra);
    std::vector<std::string> lines;
    for (const std::string& line : kept.properties) {
        if (names.contains(calendar::ical::NameOfLine(line))) {
            lines.push_back(line);
        }
    }
    for (const std::vector<std::string>& block : kept.components) {
        if (components.contains(ComponentNameOf(block))) {
            lines.push_back(calendar::ical::Join(block, "\r\n"));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// `into`'s kept lines with those of the names and components replaced by `from`'s: a property
// takes the place of the first of its name, or goes at the end of the properties.
std::string WithKeptOf(const std::string& into, const std::string& from,
                       const std::set<std::string>& names,
                       const std::set<std::string>& components) {
    const KeptLines source = calendar::SplitKeptLines(from);
    KeptLines target = calendar::SplitKeptLines(into);
    std::vector<std::string> taken;
    for (const std::string& line : source.properties) {
        if (names.contains(calendar::ical::NameOfLine(line))) {
            taken.push_back(line);
        }
    }
    std::vector<std::string> properties;
    bool placed = false;
    for (std::string& line : target.properties) {
        if (!names.contains(calendar::ical::NameOfLine(line))) {
            properties.push_back(std::move(line));
        } else if (!placed) {
            properties.insert(properties.end(), taken.begin(), taken.end());
            placed = true;
        }
    }
    if (!placed) {
        properties.insert(properties.end(), taken.begin(), taken.end());
    }
    target.properties = std::move(properties);
    std::vector<std::vector<std::string>> blocks;
    for (std::vector<std::string>& block : target.components) {
        if (!components.contains(ComponentNameOf(block))) {
            blocks.push_back(std::move(block));
        }
    }
    for (const std::vector<std::string>& block : source.components) {
        if (components.contains(ComponentNameOf(block))) {
            blocks.push_back(block);
        }
    }
    target.components = std::move(blocks);
    return calendar::JoinKeptLines(target);
}

// One property of an item (or a few that only mean something together), as the merge sees it.
struct Facet {
    std::string name;
    // A change of it is one other calendar programs count as a new version (RFC 5545 SEQUENCE).
    bool significant = false;
    std::function<bool(const ServerItem&, const ServerItem&)> same;
    std::function<void(ServerItem& into, const ServerItem& from)> take;
};

// A facet made of record fields and the kept lines of some names, which go with them (a SUMMARY
// kept for its parameters goes with the subject).
template <typename Record>
Facet RecordFacet(std::string name, bool significant, std::set<std::string> names,
                  std::set<std::string> components,
                  std::function<bool(const Record&, const Record&)> same,
                  std::function<void(Record&, const Record&)> take) {
    const auto recordOf = [](auto& item) -> auto& {
        if constexpr (std::is_same_v<Record, TaskRecord>) {
            return item.task;
        } else {
            return item.appointment;
        }
    };
    Facet facet;
    facet.name = std::move(name);
    facet.significant = significant;
    facet.same = [=](const ServerItem& a, const ServerItem& b) {
        return same(recordOf(a), recordOf(b)) &&
               KeptOf(ExtraOf(a), names, components) == KeptOf(ExtraOf(b), names, components);
    };
    facet.take = [=](ServerItem& into, const ServerItem& from) {
        take(recordOf(into), recordOf(from));
        ExtraOf(into) = WithKeptOf(ExtraOf(into), ExtraOf(from), names, components);
    };
    return facet;
}

// A kept property (or component) of another program's that the planner does not model.
Facet KeptFacet(const std::string& name, bool component) {
    const std::set<std::string> names = component ? std::set<std::string>{} : std::set{name};
    const std::set<std::string> components = component ? std::set{name} : std::set<std::string>{};
    Facet facet;
    facet.name = name;
    facet.same = [=](const ServerItem& a, const ServerItem& b) {
        return KeptOf(ExtraOf(a), names, components) == KeptOf(ExtraOf(b), names, components);
    };
    facet.take = [=](ServerItem& into, const ServerItem& from) {
        ExtraOf(into) = WithKeptOf(ExtraOf(into), ExtraOf(from), names, components);
    };
    return facet;
}

bool SameZoneForm(const calendar::ItemZone& a, const calendar::ItemZone& b) {
    // The definition is compared by the times it gives: a zone written again by another
    // program (a TZNAME in another case, say) is the same zone.
    return a.form == b.form && a.tzid == b.tzid;
}

std::string WithoutStamps(const std::string& extra) {
    KeptLines kept = calendar::SplitKeptLines(extra);
    std::erase_if(kept.properties, [](const std::string& line) {
        return IsVersionLineName(calendar::ical::NameOfLine(line));
    });
    std::sort(kept.properties.begin(), kept.properties.end());
    return calendar::JoinKeptLines(kept);
}

bool SameOccurrence(const OccurrenceChange& a, const OccurrenceChange& b) {
    return a.recurrenceId == b.recurrenceId && a.thisAndFuture == b.thisAndFuture &&
           a.cancelled == b.cancelled && a.start == b.start && a.end == b.end &&
           a.zoneStart == b.zoneStart && a.zoneEnd == b.zoneEnd && a.allDay == b.allDay &&
           a.reminderSet == b.reminderSet && a.subject == b.subject && a.location == b.location &&
           a.body == b.body && a.handwritten == b.handwritten && a.categories == b.categories &&
           WithoutStamps(a.extraProperties) == WithoutStamps(b.extraProperties);
}

const OccurrenceChange* OccurrenceAt(const ServerItem& item, platform::Date recurrenceId) {
    for (const OccurrenceChange& change : item.appointment.recurrence.changes) {
        if (change.recurrenceId == recurrenceId) {
            return &change;
        }
    }
    return nullptr;
}

const calendar::CarriedInk* OccurrenceInkAt(const ServerItem& item, platform::Date recurrenceId) {
    const auto found = item.ink.changes.find(platform::DateToLinear(recurrenceId));
    return found == item.ink.changes.end() ? nullptr : &found->second;
}

// One changed occurrence (or its absence) of a series, with its handwriting.
Facet OccurrenceFacet(platform::Date recurrenceId) {
    Facet facet;
    facet.name = "RECURRENCE-ID " + std::to_string(platform::DateToLinear(recurrenceId));
    facet.same = [recurrenceId](const ServerItem& a, const ServerItem& b) {
        const OccurrenceChange* one = OccurrenceAt(a, recurrenceId);
        const OccurrenceChange* other = OccurrenceAt(b, recurrenceId);
        if ((one == nullptr) != (other == nullptr) || (one && !SameOccurrence(*one, *other))) {
            return false;
        }
        const calendar::CarriedInk* inkOne = OccurrenceInkAt(a, recurrenceId);
        const calendar::CarriedInk* inkOther = OccurrenceInkAt(b, recurrenceId);
        return (inkOne == nullptr) == (inkOther == nullptr) &&
               (!inkOne || inkOne->bytes == inkOther->bytes);
    };
    facet.take = [recurrenceId](ServerItem& into, const ServerItem& from) {
        std::vector<OccurrenceChange>& changes = into.appointment.recurrence.changes;
        std::erase_if(changes, [recurrenceId](const OccurrenceChange& change) {
            return change.recurrenceId == recurrenceId;
        });
        if (const OccurrenceChange* taken = OccurrenceAt(from, recurrenceId)) {
            changes.push_back(*taken);
            std::sort(changes.begin(), changes.end(),
                      [](const OccurrenceChange& a, const OccurrenceChange& b) {
                          return a.recurrenceId < b.recurrenceId;
                      });
        }
        const double key = platform::DateToLinear(recurrenceId);
        into.ink.changes.erase(key);
        if (const calendar::CarriedInk* ink = OccurrenceInkAt(from, recurrenceId)) {
            into.ink.changes[key] = *ink;
        }
    };
    return facet;
}

// The names of the kept lines the record's own facets stand for, and those no facet compares.
const std::set<std::string> kAppointmentOwned = {
    "SUMMARY", "LOCATION", "DESCRIPTION", "CATEGORIES", "DTSTART", "DTEND", "DURATION",
    "RRULE",   "RDATE",    "EXDATE",      "EXRULE",     "STATUS",  "VALARM"};
const std::set<std::string> kTaskOwned = {"SUMMARY", "DESCRIPTION", "CATEGORIES",      "DUE",
                                          "STATUS",  "COMPLETED",   "PERCENT-COMPLETE"};

// The subject and the categories, which appointments and tasks hold alike.
template <typename R>
std::vector<Facet> SharedFacets() {
    std::vector<Facet> facets;
    facets.push_back(RecordFacet<R>(
        "SUMMARY", false, {"SUMMARY"}, {},
        [](const R& a, const R& b) { return a.subject == b.subject; },
        [](R& into, const R& from) { into.subject = from.subject; }));
    facets.push_back(RecordFacet<R>(
        "CATEGORIES", false, {"CATEGORIES"}, {},
        [](const R& a, const R& b) { return a.categories == b.categories; },
        [](R& into, const R& from) { into.categories = from.categories; }));
    return facets;
}

std::vector<Facet> AppointmentFacets() {
    using R = AppointmentRecord;
    std::vector<Facet> facets = SharedFacets<R>();
    facets.push_back(RecordFacet<R>(
        "LOCATION", false, {"LOCATION"}, {},
        [](const R& a, const R& b) { return a.location == b.location; },
        [](R& into, const R& from) { into.location = from.location; }));
    facets.push_back(RecordFacet<R>(
        "DTSTART", true, {"DTSTART", "DTEND", "DURATION"}, {},
        [](const R& a, const R& b) {
            return a.allDay == b.allDay && SameZoneForm(a.zone, b.zone) &&
                   a.zoneStart == b.zoneStart && a.zoneEnd == b.zoneEnd && a.start == b.start &&
                   a.end == b.end;
        },
        [](R& into, const R& from) {
            into.allDay = from.allDay;
            into.zone = from.zone;
            into.zoneStart = from.zoneStart;
            into.zoneEnd = from.zoneEnd;
            into.start = from.start;
            into.end = from.end;
        }));
    facets.push_back(RecordFacet<R>(
        "RRULE", true, {"RRULE", "RDATE", "EXDATE", "EXRULE"}, {},
        [](const R& a, const R& b) {
            return a.recurrence.rule == b.recurrence.rule &&
                   a.recurrence.exceptionDates == b.recurrence.exceptionDates &&
                   a.recurrence.extraDates == b.recurrence.extraDates;
        },
        [](R& into, const R& from) {
            into.recurrence.rule = from.recurrence.rule;
            into.recurrence.exceptionDates = from.recurrence.exceptionDates;
            into.recurrence.extraDates = from.recurrence.extraDates;
        }));
    facets.push_back(RecordFacet<R>(
        "STATUS", true, {"STATUS"}, {},
        [](const R& a, const R& b) { return a.cancelled == b.cancelled; },
        [](R& into, const R& from) { into.cancelled = from.cancelled; }));
    facets.push_back(RecordFacet<R>(
        "VALARM", false, {}, {"VALARM"},
        [](const R& a, const R& b) { return a.reminderSet == b.reminderSet; },
        [](R& into, const R& from) { into.reminderSet = from.reminderSet; }));
    // The memo with its handwriting: the typed text and the drawing are one memo.
    Facet memo = RecordFacet<R>(
        "DESCRIPTION", false, {"DESCRIPTION"}, {},
        [](const R& a, const R& b) { return a.body == b.body && a.handwritten == b.handwritten; },
        [](R& into, const R& from) {
            into.body = from.body;
            into.handwritten = from.handwritten;
        });
    facets.push_back(Facet{memo.name, false,
                           [same = memo.same](const ServerItem& a, const ServerItem& b) {
                               return same(a, b) &&
                                      a.ink.item.has_value() == b.ink.item.has_value() &&
                                      (!a.ink.item || a.ink.item->bytes == b.ink.item->bytes);
                           },
                           [take = memo.take](ServerItem& into, const ServerItem& from) {
                               take(into, from);
                               into.ink.item = from.ink.item;
                           }});
    return facets;
}

std::vector<Facet> TaskFacets() {
    using R = TaskRecord;
    std::vector<Facet> facets = SharedFacets<R>();
    facets.push_back(RecordFacet<R>(
        "DESCRIPTION", false, {"DESCRIPTION"}, {},
        [](const R& a, const R& b) { return a.body == b.body; },
        [](R& into, const R& from) { into.body = from.body; }));
    facets.push_back(RecordFacet<R>(
        "DUE", true, {"DUE"}, {},
        [](const R& a, const R& b) {
            return a.dueDate == b.dueDate && SameZoneForm(a.dueZone, b.dueZone) &&
                   a.zoneDue == b.zoneDue;
        },
        [](R& into, const R& from) {
            into.dueDate = from.dueDate;
            into.dueZone = from.dueZone;
            into.zoneDue = from.zoneDue;
        }));
    facets.push_back(RecordFacet<R>(
        "STATUS", true, {"STATUS", "COMPLETED", "PERCENT-COMPLETE"}, {},
        [](const R& a, const R& b) {
            return a.complete == b.complete && a.dateCompleted == b.dateCompleted;
        },
        [](R& into, const R& from) {
            into.complete = from.complete;
            into.dateCompleted = from.dateCompleted;
        }));
    return facets;
}

// Every facet of the item in any of the versions: the record's own, each kept property and
// component of other programs, and each changed occurrence of a series.
std::vector<Facet> FacetsOf(const std::vector<const ServerItem*>& versions) {
    const bool task = versions.front()->kind == calendar::ItemKind::Task;
    std::vector<Facet> facets = task ? TaskFacets() : AppointmentFacets();
    const std::set<std::string>& owned = task ? kTaskOwned : kAppointmentOwned;
    std::set<std::string> names;
    std::set<std::string> components;
    std::set<platform::Date> occurrences;
    for (const ServerItem* version : versions) {
        const KeptLines kept = calendar::SplitKeptLines(ExtraOf(*version));
        for (const std::string& line : kept.properties) {
            const std::string name = calendar::ical::NameOfLine(line);
            if (!owned.contains(name) && !IsVersionLineName(name)) {
                names.insert(name);
            }
        }
        for (const std::vector<std::string>& block : kept.components) {
            const std::string name = ComponentNameOf(block);
            if (!owned.contains(name)) {
                components.insert(name);
            }
        }
        if (!task) {
            for (const OccurrenceChange& change : version->appointment.recurrence.changes) {
                occurrences.insert(change.recurrenceId);
            }
        }
    }
    for (const std::string& name : names) {
        facets.push_back(KeptFacet(name, false));
    }
    for (const std::string& name : components) {
        facets.push_back(KeptFacet(name, true));
    }
    for (const platform::Date recurrenceId : occurrences) {
        facets.push_back(OccurrenceFacet(recurrenceId));
    }
    return facets;
}

void SetSequence(ServerItem& item, int64_t sequence) {
    ExtraOf(item) = calendar::ReplaceKeptProperty(ExtraOf(item), "SEQUENCE",
                                                  "SEQUENCE:" + std::to_string(sequence));
}

}  // namespace

Side LaterSide(const VersionStamp& here, const VersionStamp& server) {
    if (here.sequence != server.sequence) {
        return here.sequence > server.sequence ? Side::Here : Side::Server;
    }
    if (here.changedAt && (!server.changedAt || *here.changedAt >= *server.changedAt)) {
        return Side::Here;
    }
    return Side::Server;
}

int64_t SequenceOf(const ServerItem& item) {
    int64_t sequence = 0;
    for (const std::string& line : calendar::SplitKeptLines(ExtraOf(item)).properties) {
        if (calendar::ical::NameOfLine(line) == "SEQUENCE") {
            const std::string_view value = calendar::ical::Trim(calendar::ical::ValueOfLine(line));
            std::from_chars(value.data(), value.data() + value.size(), sequence);
        }
    }
    return std::max<int64_t>(sequence, 0);
}

bool SameMeaning(const ServerItem& one, const ServerItem& other) {
    if (one.kind != other.kind) {
        return false;
    }
    for (const Facet& facet : FacetsOf({&one, &other})) {
        if (!facet.same(one, other)) {
            return false;
        }
    }
    return true;
}

bool HoldsChangesOf(const ServerItem& copy, const ServerItem& sent, const ServerItem* agreed) {
    if (copy.kind != sent.kind || (agreed && agreed->kind != sent.kind)) {
        return false;
    }
    std::vector<const ServerItem*> versions{&copy, &sent};
    if (agreed) {
        versions.push_back(agreed);
    }
    for (const Facet& facet : FacetsOf(versions)) {
        if ((!agreed || !facet.same(sent, *agreed)) && facet.same(copy, sent)) {
            return true;
        }
    }
    return false;
}

ItemMerge MergeItems(const ServerItem* base, const ServerItem& here, const ServerItem& server,
                     Side later) {
    ItemMerge merge;
    merge.merged = server;
    if (here.kind != server.kind || (base && base->kind != server.kind)) {
        // Not one item any more: the later side's whole.
        merge.merged = later == Side::Here ? here : server;
        merge.conflicts.push_back("the kind of item");
        merge.sendToServer = later == Side::Here;
        merge.storeHere = later == Side::Server;
        return merge;
    }
    std::vector<const ServerItem*> versions{&here, &server};
    if (base) {
        versions.push_back(base);
    }
    bool significantFromHere = false;
    for (const Facet& facet : FacetsOf(versions)) {
        if (facet.same(here, server)) {
            continue;
        }
        const bool changedHere = !base || !facet.same(here, *base);
        const bool changedThere = !base || !facet.same(server, *base);
        Side taken = changedHere ? Side::Here : Side::Server;
        if (changedHere && changedThere) {
            merge.conflicts.push_back(facet.name);
            taken = later;
        }
        if (taken == Side::Here) {
            facet.take(merge.merged, here);
            merge.sendToServer = true;
            significantFromHere = significantFromHere || facet.significant;
        } else {
            merge.storeHere = true;
        }
    }
    // A version's SEQUENCE never goes down, and goes up where the server's clients are to see a
    // new version of what they hold.
    const int64_t hereSequence = SequenceOf(here);
    const int64_t serverSequence = SequenceOf(server);
    int64_t sequence = std::max(hereSequence, serverSequence);
    if (significantFromHere) {
        sequence = std::max(sequence, serverSequence + 1);
    }
    if (sequence != serverSequence) {
        SetSequence(merge.merged, sequence);
        merge.sendToServer = true;
    }
    if (sequence != hereSequence) {
        merge.storeHere = true;
    }
    return merge;
}

}  // namespace calendar_sync

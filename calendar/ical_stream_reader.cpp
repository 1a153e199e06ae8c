// Reading a calendar file as a stream: a first pass for what the second needs of the whole file,
// then its items in batches, in memory that does not grow with the file.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "calendar/ical_io.h"
#include "calendar/ical_lines.h"
#include "calendar/ical_reading.h"
#include "calendar/ical_stream.h"
#include "calendar/ical_values.h"

namespace calendar {
namespace {

using ical::Component;
using ical::ContentLine;
using ical::LineError;
using ical::LineValues;
using ical::Problem;
using ical::Trim;
using platform::Result;

// The most the first pass of a streamed reading keeps for the second: the own lines of calendars
// that say more than their version, and the zones of calendars that give them after their items.
constexpr size_t kMaxOutlineBytes = 32 * 1024 * 1024;
// No calendar is being read.
constexpr size_t kNoCalendar = SIZE_MAX;

size_t HeldBytes(const Component& component) {
    size_t bytes = component.beginText.size() + component.endText.size();
    for (const ContentLine& line : component.properties) {
        bytes += line.text.size() + sizeof(ContentLine);
    }
    for (const Component& child : component.children) {
        bytes += HeldBytes(child);
    }
    return bytes + (component.problems.size() + component.brokenLines.size()) * sizeof(Problem);
}

// What the first pass of a streamed reading learns of the whole file, for the second.
struct FileOutline {
    // The UIDs of the VEVENTs that change an occurrence of a series: their series are held until
    // the end of their calendar, where the changes join them.
    std::set<std::string> changedSeries;
    // The own lines of each calendar (by number) that says more than "VERSION:2.0" and lines
    // that read as they stand: its problems, say, or VERSION:1.0.
    std::map<size_t, Component> heads;
    // The calendars with a line written as vCalendar 1.0 writes it.
    std::set<size_t> writtenAsVersion1;
    // The zones of each calendar that gives a VTIMEZONE after one of its items.
    std::map<size_t, std::vector<Component>> lateZones;
    uint64_t bytes = 0;
    size_t heldBytes = 0;
};

// A calendar whose own lines the second pass can do without: it reads them as if empty.
bool IsPlainHead(const Component& calendar) {
    if (!calendar.problems.empty() || !calendar.brokenLines.empty()) {
        return false;
    }
    return std::all_of(calendar.properties.begin(), calendar.properties.end(),
                       [](const ContentLine& line) {
                           return (line.name != "VERSION" || Trim(line.value()) == "2.0") &&
                                  ical::ReadWithLibical(line).ok();
                       });
}

// The UID of a VEVENT that changes an occurrence of a series, as the reading will take it.
std::optional<std::string> ChangedSeriesUid(const Component& event) {
    if (event.name != "VEVENT" || !event.Has("RECURRENCE-ID")) {
        return std::nullopt;
    }
    for (const ContentLine& line : event.properties) {
        if (line.name == "UID") {
            Result<LineValues> values = ical::ReadWithLibical(line);
            return values.ok() ? ical::TextOf(*values) : std::string(line.value());
        }
    }
    return std::nullopt;
}

// Reads the source's content lines into components and hands each piece to `take`, in the
// order of the file; the first error, the reading's or the taker's, ends it. Both passes read
// this way. Gives how many bytes were read.
Result<uint64_t> ReadPieces(
    CalendarSource& source,
    const std::function<Result<void>(ical::ComponentStream::Piece&)>& take) {
    ical::ContentLineReader lines(source);
    ical::ComponentStream components;
    for (bool more = true; more;) {
        Result<std::optional<ContentLine>> line = lines.Next();
        if (!line.ok()) {
            return line.error();
        }
        more = line->has_value();
        if (more) {
            components.Add(std::move(**line));
        } else {
            components.Finish();
        }
        while (std::optional<ical::ComponentStream::Piece> piece = components.Next()) {
            if (Result<void> taken = take(*piece); !taken.ok()) {
                return taken.error();
            }
        }
    }
    return lines.BytesRead();
}

// The first pass: the file read through once, keeping only what FileOutline keeps.
Result<FileOutline> Outline(CalendarSource& source) {
    FileOutline outline;
    // The calendar being read, its zones so far, and whether one came after an item.
    size_t current = kNoCalendar;
    std::vector<Component> zones;
    size_t zoneBytes = 0;
    bool itemSeen = false;
    bool lateZone = false;
    bool version1 = false;
    size_t calendars = 0;
    auto startCalendar = [&](size_t calendar) {
        if (current != calendar) {
            current = calendar;
            zones.clear();
            zoneBytes = 0;
            itemSeen = lateZone = version1 = false;
        }
    };
    Result<uint64_t> bytes =
        ReadPieces(source, [&](ical::ComponentStream::Piece& piece) -> Result<void> {
            if (piece.kind == ical::ComponentStream::Piece::Kind::Outside) {
                return {};
            }
            startCalendar(piece.calendar);
            Component& component = piece.component;
            if (piece.kind == ical::ComponentStream::Piece::Kind::Item) {
                version1 = version1 || IsWrittenAsVersion1(component, false);
                if (component.name == "VTIMEZONE") {
                    lateZone = lateZone || itemSeen;
                    zoneBytes += HeldBytes(component);
                    zones.push_back(std::move(component));
                } else {
                    itemSeen = true;
                    if (std::optional<std::string> uid = ChangedSeriesUid(component)) {
                        outline.heldBytes += uid->size() + sizeof(std::string);
                        outline.changedSeries.insert(std::move(*uid));
                    }
                }
                if (outline.heldBytes + zoneBytes > kMaxOutlineBytes) {
                    return LineError(component.beginLine,
                                     "the calendar's time zones and changed series take more "
                                     "than " +
                                         std::to_string(kMaxOutlineBytes / (1024 * 1024)) +
                                         " MiB to be kept while its items are read");
                }
                return {};
            }
            ++calendars;
            if (version1 || IsWrittenAsVersion1(component, true)) {
                outline.writtenAsVersion1.insert(piece.calendar);
            }
            if (lateZone) {
                outline.heldBytes += zoneBytes;
                outline.lateZones[piece.calendar] = std::move(zones);
            }
            if (!IsPlainHead(component)) {
                outline.heldBytes += HeldBytes(component);
                outline.heads[piece.calendar] = std::move(component);
            }
            if (outline.heldBytes > kMaxOutlineBytes) {
                return LineError(component.beginLine,
                                 "the calendar's own lines and time zones take more than " +
                                     std::to_string(kMaxOutlineBytes / (1024 * 1024)) +
                                     " MiB to be kept while its items are read");
            }
            current = kNoCalendar;
            return {};
        });
    if (!bytes.ok()) {
        return bytes.error();
    }
    if (calendars == 0) {
        return LineError(1, "not an iCalendar file: it holds no BEGIN:VCALENDAR");
    }
    outline.bytes = *bytes;
    return outline;
}

// The second pass: the file read again, its items handed on in batches.
class StreamReading {
public:
    StreamReading(const FileOutline& outline, ImportMode mode, size_t batchItems,
                  const CalendarBatchTaker& take)
        : outline_(outline), mode_(mode), batchItems_(batchItems), take_(take) {}

    Result<void> Read(CalendarSource& source) {
        Result<uint64_t> bytes = ReadPieces(
            source, [this](ical::ComponentStream::Piece& piece) { return Take(std::move(piece)); });
        if (!bytes.ok()) {
            return bytes.error();
        }
        if (*bytes != outline_.bytes) {
            return platform::MakeError("the file changed while it was read");
        }
        return Flush(true);
    }

private:
    using Kind = ical::ComponentStream::Piece::Kind;

    Result<void> Take(ical::ComponentStream::Piece piece) {
        if (piece.kind == Kind::Outside) {
            SkipOutside(state_, piece.outside);
            return {};
        }
        if (calendar_ != piece.calendar) {
            if (Result<void> ended = EndCalendar(); !ended.ok()) {
                return ended;
            }
            StartCalendar(piece.calendar);
        }
        if (piece.kind == Kind::CalendarEnd) {
            return EndCalendar();
        }
        if (!reading_) {
            return {};
        }
        if (piece.component.name == "VTIMEZONE") {
            if (!outline_.lateZones.contains(piece.calendar)) {
                ReadZone(piece.component, state_);
            }
            return {};
        }
        ReadItem(piece.component, state_);
        return ++items_ >= batchItems_ ? Flush(false) : Result<void>();
    }

    void StartCalendar(size_t calendar) {
        calendar_ = calendar;
        const auto head = outline_.heads.find(calendar);
        reading_ = BeginCalendar(head == outline_.heads.end() ? Component() : head->second,
                                 outline_.writtenAsVersion1.contains(calendar), state_);
        const auto zones = outline_.lateZones.find(calendar);
        if (reading_ && zones != outline_.lateZones.end()) {
            for (const Component& zone : zones->second) {
                ReadZone(zone, state_);
            }
        }
    }

    Result<void> EndCalendar() {
        if (calendar_ == kNoCalendar) {
            return {};
        }
        calendar_ = kNoCalendar;
        if (reading_) {
            // The zones of this VCALENDAR are still there for the changes' RECURRENCE-IDs.
            AttachChanges(state_);
        }
        return Flush(true);
    }

    // Hands on what has been read, but for the series that changes may still join (all of it
    // when `all`).
    Result<void> Flush(bool all) {
        items_ = 0;
        ImportedCalendar& read = state_.result;
        ImportedCalendar batch;
        ImportedCalendar held;
        for (size_t i = 0; i < read.appointments.size(); ++i) {
            ImportedCalendar& to =
                !all && outline_.changedSeries.contains(read.appointments[i].uid) ? held : batch;
            to.appointments.push_back(std::move(read.appointments[i]));
            to.appointmentsGive.push_back(read.appointmentsGive[i]);
            to.appointmentsInk.push_back(std::move(read.appointmentsInk[i]));
        }
        batch.tasks = std::move(read.tasks);
        batch.tasksGive = std::move(read.tasksGive);
        batch.skipped = std::move(read.skipped);
        batch.changedOccurrences = std::move(read.changedOccurrences);
        batch.dropped = std::move(state_.context.dropped);
        batch.notes = std::move(state_.context.notes);
        state_.context.dropped.clear();
        state_.context.notes.clear();
        state_.taskByUid.clear();
        state_.eventByUid.clear();
        for (size_t i = 0; i < held.appointments.size(); ++i) {
            state_.eventByUid.emplace(held.appointments[i].uid, i);
        }
        read = std::move(held);
        std::optional<platform::Error> refusal = FirstRefusal(state_);
        state_.refusals.clear();
        if (refusal && mode_ == ImportMode::AllOrNothing) {
            return *refusal;
        }
        SortSkipped(batch.skipped);
        const bool empty = batch.appointments.empty() && batch.tasks.empty() &&
                           batch.skipped.empty() && batch.dropped.empty() && batch.notes.empty() &&
                           batch.changedOccurrences.empty();
        return empty ? Result<void>() : take_(batch);
    }

    const FileOutline& outline_;
    ImportMode mode_;
    size_t batchItems_;
    const CalendarBatchTaker& take_;
    ImportState state_;
    size_t calendar_ = kNoCalendar;
    bool reading_ = false;
    size_t items_ = 0;
};

}  // namespace

platform::Result<void> StreamICalendar(CalendarSource& source, ImportMode mode,
                                       const CalendarBatchTaker& take, size_t batchItems) {
    if (Result<void> rewound = source.Rewind(); !rewound.ok()) {
        return rewound;
    }
    Result<FileOutline> outline = Outline(source);
    if (!outline.ok()) {
        return outline.error();
    }
    if (Result<void> rewound = source.Rewind(); !rewound.ok()) {
        return rewound;
    }
    StreamReading reading(*outline, mode, std::max<size_t>(batchItems, 1), take);
    return reading.Read(source);
}

}  // namespace calendar

#include "store/item_snapshot.h"

#include <bit>
#include <cstring>
#include <utility>

#include "calendar/ical_extras.h"
#include "calendar/item_zones.h"

namespace store {
namespace {

using platform::Date;
using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

// The first byte of a snapshot: which kind of item, in which layout.
constexpr char kAppointmentLayout = 'A';
constexpr char kTaskLayout = 'T';
constexpr char kInkLayout = 'I';

class Writer {
public:
    explicit Writer(char layout) { bytes_.push_back(layout); }

    void Number(uint64_t value) {
        for (int shift = 0; shift < 64; shift += 8) {
            bytes_.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    }
    void Flag(bool value) { bytes_.push_back(value ? '\1' : '\0'); }
    void Time(Date date) { Number(std::bit_cast<uint64_t>(DateToLinear(date))); }
    void Bytes(std::string_view text) {
        Number(text.size());
        bytes_.append(text);
    }
    void Text(std::u16string_view text) {
        Number(text.size());
        for (char16_t unit : text) {
            bytes_.push_back(static_cast<char>(unit & 0xFF));
            bytes_.push_back(static_cast<char>(unit >> 8));
        }
    }
    void Zone(const calendar::ItemZone& zone) {
        Number(static_cast<uint64_t>(zone.form));
        Bytes(zone.tzid);
        Bytes(zone.definition);
    }
    void Times(const std::vector<Date>& dates) {
        Number(dates.size());
        for (Date date : dates) {
            Time(date);
        }
    }

    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

class Reader {
public:
    Reader(std::string_view bytes, char layout) : bytes_(bytes) {
        ok_ = !bytes_.empty() && bytes_[0] == layout;
        at_ = 1;
    }

    uint64_t Number() {
        if (!Has(8)) {
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value |= uint64_t{static_cast<unsigned char>(bytes_[at_ + i])} << (8 * i);
        }
        at_ += 8;
        return value;
    }
    bool Flag() {
        if (!Has(1)) {
            return false;
        }
        return bytes_[at_++] != '\0';
    }
    Date Time() { return LinearToDate(std::bit_cast<double>(Number())); }
    std::string Bytes() {
        const uint64_t size = Number();
        if (!Has(size)) {
            return {};
        }
        std::string text(bytes_.substr(at_, size));
        at_ += size;
        return text;
    }
    std::u16string Text() {
        const uint64_t size = Number();
        if (size > bytes_.size() / 2 || !Has(size * 2)) {
            ok_ = false;
            return {};
        }
        std::u16string text(size, u'\0');
        for (uint64_t i = 0; i < size; ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes_[at_]) |
                                            static_cast<unsigned char>(bytes_[at_ + 1]) << 8);
            at_ += 2;
        }
        return text;
    }
    calendar::ItemZone Zone() {
        calendar::ItemZone zone;
        const uint64_t form = Number();
        if (form > static_cast<uint64_t>(calendar::ItemZone::Form::Zoned)) {
            ok_ = false;
        }
        zone.form = static_cast<calendar::ItemZone::Form>(form);
        zone.tzid = Bytes();
        zone.definition = Bytes();
        return zone;
    }
    std::vector<Date> Times() {
        const uint64_t count = Number();
        std::vector<Date> dates;
        if (count > bytes_.size() / 8) {
            ok_ = false;
            return dates;
        }
        dates.reserve(count);
        for (uint64_t i = 0; i < count && ok_; ++i) {
            dates.push_back(Time());
        }
        return dates;
    }
    // How many of something follows, each at least `smallest` bytes long.
    uint64_t Count(uint64_t smallest) {
        const uint64_t count = Number();
        if (count > bytes_.size() / smallest) {
            ok_ = false;
            return 0;
        }
        return count;
    }

    bool AtEnd() const { return at_ == bytes_.size(); }
    // Whether everything read was there, and nothing is left over.
    bool Whole() const { return ok_ && at_ == bytes_.size(); }
    bool ok() const { return ok_; }

private:
    bool Has(uint64_t size) {
        if (!ok_ || size > bytes_.size() - at_) {
            ok_ = false;
        }
        return ok_;
    }

    std::string_view bytes_;
    size_t at_ = 0;
    bool ok_ = false;
};

Error Damaged() {
    return Error{"a step kept to take a change back is damaged"};
}

void WriteChange(Writer& out, const calendar::OccurrenceChange& change) {
    out.Time(change.recurrenceId);
    out.Flag(change.thisAndFuture);
    out.Flag(change.cancelled);
    out.Time(change.start);
    out.Time(change.end);
    out.Time(change.zoneStart);
    out.Time(change.zoneEnd);
    out.Flag(change.allDay);
    out.Flag(change.reminderSet);
    out.Text(change.subject);
    out.Text(change.location);
    out.Text(change.body);
    out.Flag(change.handwritten);
    out.Text(change.categories);
    out.Bytes(change.extraProperties);
}

calendar::OccurrenceChange ReadChange(Reader& in) {
    calendar::OccurrenceChange change;
    change.recurrenceId = in.Time();
    change.thisAndFuture = in.Flag();
    change.cancelled = in.Flag();
    change.start = in.Time();
    change.end = in.Time();
    change.zoneStart = in.Time();
    change.zoneEnd = in.Time();
    change.allDay = in.Flag();
    change.reminderSet = in.Flag();
    change.subject = in.Text();
    change.location = in.Text();
    change.body = in.Text();
    change.handwritten = in.Flag();
    change.categories = in.Text();
    change.extraProperties = in.Bytes();
    return change;
}

// 64-bit FNV-1a: stable across builds and machines, as a fingerprint kept in the store must be.
uint64_t Hash(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash == kNoItem ? 1 : hash;
}

// Kept lines without the stamps a save here sets (and a change taken back sets again), which
// say when an item changed, not what it holds.
std::string WithoutStamps(std::string_view kept) {
    std::string out = calendar::ReplaceKeptProperty(kept, "LAST-MODIFIED", "");
    out = calendar::ReplaceKeptProperty(out, "DTSTAMP", "");
    return calendar::ReplaceKeptProperty(out, "SEQUENCE", "");
}

bool LocalTimesWorkedOut(const calendar::ItemZone& zone, bool allDay) {
    return zone.zoned() && !allDay;
}

// An item of the store's first calendar is kept as items were before there were others (the
// snapshots and fingerprints of earlier steps stay valid); one of another calendar ends with
// that calendar's id.
void WriteCalendar(Writer& out, int64_t calendarId) {
    if (calendarId > 1) {
        out.Number(static_cast<uint64_t>(calendarId));
    }
}
int64_t ReadCalendar(Reader& in) {
    return in.AtEnd() ? 1 : static_cast<int64_t>(in.Number());
}

}  // namespace

std::string EncodeItem(const calendar::AppointmentRecord& record) {
    Writer out(kAppointmentLayout);
    out.Time(record.start);
    out.Time(record.end);
    out.Zone(record.zone);
    out.Time(record.zoneStart);
    out.Time(record.zoneEnd);
    out.Flag(record.allDay);
    out.Flag(record.reminderSet);
    out.Text(record.subject);
    out.Text(record.location);
    out.Text(record.body);
    out.Flag(record.handwritten);
    out.Text(record.categories);
    out.Bytes(record.recurrence.rule);
    out.Times(record.recurrence.exceptionDates);
    out.Times(record.recurrence.extraDates);
    out.Number(record.recurrence.changes.size());
    for (const calendar::OccurrenceChange& change : record.recurrence.changes) {
        WriteChange(out, change);
    }
    out.Flag(record.cancelled);
    out.Bytes(record.uid);
    out.Bytes(record.extraProperties);
    WriteCalendar(out, record.calendarId);
    return out.Take();
}

std::string EncodeItem(const calendar::TaskRecord& record) {
    Writer out(kTaskLayout);
    out.Time(record.dueDate);
    out.Zone(record.dueZone);
    out.Time(record.zoneDue);
    out.Time(record.dateCompleted);
    out.Flag(record.complete);
    out.Text(record.subject);
    out.Text(record.body);
    out.Text(record.categories);
    out.Bytes(record.uid);
    out.Bytes(record.extraProperties);
    WriteCalendar(out, record.calendarId);
    return out.Take();
}

platform::Result<calendar::AppointmentRecord> DecodeAppointment(std::string_view bytes) {
    Reader in(bytes, kAppointmentLayout);
    calendar::AppointmentRecord record;
    record.start = in.Time();
    record.end = in.Time();
    record.zone = in.Zone();
    record.zoneStart = in.Time();
    record.zoneEnd = in.Time();
    record.allDay = in.Flag();
    record.reminderSet = in.Flag();
    record.subject = in.Text();
    record.location = in.Text();
    record.body = in.Text();
    record.handwritten = in.Flag();
    record.categories = in.Text();
    record.recurrence.rule = in.Bytes();
    record.recurrence.exceptionDates = in.Times();
    record.recurrence.extraDates = in.Times();
    // The smallest change: five times and five lengths of 8 bytes each, and five flags.
    const uint64_t changes = in.Count(5 * 8 + 5 * 8 + 5);
    for (uint64_t i = 0; i < changes && in.ok(); ++i) {
        record.recurrence.changes.push_back(ReadChange(in));
    }
    record.cancelled = in.Flag();
    record.uid = in.Bytes();
    record.extraProperties = in.Bytes();
    record.calendarId = ReadCalendar(in);
    if (!in.Whole()) {
        return Damaged();
    }
    return record;
}

platform::Result<calendar::TaskRecord> DecodeTask(std::string_view bytes) {
    Reader in(bytes, kTaskLayout);
    calendar::TaskRecord record;
    record.dueDate = in.Time();
    record.dueZone = in.Zone();
    record.zoneDue = in.Time();
    record.dateCompleted = in.Time();
    record.complete = in.Flag();
    record.subject = in.Text();
    record.body = in.Text();
    record.categories = in.Text();
    record.uid = in.Bytes();
    record.extraProperties = in.Bytes();
    record.calendarId = ReadCalendar(in);
    if (!in.Whole()) {
        return Damaged();
    }
    return record;
}

std::string EncodeInk(const std::vector<KeptInk>& ink) {
    Writer out(kInkLayout);
    out.Number(ink.size());
    for (const KeptInk& file : ink) {
        out.Text(file.name);
        out.Bytes(file.bytes);
    }
    return out.Take();
}

platform::Result<std::vector<KeptInk>> DecodeInk(std::string_view bytes) {
    Reader in(bytes, kInkLayout);
    std::vector<KeptInk> ink;
    const uint64_t count = in.Count(2 * 8);
    for (uint64_t i = 0; i < count && in.ok(); ++i) {
        KeptInk file;
        file.name = in.Text();
        file.bytes = in.Bytes();
        ink.push_back(std::move(file));
    }
    if (!in.Whole()) {
        return Damaged();
    }
    return ink;
}

uint64_t Fingerprint(const calendar::AppointmentRecord& record) {
    calendar::AppointmentRecord kept = record;
    kept.extraProperties = WithoutStamps(kept.extraProperties);
    for (calendar::OccurrenceChange& change : kept.recurrence.changes) {
        change.extraProperties = WithoutStamps(change.extraProperties);
    }
    if (LocalTimesWorkedOut(kept.zone, kept.allDay)) {
        kept.start = kept.end = 0;
        for (calendar::OccurrenceChange& change : kept.recurrence.changes) {
            if (!change.allDay) {
                change.start = change.end = 0;
            }
        }
    }
    return Hash(EncodeItem(kept));
}

uint64_t Fingerprint(const calendar::TaskRecord& record) {
    calendar::TaskRecord kept = record;
    kept.extraProperties = WithoutStamps(kept.extraProperties);
    if (kept.dueZone.zoned()) {
        kept.dueDate = 0;
    }
    return Hash(EncodeItem(kept));
}

uint64_t Fingerprint(const ItemState& state) {
    if (state.appointment) {
        return Fingerprint(*state.appointment);
    }
    return state.task ? Fingerprint(*state.task) : kNoItem;
}

void WorkOutLocalTimes(calendar::AppointmentRecord& record) {
    if (!LocalTimesWorkedOut(record.zone, record.allDay)) {
        return;
    }
    const auto local = [&](Date wall) {
        return calendar::ZoneWallToLocal(record.zone, wall).value_or(wall);
    };
    record.start = local(record.zoneStart);
    record.end = local(record.zoneEnd);
    for (calendar::OccurrenceChange& change : record.recurrence.changes) {
        if (!change.allDay) {
            change.start = local(change.zoneStart);
            change.end = local(change.zoneEnd);
        }
    }
}

void WorkOutLocalTimes(calendar::TaskRecord& record) {
    if (record.dueZone.zoned()) {
        record.dueDate =
            calendar::ZoneWallToLocal(record.dueZone, record.zoneDue).value_or(record.zoneDue);
    }
}

}  // namespace store

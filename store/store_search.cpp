#include <algorithm>
#include <limits>

#include "calendar/handwritten_memo.h"
#include "platform/text/unicode_text.h"
#include "store/recurrence_expander.h"
#include "store/search_folding.h"
#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

// Finding items by their texts: SQLite reads every text once through a function of ours that
// folds it as a search compares texts, so that no item is loaded unless it holds the text; a
// series is then walked only as far as it takes to find the occurrence to show.
namespace store {
namespace {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

// The SQL function folded_finds(text, needle[, handwritten]): 1 when the text holds the folded
// needle. With `handwritten` set, the text is a memo whose first line may name its ink file,
// which is no text of the user's and is left out.
void FoldedFinds(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto view = [](sqlite3_value* value) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return text ? std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value)))
                    : std::string_view();
    };
    const std::string_view needle = view(argv[1]);
    std::string_view text = view(argv[0]);
    std::string typed;
    if (argc == 3 && sqlite3_value_int(argv[2]) != 0) {
        const std::u16string body = platform::Utf8ToUtf16Lossy(text);
        typed = platform::Utf16ToUtf8Lossy(calendar::TypedTextOf(body, true));
        text = typed;
    }
    sqlite3_result_int(context, HoldsFolded(text, needle) ? 1 : 0);
}

// Whether an appointment's (or a changed occurrence's) texts hold the folded needle: subject,
// place and the typed memo.
bool TextsHold(const std::string& needle, std::u16string_view subject, std::u16string_view location,
               std::u16string_view body, bool handwritten) {
    return HoldsFolded(platform::Utf16ToUtf8Lossy(subject), needle) ||
           HoldsFolded(platform::Utf16ToUtf8Lossy(location), needle) ||
           HoldsFolded(platform::Utf16ToUtf8Lossy(calendar::TypedTextOf(body, handwritten)),
                       needle);
}

// A series is walked a year at a time; a series found is walked over at most this many years
// either side of the day searched from, so that a rule which never comes round again (or a
// change kept centuries away) costs what a few hundred windows cost.
constexpr double kSearchWindowDays = 366;
constexpr int kMostSearchWindows = 400;
// How far a zone may move a wall-clock time from the local one, with room to spare.
constexpr double kSearchZoneMarginDays = 2;

// The occurrence of one series a search shows.
class SeriesSearch {
public:
    SeriesSearch(const calendar::AppointmentRecord& series, const std::string& expansionRule,
                 std::optional<double> lastEndLinear, const std::string& needle)
        : series_(series), rule_(expansionRule), lastEnd_(lastEndLinear) {
        seriesHolds_ =
            TextsHold(needle, series.subject, series.location, series.body, series.handwritten);
        earliest_ = DateToLinear(series.start);
        for (const calendar::OccurrenceChange& change : series.recurrence.changes) {
            changeHolds_.push_back(TextsHold(needle, change.subject, change.location, change.body,
                                             change.handwritten));
            horizon_ = std::max({horizon_, DateToLinear(change.recurrenceId),
                                 DateToLinear(change.start), DateToLinear(change.end)});
            earliest_ = std::min(earliest_, DateToLinear(change.start));
        }
        for (const Date extra : series.recurrence.extraDates) {
            earliest_ = std::min(earliest_, DateToLinear(extra));
        }
        earliest_ -= kSearchZoneMarginDays;
        horizon_ += kSearchZoneMarginDays;
    }

    // The first occurrence holding the text that starts at `fromLinear` or later, else the last
    // one that starts before it; nothing when no occurrence holds it.
    std::optional<std::pair<Occurrence, SeriesOccurrence>> Pick(double fromLinear) {
        // Up to the last change the texts may differ from one occurrence to the next.
        if (fromLinear < horizon_) {
            if (auto found = FirstHolding(fromLinear, horizon_)) {
                return std::pair(*found, SeriesOccurrence::Next);
            }
        }
        // After it every occurrence reads as the first one does.
        const std::vector<Occurrence> tail = ExpandStoredOccurrences(
            series_, rule_, std::max(fromLinear, horizon_), std::nullopt, 1);
        if (!tail.empty() && Holds(tail.front())) {
            return std::pair(tail.front(), SeriesOccurrence::Next);
        }
        double before = fromLinear;
        if (lastEnd_) {
            before = std::min(before, *lastEnd_ + kSearchZoneMarginDays);
        }
        if (auto found = LastHolding(earliest_, before)) {
            return std::pair(*found, SeriesOccurrence::Last);
        }
        return std::nullopt;
    }

private:
    bool Holds(const Occurrence& occurrence) const {
        if (occurrence.change == nullptr) {
            return seriesHolds_;
        }
        const auto index =
            static_cast<size_t>(occurrence.change - series_.recurrence.changes.data());
        return index < changeHolds_.size() && changeHolds_[index];
    }

    std::optional<Occurrence> FirstHolding(double low, double high) const {
        for (int window = 0; window < kMostSearchWindows && low < high; ++window) {
            const double next = std::min(high, low + kSearchWindowDays);
            for (const Occurrence& occurrence :
                 ExpandStoredOccurrences(series_, rule_, low, next)) {
                if (Holds(occurrence)) {
                    return occurrence;
                }
            }
            low = next;
        }
        return std::nullopt;
    }

    std::optional<Occurrence> LastHolding(double low, double high) const {
        for (int window = 0; window < kMostSearchWindows && low < high; ++window) {
            const double previous = std::max(low, high - kSearchWindowDays);
            const std::vector<Occurrence> occurrences =
                ExpandStoredOccurrences(series_, rule_, previous, high);
            for (auto occurrence = occurrences.rbegin(); occurrence != occurrences.rend();
                 ++occurrence) {
                if (Holds(*occurrence)) {
                    return *occurrence;
                }
            }
            high = previous;
        }
        return std::nullopt;
    }

    const calendar::AppointmentRecord& series_;
    const std::string& rule_;
    std::optional<double> lastEnd_;
    bool seriesHolds_ = false;
    std::vector<bool> changeHolds_;
    double earliest_ = 0;
    double horizon_ = -std::numeric_limits<double>::infinity();
};

// The order of the list: by date, appointments before tasks at the same moment, then by object
// id.
bool FoundEarlier(const FoundItem& a, const FoundItem& b) {
    const double aStart = DateToLinear(a.start);
    const double bStart = DateToLinear(b.start);
    if (aStart != bStart) {
        return aStart < bStart;
    }
    if (a.kind != b.kind) {
        return a.kind == calendar::ItemKind::Appointment;
    }
    return a.oid < b.oid;
}

constexpr const char* kTextsHold =
    "(folded_finds(subject, ?1) OR folded_finds(location, ?1) OR "
    "folded_finds(body, ?1, handwritten))";

}  // namespace

void StoreDatabase::RegisterSearchFunctions() {
    if (searchFunctionsRegistered_) {
        return;
    }
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (const int arguments : {2, 3}) {
        sqlite3_create_function_v2(db_, "folded_finds", arguments, kFlags, nullptr, &FoldedFinds,
                                   nullptr, nullptr, nullptr);
    }
    searchFunctionsRegistered_ = true;
}

Result<FoundItems> StoreDatabase::FindItems(const std::string& foldedNeedle, double fromLinear,
                                            size_t limit) {
    RegisterSearchFunctions();
    // A read transaction gives the three kinds of item one consistent snapshot.
    ReadSnapshot snapshot(db_);
    if (!snapshot.began()) {
        return SqlError("cannot read the store");
    }
    // One more than the limit tells whether there are more; -1 is SQLite's "no limit".
    const int64_t rows = limit >= static_cast<size_t>(std::numeric_limits<int64_t>::max() - 1)
                             ? -1
                             : static_cast<int64_t>(limit) + 1;
    std::vector<FoundItem> found;

    {
        // Single appointments, read in the order of the time index.
        Statement select(Prepare(
            std::string("SELECT oid, start, end, all_day, subject, location FROM appointments "
                        "WHERE recurring = 0 AND cancelled = 0 AND ") +
            kTextsHold + ShownCalendars() + " ORDER BY start, oid LIMIT ?2"));
        if (!select.ok()) {
            return SqlError("cannot search appointments");
        }
        select.Bind(1, foldedNeedle);
        select.Bind(2, rows);
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            FoundItem item;
            item.oid = static_cast<int32_t>(select.Integer(0));
            item.start = LinearToDate(select.Real(1));
            item.end = LinearToDate(select.Real(2));
            item.allDay = select.Integer(3) != 0;
            item.subject = select.Text16(4);
            item.location = select.Text16(5);
            found.push_back(std::move(item));
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot search appointments");
        }
    }
    {
        // Series whose own texts hold the needle, or the texts of one of their changed
        // occurrences do.
        Statement select(Prepare(
            std::string("SELECT ") + kAppointmentColumns +
            ", last_end FROM appointments WHERE recurring = 1 AND cancelled = 0 AND (" +
            kTextsHold +
            " OR (changes > 0 AND EXISTS (SELECT 1 FROM occurrence_changes AS c WHERE "
            "c.series_oid = appointments.oid AND c.cancelled = 0 AND (folded_finds(c.subject, "
            "?1) OR folded_finds(c.location, ?1) OR folded_finds(c.body, ?1, c.handwritten)))))" +
            ShownCalendars()));
        if (!select.ok()) {
            return SqlError("cannot search repeating appointments");
        }
        select.Bind(1, foldedNeedle);
        constexpr int kLastEndColumn = kAppointmentColumnCount;
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            calendar::AppointmentRecord series = ReadAppointment(select);
            if (select.Integer(kChangesColumn) > 0) {
                auto changes = ReadChanges(series.oid);
                if (!changes) {
                    return changes.error();
                }
                series.recurrence.changes = std::move(changes).value();
            }
            const std::optional<double> lastEnd = select.IsNull(kLastEndColumn)
                                                      ? std::nullopt
                                                      : std::optional(select.Real(kLastEndColumn));
            const std::string rule = select.Text(kExpansionRuleColumn);
            SeriesSearch search(series, rule, lastEnd, foldedNeedle);
            const auto picked = search.Pick(fromLinear);
            if (!picked) {
                continue;
            }
            const auto& [occurrence, which] = *picked;
            const calendar::AppointmentRecord shown = OccurrenceRecord(series, occurrence);
            FoundItem item;
            item.oid = series.oid;
            item.start = shown.start;
            item.end = shown.end;
            item.allDay = shown.allDay;
            item.occurrence = which;
            item.subject = shown.subject;
            item.location = shown.location;
            found.push_back(std::move(item));
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot search repeating appointments");
        }
    }
    {
        // Tasks, by subject and notes, in the order of their due dates.
        Statement select(
            Prepare(std::string("SELECT oid, due, completed, complete, subject FROM tasks WHERE "
                                "(folded_finds(subject, ?1) OR folded_finds(body, ?1))") +
                    ShownCalendars() + " ORDER BY due, oid LIMIT ?2"));
        if (!select.ok()) {
            return SqlError("cannot search tasks");
        }
        select.Bind(1, foldedNeedle);
        select.Bind(2, rows);
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            FoundItem item;
            item.kind = calendar::ItemKind::Task;
            item.oid = static_cast<int32_t>(select.Integer(0));
            item.start = item.end = LinearToDate(select.Real(1));
            item.dateCompleted = LinearToDate(select.Real(2));
            item.complete = select.Integer(3) != 0;
            item.subject = select.Text16(4);
            found.push_back(std::move(item));
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot search tasks");
        }
    }

    std::sort(found.begin(), found.end(), FoundEarlier);
    FoundItems result;
    result.more = found.size() > limit;
    if (result.more) {
        found.resize(limit);
    }
    result.items = std::move(found);
    return result;
}

}  // namespace store

// The store's zones: the definitions calendars gave their own zones, the zones stores of earlier
// versions take, and the local times worked out again when the planner runs in another zone.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calendar/item_zones.h"
#include "store/recurrence_expander.h"
#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {
namespace {

using platform::DateToLinear;
using platform::LinearToDate;

// The zone the store's local times were last worked out for (store_info).
constexpr const char* kAxisZone = "axis_zone";

calendar::ItemZone Zoned(std::string tzid, std::string definition = {}) {
    return calendar::ItemZone{calendar::ItemZone::Form::Zoned, std::move(tzid),
                              std::move(definition)};
}

// A local time in the item's zone; the time itself when it cannot be converted.
double ToZone(const calendar::ItemZone& zone, double localLinear) {
    const Date local = LinearToDate(localLinear);
    return DateToLinear(calendar::LocalToZoneWall(zone, local).value_or(local));
}

double ToLocal(const calendar::ItemZone& zone, double wallLinear) {
    const Date wall = LinearToDate(wallLinear);
    return DateToLinear(calendar::ZoneWallToLocal(zone, wall).value_or(wall));
}

}  // namespace

Result<int64_t> StoreDatabase::DefinitionId(const calendar::ItemZone& zone) {
    if (!zone.zoned() || zone.definition.empty()) {
        return int64_t{0};
    }
    Statement insert(Prepare("INSERT OR IGNORE INTO zone_definitions(text) VALUES(?)"));
    insert.Bind(1, zone.definition);
    if (!insert.ok() || insert.Step() != SQLITE_DONE) {
        return SqlError("cannot keep the item's time zone");
    }
    Statement select(Prepare("SELECT id FROM zone_definitions WHERE text = ?"));
    select.Bind(1, zone.definition);
    if (!select.ok() || select.Step() != SQLITE_ROW) {
        return SqlError("cannot keep the item's time zone");
    }
    return select.Integer(0);
}

Result<void> StoreDatabase::GiveStoredItemsZones() {
    const calendar::ItemZone inForce = calendar::ZoneInForce();
    struct Row {
        int64_t oid;
        std::string tzid;
        double zoneStart;
        double zoneEnd;
    };
    std::vector<Row> rows;
    {
        Statement select(Prepare(
            "SELECT oid, start, end, all_day, recurring, tzid, zone_start FROM appointments"));
        if (!select.ok()) {
            return SqlError("cannot give the stored items their zones");
        }
        while (select.Step() == SQLITE_ROW) {
            const double start = select.Real(1);
            const double end = select.Real(2);
            const bool allDay = select.Integer(3) != 0;
            const bool recurring = select.Integer(4) != 0;
            std::string tzid = select.Text(5);
            if (allDay || (recurring && tzid.empty())) {
                // Days, and series that repeated on the local clock: floating.
                rows.push_back({select.Integer(0), {}, start, end});
            } else if (recurring) {
                rows.push_back({select.Integer(0), tzid, select.Real(6), ToZone(Zoned(tzid), end)});
            } else {
                rows.push_back({select.Integer(0), inForce.tzid, ToZone(inForce, start),
                                ToZone(inForce, end)});
            }
        }
    }
    for (const Row& row : rows) {
        Statement update(Prepare(
            "UPDATE appointments SET tzid = ?, zone_start = ?, zone_end = ? WHERE oid = ?"));
        update.Bind(1, row.tzid);
        update.Bind(2, row.zoneStart);
        update.Bind(3, row.zoneEnd);
        update.Bind(4, row.oid);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return SqlError("cannot give the stored items their zones");
        }
    }
    // Changed occurrences are kept on the clock of their series.
    struct ChangeRow {
        int64_t series;
        double recurrenceId;
        double zoneStart;
        double zoneEnd;
    };
    std::vector<ChangeRow> changes;
    {
        Statement select(Prepare(
            "SELECT c.series_oid, c.recurrence_id, c.start, c.end, c.all_day OR a.all_day, a.tzid "
            "FROM occurrence_changes c JOIN appointments a ON a.oid = c.series_oid"));
        if (!select.ok()) {
            return SqlError("cannot give the stored items their zones");
        }
        while (select.Step() == SQLITE_ROW) {
            const std::string tzid = select.Text(5);
            const bool floating = select.Integer(4) != 0 || tzid.empty();
            const double start = select.Real(2);
            const double end = select.Real(3);
            changes.push_back({select.Integer(0), select.Real(1),
                               floating ? start : ToZone(Zoned(tzid), start),
                               floating ? end : ToZone(Zoned(tzid), end)});
        }
    }
    for (const ChangeRow& change : changes) {
        Statement update(
            Prepare("UPDATE occurrence_changes SET zone_start = ?, zone_end = ? "
                    "WHERE series_oid = ? AND recurrence_id = ?"));
        update.Bind(1, change.zoneStart);
        update.Bind(2, change.zoneEnd);
        update.Bind(3, change.series);
        update.Bind(4, change.recurrenceId);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return SqlError("cannot give the stored items their zones");
        }
    }
    // A due date at midnight was a date; one with a time of its own has a moment.
    std::vector<Row> tasks;
    {
        Statement select(Prepare("SELECT oid, due FROM tasks"));
        if (!select.ok()) {
            return SqlError("cannot give the stored items their zones");
        }
        while (select.Step() == SQLITE_ROW) {
            const double due = select.Real(1);
            const bool timed =
                due != DateToLinear(calendar::kNoDateValue) && due != std::floor(due);
            tasks.push_back({select.Integer(0), timed ? inForce.tzid : std::string(),
                             timed ? ToZone(inForce, due) : due, 0});
        }
    }
    for (const Row& task : tasks) {
        Statement update(Prepare("UPDATE tasks SET due_tzid = ?, zone_due = ? WHERE oid = ?"));
        update.Bind(1, task.tzid);
        update.Bind(2, task.zoneStart);
        update.Bind(3, task.oid);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return SqlError("cannot give the stored items their zones");
        }
    }
    return RecordAxisZone(calendar::ZoneInForceKey());
}

Result<void> StoreDatabase::RecordAxisZone(const std::string& key) {
    Statement axis(Prepare("INSERT OR REPLACE INTO store_info(key, value) VALUES(?, ?)"));
    axis.Bind(1, std::string(kAxisZone));
    axis.Bind(2, key);
    if (!axis.ok() || axis.Step() != SQLITE_DONE) {
        return SqlError("cannot record the zone of the store's local times");
    }
    return {};
}

Result<void> StoreDatabase::FollowZoneInForce() {
    const std::string inForce = calendar::ZoneInForceKey();
    const auto axisZone = [this]() -> std::optional<std::string> {
        Statement select(Prepare("SELECT value FROM store_info WHERE key = ?"));
        select.Bind(1, std::string(kAxisZone));
        if (!select.ok() || select.Step() != SQLITE_ROW) {
            return std::nullopt;
        }
        return select.Text(0);
    };
    if (readOnly_ || axisZone() == inForce) {
        return {};
    }
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("cannot lock the store to follow the time zone");
    }
    const std::optional<std::string> before = axisZone();
    if (before == inForce) {
        return {};  // another process did it meanwhile
    }
    const auto failed = [this]() { return SqlError("cannot follow the time zone"); };

    // Single appointments: two conversions a row.
    struct Row {
        int64_t oid;
        double start;
        double end;
    };
    std::vector<Row> singles;
    std::vector<int64_t> series;
    {
        Statement select(
            Prepare("SELECT oid, recurring, tzid, zone_start, zone_end, "
                    "(SELECT text FROM zone_definitions WHERE id = zone_definition) "
                    "FROM appointments WHERE all_day = 0 AND tzid <> ''"));
        if (!select.ok()) {
            return failed();
        }
        while (select.Step() == SQLITE_ROW) {
            if (select.Integer(1) != 0) {
                series.push_back(select.Integer(0));
                continue;
            }
            const calendar::ItemZone zone = Zoned(select.Text(2), select.Text(5));
            singles.push_back(
                {select.Integer(0), ToLocal(zone, select.Real(3)), ToLocal(zone, select.Real(4))});
        }
    }
    for (const Row& row : singles) {
        Statement update(
            Prepare("UPDATE appointments SET start = ?, end = ?, last_end = ? WHERE oid = ?"));
        update.Bind(1, row.start);
        update.Bind(2, row.end);
        update.Bind(3, row.end);
        update.Bind(4, row.oid);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    // Series: their start and changed occurrences, and where their expansion ends.
    double longestAdvance = 0;
    for (int64_t oid : series) {
        Result<calendar::AppointmentRecord> loaded = LoadAppointment(static_cast<int32_t>(oid));
        if (!loaded) {
            return loaded.error();
        }
        calendar::AppointmentRecord& record = *loaded;
        record.start = LinearToDate(ToLocal(record.zone, DateToLinear(record.zoneStart)));
        record.end = LinearToDate(ToLocal(record.zone, DateToLinear(record.zoneEnd)));
        for (calendar::OccurrenceChange& change : record.recurrence.changes) {
            if (!change.allDay) {
                change.start = LinearToDate(ToLocal(record.zone, DateToLinear(change.zoneStart)));
                change.end = LinearToDate(ToLocal(record.zone, DateToLinear(change.zoneEnd)));
            }
            Statement update(
                Prepare("UPDATE occurrence_changes SET start = ?, end = ? "
                        "WHERE series_oid = ? AND recurrence_id = ?"));
            update.Bind(1, DateToLinear(change.start));
            update.Bind(2, DateToLinear(change.end));
            update.Bind(3, oid);
            update.Bind(4, DateToLinear(change.recurrenceId));
            if (!update.ok() || update.Step() != SQLITE_DONE) {
                return failed();
            }
        }
        const SeriesBounds bounds = ComputeSeriesBounds(record);
        longestAdvance = std::max(longestAdvance, bounds.earliestStartAdvance);
        Statement update(
            Prepare("UPDATE appointments SET start = ?, end = ?, last_end = ?, expansion_rule = ? "
                    "WHERE oid = ?"));
        update.Bind(1, DateToLinear(record.start));
        update.Bind(2, DateToLinear(record.end));
        if (bounds.lastEndLinear) {
            update.Bind(3, *bounds.lastEndLinear);
        } else {
            update.BindNull(3);
        }
        update.Bind(4, bounds.expansionRule);
        update.Bind(5, oid);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    // Due times with a moment.
    std::vector<Row> tasks;
    {
        Statement select(
            Prepare("SELECT oid, due_tzid, zone_due, "
                    "(SELECT text FROM zone_definitions WHERE id = due_definition) "
                    "FROM tasks WHERE due_tzid <> ''"));
        if (!select.ok()) {
            return failed();
        }
        while (select.Step() == SQLITE_ROW) {
            tasks.push_back({select.Integer(0),
                             ToLocal(Zoned(select.Text(1), select.Text(3)), select.Real(2)), 0});
        }
    }
    for (const Row& task : tasks) {
        Statement update(Prepare("UPDATE tasks SET due = ? WHERE oid = ?"));
        update.Bind(1, task.start);
        update.Bind(2, task.oid);
        if (!update.ok() || update.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    // The reminders that have rung are kept by the local time they were due at; moved to the
    // new clock, they are still found, and none rings twice.
    const std::optional<calendar::TimeZone> beforeZone =
        before ? calendar::ResolveZone(Zoned(*before)) : std::nullopt;
    if (beforeZone) {
        struct Fired {
            int64_t oid;
            double occurrence;
            double ringAt;
            double firedAt;
            int64_t late;
        };
        std::vector<Fired> fired;
        {
            Statement select(
                Prepare("SELECT oid, occurrence, ring_at, fired_at, late FROM fired_reminders"));
            if (!select.ok()) {
                return failed();
            }
            const auto moved = [&](double linear) {
                const std::optional<int64_t> instant =
                    beforeZone->ToUnixSeconds(LinearToDate(linear));
                const std::optional<Date> local =
                    instant ? calendar::TimeZone::Local().FromUnixSeconds(*instant) : std::nullopt;
                return local ? DateToLinear(*local) : linear;
            };
            while (select.Step() == SQLITE_ROW) {
                fired.push_back({select.Integer(0), select.Real(1), moved(select.Real(2)),
                                 moved(select.Real(3)), select.Integer(4)});
            }
        }
        // All at once: one row's new time may be another's old one.
        if (auto cleared = Execute("DELETE FROM fired_reminders"); !cleared) {
            return cleared;
        }
        for (const Fired& entry : fired) {
            Statement insert(
                Prepare("INSERT OR IGNORE INTO fired_reminders(oid, occurrence, ring_at, "
                        "fired_at, late) VALUES(?, ?, ?, ?, ?)"));
            insert.Bind(1, entry.oid);
            insert.Bind(2, entry.occurrence);
            insert.Bind(3, entry.ringAt);
            insert.Bind(4, entry.firedAt);
            insert.Bind(5, entry.late);
            if (!insert.ok() || insert.Step() != SQLITE_DONE) {
                return failed();
            }
        }
    }
    // A span may have grown by a clock change: the bounds a window reads by must still hold.
    for (const auto& [key, sql] :
         {std::pair{kLongestSpan, "SELECT max(end - start) FROM appointments WHERE recurring = 0"},
          std::pair{kLongestSeriesSpan,
                    "SELECT max(last_end - start) FROM appointments WHERE recurring = 1"},
          std::pair{kLongestSeriesAdvance, "SELECT ?"}}) {
        Statement longest(Prepare(sql));
        if (key == kLongestSeriesAdvance) {
            longest.Bind(1, longestAdvance);
        }
        if (!longest.ok() || longest.Step() != SQLITE_ROW) {
            return failed();
        }
        const double span = longest.Real(0);
        Statement grow(
            Prepare("INSERT INTO store_info(key, value) VALUES(?, ?) "
                    "ON CONFLICT(key) DO UPDATE SET value = max(value, excluded.value)"));
        grow.Bind(1, std::string(key));
        grow.Bind(2, std::max(0.0, span));
        if (!grow.ok() || grow.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    if (auto recorded = RecordAxisZone(inForce); !recorded) {
        return recorded;
    }
    if (!transaction.Commit()) {
        return failed();
    }
    return {};
}

}  // namespace store

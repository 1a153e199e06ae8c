// The subscribed feeds: what their last fetch left for the next, their items replaced by a new
// copy of the feed as a whole, and a subscription removed with everything it brought.
#include <map>
#include <set>
#include <utility>

#include "store/schedule_store.h"
#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {
namespace {

using platform::Error;

// The items of a feed left out because another calendar holds their UIDs that are named one by
// one; the rest are counted, so that a feed cannot fill a sync's report.
constexpr int kLeftOutNamed = 5;

// The feed's stored items of one table, by UID.
using StoredByUid = std::map<std::string, int32_t>;

}  // namespace

Result<void> StoreDatabase::CheckSubscription(int64_t calendarId) {
    Statement select(Prepare("SELECT subscription FROM calendars WHERE id = ?"));
    select.Bind(1, calendarId);
    if (!select.ok()) {
        return SqlError("cannot read the calendars");
    }
    const int step = select.Step();
    if (step == SQLITE_DONE) {
        return Error{"the calendar is no longer in the store"};
    }
    if (step != SQLITE_ROW) {
        return SqlError("cannot read the calendars");
    }
    if (select.Integer(0) == 0) {
        return Error{"the calendar is no subscribed feed"};
    }
    return {};
}

Result<FeedMark> StoreDatabase::FeedMarkOf(int64_t calendarId) {
    Statement select(Prepare(
        "SELECT etag, last_modified, last_fetch, last_error FROM feed_marks WHERE calendar = ?"));
    select.Bind(1, calendarId);
    if (!select.ok()) {
        return SqlError("cannot read what the feed's last fetch left");
    }
    const int step = select.Step();
    FeedMark mark;
    if (step == SQLITE_ROW) {
        mark.etag = select.Text(0);
        mark.lastModified = select.Text(1);
        mark.lastFetch = select.Integer(2);
        mark.lastError = select.Text(3);
    } else if (step != SQLITE_DONE) {
        return SqlError("cannot read what the feed's last fetch left");
    }
    return mark;
}

Result<void> StoreDatabase::WriteFeedMark(int64_t calendarId, const FeedMark& mark) {
    Statement write(Prepare(
        "INSERT INTO feed_marks(calendar, etag, last_modified, last_fetch, last_error) "
        "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(calendar) DO UPDATE SET etag = excluded.etag, "
        "last_modified = excluded.last_modified, last_fetch = excluded.last_fetch, "
        "last_error = excluded.last_error"));
    if (!write.ok()) {
        return SqlError("cannot record the feed's fetch");
    }
    write.Bind(1, calendarId);
    write.Bind(2, mark.etag);
    write.Bind(3, mark.lastModified);
    write.Bind(4, mark.lastFetch);
    write.Bind(5, mark.lastError);
    if (write.Step() != SQLITE_DONE) {
        return SqlError("cannot record the feed's fetch");
    }
    return {};
}

Result<void> StoreDatabase::RecordFeedMark(int64_t calendarId, const FeedMark& mark) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto feed = CheckSubscription(calendarId); !feed) {
        return feed;
    }
    if (auto written = WriteFeedMark(calendarId, mark); !written) {
        return written;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot record the feed's fetch");
    }
    return {};
}

namespace {

// The UIDs of the feed's stored items of `table`, with their object ids.
Result<StoredByUid> ItemsOfCalendar(sqlite3_stmt* statement, int64_t calendarId) {
    Statement select(statement);
    if (!select.ok()) {
        return Error{"cannot read the feed's items"};
    }
    select.Bind(1, calendarId);
    StoredByUid stored;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        // A UID held twice in one feed's calendar cannot come from a refresh; the lowest object
        // id is the one kept, the others go as items the feed no longer has.
        stored.emplace(select.Text(1), static_cast<int32_t>(select.Integer(0)));
    }
    if (step != SQLITE_DONE) {
        return Error{"cannot read the feed's items"};
    }
    return stored;
}

}  // namespace

Result<std::string> StoreDatabase::OtherCalendarHolding(const char* table, const std::string& uid,
                                                        int64_t calendarId) {
    Statement select(Prepare(std::string("SELECT c.name FROM ") + table +
                             " i JOIN calendars c ON c.id = i.calendar "
                             "WHERE i.uid = ? AND i.calendar <> ? LIMIT 1"));
    if (!select.ok()) {
        return SqlError("cannot look up the UID");
    }
    select.Bind(1, uid);
    select.Bind(2, calendarId);
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return select.Text(0);
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot look up the UID");
    }
    return std::string();
}

Result<FeedReplacement> StoreDatabase::ReplaceFeedItems(
    int64_t calendarId, std::vector<calendar::AppointmentRecord> appointments,
    std::vector<calendar::TaskRecord> tasks, const FeedMark& mark) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto feed = CheckSubscription(calendarId); !feed) {
        return feed.error();
    }
    auto storedAppointments = ItemsOfCalendar(
        Prepare("SELECT oid, uid FROM appointments WHERE calendar = ? ORDER BY oid"), calendarId);
    auto storedTasks = ItemsOfCalendar(
        Prepare("SELECT oid, uid FROM tasks WHERE calendar = ? ORDER BY oid"), calendarId);
    if (!storedAppointments || !storedTasks) {
        return SqlError("cannot read the feed's items");
    }
    FeedReplacement replaced;
    std::set<int32_t> kept;
    // Each item of the new copy by its UID: the stored one with that UID takes its content (its
    // object id stays), a new UID is a new item. A series comes with its changed occurrences
    // (RECURRENCE-ID), which replace the stored series' as a whole. A UID the copy holds twice
    // is one item: the later is kept, as a file read twice would leave it.
    int leftOut = 0;
    std::map<std::string, int32_t> placedAppointments;
    std::map<std::string, int32_t> placedTasks;
    const auto place = [&](auto& record, const char* table, const StoredByUid& stored,
                           std::map<std::string, int32_t>& placed,
                           std::string_view kind) -> Result<void> {
        using Record = std::decay_t<decltype(record)>;
        constexpr bool kAppointment = std::is_same_v<Record, calendar::AppointmentRecord>;
        record.oid = 0;
        record.calendarId = calendarId;
        bool again = false;
        if (!record.uid.empty()) {
            auto elsewhere = OtherCalendarHolding(table, record.uid, calendarId);
            if (!elsewhere) {
                return elsewhere.error();
            }
            if (!elsewhere->empty()) {
                if (++leftOut <= kLeftOutNamed) {
                    replaced.notes.push_back(std::string(kind) + " " + record.uid +
                                             " not kept: the calendar \"" + *elsewhere +
                                             "\" holds an item with that UID");
                }
                return {};
            }
            if (const auto done = placed.find(record.uid); done != placed.end()) {
                record.oid = done->second;
                again = true;
            } else if (const auto found = stored.find(record.uid); found != stored.end()) {
                record.oid = found->second;
            }
        }
        Normalize(record);
        Presence presence = Presence::New;
        if (record.oid != 0) {
            presence = Presence::MayBeStored;
            Result<Record> current = [&] {
                if constexpr (kAppointment) {
                    return LoadAppointment(record.oid);
                } else {
                    return LoadTask(record.oid);
                }
            }();
            if (!current) {
                return current.error();
            }
            const bool same = *current == record;
            if (!again) {
                ++(same ? replaced.unchanged : replaced.updated);
            }
            kept.insert(record.oid);
            placed[record.uid] = record.oid;
            if (same) {
                return {};
            }
        } else {
            ++replaced.added;
        }
        Result<void> written;
        if constexpr (kAppointment) {
            written = WriteAppointment(record, presence);
        } else {
            written = WriteTask(record);
        }
        if (!written) {
            return written;
        }
        kept.insert(record.oid);
        placed[record.uid] = record.oid;
        return {};
    };
    for (calendar::AppointmentRecord& record : appointments) {
        if (auto placed =
                place(record, "appointments", *storedAppointments, placedAppointments, "event");
            !placed) {
            return placed.error();
        }
    }
    for (calendar::TaskRecord& record : tasks) {
        if (auto placed = place(record, "tasks", *storedTasks, placedTasks, "task"); !placed) {
            return placed.error();
        }
    }
    if (leftOut > kLeftOutNamed) {
        replaced.notes.push_back("and " + std::to_string(leftOut - kLeftOutNamed) +
                                 " more not kept, their UIDs held by other calendars");
    }
    // What the new copy no longer holds goes, with every item of the calendar it did not name.
    for (const char* sql : {"SELECT oid FROM appointments WHERE calendar = ?",
                            "SELECT oid FROM tasks WHERE calendar = ?"}) {
        std::vector<int32_t> gone;
        {
            Statement select(Prepare(sql));
            if (!select.ok()) {
                return SqlError("cannot read the feed's items");
            }
            select.Bind(1, calendarId);
            int step;
            while ((step = select.Step()) == SQLITE_ROW) {
                const auto oid = static_cast<int32_t>(select.Integer(0));
                if (!kept.contains(oid)) {
                    gone.push_back(oid);
                }
            }
            if (step != SQLITE_DONE) {
                return SqlError("cannot read the feed's items");
            }
        }
        for (const int32_t oid : gone) {
            if (auto removed = RemoveItemRows(oid); !removed) {
                return removed.error();
            }
            ++replaced.removed;
        }
    }
    if (auto written = WriteFeedMark(calendarId, mark); !written) {
        return written.error();
    }
    if (!transaction.Commit()) {
        return SqlError("cannot store the feed's items");
    }
    return replaced;
}

Result<void> StoreDatabase::RemoveSubscription(int64_t calendarId) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto feed = CheckSubscription(calendarId); !feed) {
        return feed;
    }
    std::vector<int32_t> items;
    {
        Statement select(
            Prepare("SELECT oid FROM appointments WHERE calendar = ?1 UNION ALL "
                    "SELECT oid FROM tasks WHERE calendar = ?1"));
        if (!select.ok()) {
            return SqlError("cannot read the feed's items");
        }
        select.Bind(1, calendarId);
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            items.push_back(static_cast<int32_t>(select.Integer(0)));
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot read the feed's items");
        }
    }
    for (const int32_t oid : items) {
        if (auto removed = RemoveItemRows(oid); !removed) {
            return removed.error();
        }
    }
    for (const char* sql :
         {"DELETE FROM sync_items WHERE calendar = ?", "DELETE FROM feed_marks WHERE calendar = ?",
          "DELETE FROM calendars WHERE id = ?"}) {
        Statement remove(Prepare(sql));
        remove.Bind(1, calendarId);
        if (!remove.ok() || remove.Step() != SQLITE_DONE) {
            return SqlError("cannot remove the subscription");
        }
    }
    if (!transaction.Commit()) {
        return SqlError("cannot remove the subscription");
    }
    return {};
}

namespace {

Error FeedsNotLoggedOn() {
    return Error{"the schedule store is not logged on"};
}

}  // namespace

Result<FeedMark> Application::FeedMarkOf(int64_t calendarId) const {
    if (!db_) {
        return FeedsNotLoggedOn();
    }
    return db_->FeedMarkOf(calendarId);
}

Result<void> Application::RecordFeedMark(int64_t calendarId, const FeedMark& mark) {
    if (!db_) {
        return FeedsNotLoggedOn();
    }
    return db_->RecordFeedMark(calendarId, mark);
}

Result<FeedReplacement> Application::ReplaceFeedItems(
    int64_t calendarId, std::vector<calendar::AppointmentRecord> appointments,
    std::vector<calendar::TaskRecord> tasks, const FeedMark& mark) {
    if (!db_) {
        return FeedsNotLoggedOn();
    }
    return db_->ReplaceFeedItems(calendarId, std::move(appointments), std::move(tasks), mark);
}

Result<void> Application::RemoveSubscription(int64_t calendarId) {
    if (!db_) {
        return FeedsNotLoggedOn();
    }
    return db_->RemoveSubscription(calendarId);
}

}  // namespace store

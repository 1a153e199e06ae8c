// What the calendar server last held of each item, and the changes and deletions made here since.
#include "store/store_database.h"
#include "store/store_statement.h"

namespace store {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

Result<std::vector<calendar::SyncEntry>> StoreDatabase::SyncEntries() {
    Statement select(Prepare(
        "SELECT kind, uid, href, etag, revision, changed_at, deleted, CASE kind "
        "WHEN 1 THEN (SELECT min(oid) FROM appointments a WHERE a.uid = s.uid) "
        "ELSE (SELECT min(oid) FROM tasks t WHERE t.uid = s.uid) END, server_stamp, calendar "
        "FROM sync_items s"));
    if (!select.ok()) {
        return SqlError("cannot read the sync state");
    }
    std::vector<calendar::SyncEntry> entries;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        calendar::SyncEntry entry;
        entry.kind = select.Integer(0) == kTaskKind ? calendar::ItemKind::Task
                                                    : calendar::ItemKind::Appointment;
        entry.uid = select.Text(1);
        entry.href = select.Text(2);
        entry.etag = select.Text(3);
        entry.revision = select.Integer(4);
        entry.changedAt = select.Integer(5);
        entry.deleted = select.Integer(6) != 0;
        entry.oid = select.IsNull(7) ? 0 : static_cast<int32_t>(select.Integer(7));
        entry.serverStamp = select.Integer(8);
        entry.calendarId = select.Integer(9);
        entries.push_back(std::move(entry));
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the sync state");
    }
    return entries;
}

Result<void> StoreDatabase::RememberServerStamp(calendar::ItemKind kind, const std::string& uid,
                                                int64_t stamp) {
    Statement update(Prepare("UPDATE sync_items SET server_stamp = ? WHERE kind = ? AND uid = ?"));
    update.Bind(1, stamp);
    update.Bind(2, int64_t{kind == calendar::ItemKind::Task ? kTaskKind : kAppointmentKind});
    update.Bind(3, uid);
    if (!update.ok() || update.Step() != SQLITE_DONE) {
        return SqlError("cannot record the server's copy");
    }
    return {};
}

Result<MergeBases> StoreDatabase::SyncBases(calendar::ItemKind kind, const std::string& uid) {
    Statement select(Prepare("SELECT text, sent FROM sync_bases WHERE kind = ? AND uid = ?"));
    if (!select.ok()) {
        return SqlError("cannot read the server's copy");
    }
    select.Bind(1, int64_t{static_cast<int32_t>(kind)});
    select.Bind(2, uid);
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return MergeBases{select.Text(0), select.Text(1)};
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the server's copy");
    }
    return MergeBases{};
}

Result<void> StoreDatabase::ForgetUnneededBases() {
    if (auto pruned = Execute(
            "DELETE FROM sync_bases WHERE NOT EXISTS (SELECT 1 FROM sync_items s WHERE "
            "s.kind = sync_bases.kind AND s.uid = sync_bases.uid) AND NOT EXISTS (SELECT 1 FROM "
            "undo_steps u WHERE u.kind = sync_bases.kind AND u.uid = sync_bases.uid)");
        !pruned) {
        return pruned;
    }
    return {};
}

Result<void> StoreDatabase::RecordSending(calendar::ItemKind kind, const std::string& uid,
                                          const std::string& href, const std::string& text) {
    // A new item is known to be on its way to `href`: should the answer never come, a deletion
    // here is still sent there, and the copy found there is known for this planner's.
    Statement place(
        Prepare("UPDATE sync_items SET href = ?3 WHERE kind = ?1 AND uid = ?2 AND href = ''"));
    if (!place.ok()) {
        return SqlError("cannot record what is sent");
    }
    place.Bind(1, int64_t{static_cast<int32_t>(kind)});
    place.Bind(2, uid);
    place.Bind(3, href);
    if (place.Step() != SQLITE_DONE) {
        return SqlError("cannot record what is sent");
    }
    Statement upsert(
        Prepare("INSERT INTO sync_bases(kind, uid, text, sent) SELECT ?1, ?2, '', ?3 "
                "WHERE EXISTS (SELECT 1 FROM sync_items WHERE kind = ?1 AND uid = ?2) "
                "ON CONFLICT(kind, uid) DO UPDATE SET sent = excluded.sent"));
    if (!upsert.ok()) {
        return SqlError("cannot record what is sent");
    }
    upsert.Bind(1, int64_t{static_cast<int32_t>(kind)});
    upsert.Bind(2, uid);
    upsert.Bind(3, text);
    if (upsert.Step() != SQLITE_DONE) {
        return SqlError("cannot record what is sent");
    }
    return {};
}

Result<void> StoreDatabase::KeepSyncBase(calendar::ItemKind kind, const std::string& uid,
                                         const std::string& text) {
    Statement statement(Prepare(text.empty()
                                    ? "DELETE FROM sync_bases WHERE kind = ?1 AND uid = ?2"
                                    : "INSERT OR REPLACE INTO sync_bases(kind, uid, text) "
                                      "SELECT ?1, ?2, ?3 WHERE EXISTS (SELECT 1 FROM sync_items "
                                      "WHERE kind = ?1 AND uid = ?2)"));
    if (!statement.ok()) {
        return SqlError("cannot record the server's copy");
    }
    statement.Bind(1, int64_t{static_cast<int32_t>(kind)});
    statement.Bind(2, uid);
    if (!text.empty()) {
        statement.Bind(3, text);
    }
    if (statement.Step() != SQLITE_DONE) {
        return SqlError("cannot record the server's copy");
    }
    return {};
}

Result<void> StoreDatabase::RecordServerCopy(calendar::ItemKind kind, const std::string& uid,
                                             const ServerCopy& copy, int64_t syncedRevision) {
    const std::string& href = copy.href;
    const std::string& etag = copy.etag;
    Statement update(
        Prepare("UPDATE sync_items SET href = ?3, etag = ?4, "
                "revision = CASE WHEN revision = ?5 THEN 0 ELSE revision END "
                "WHERE kind = ?1 AND uid = ?2"));
    if (!update.ok()) {
        return SqlError("cannot record the server's copy");
    }
    update.Bind(1, int64_t{static_cast<int32_t>(kind)});
    update.Bind(2, uid);
    update.Bind(3, href);
    update.Bind(4, etag);
    update.Bind(5, syncedRevision);
    if (update.Step() != SQLITE_DONE) {
        return SqlError("cannot record the server's copy");
    }
    if (href.empty()) {
        // The server lost its copy: the version last agreed on stays the base of a merge with
        // whatever copy comes back.
        return {};
    }
    if (sqlite3_changes(db_) > 0) {
        return KeepSyncBase(kind, uid, copy.text);
    }
    // No entry and no item: it was deleted here after the sync read it (an entry without href
    // goes with its item), so the copy the server now holds is a deletion still to be sent.
    Statement insert(
        Prepare("INSERT INTO sync_items(kind, uid, href, etag, revision, deleted) "
                "SELECT ?1, ?2, ?3, ?4, 1, 1 WHERE NOT EXISTS ("
                "SELECT 1 FROM appointments WHERE ?1 = 1 AND uid = ?2 UNION ALL "
                "SELECT 1 FROM tasks WHERE ?1 = 2 AND uid = ?2)"));
    if (!insert.ok()) {
        return SqlError("cannot record the server's copy");
    }
    insert.Bind(1, int64_t{static_cast<int32_t>(kind)});
    insert.Bind(2, uid);
    insert.Bind(3, href);
    insert.Bind(4, etag);
    if (insert.Step() != SQLITE_DONE) {
        return SqlError("cannot record the server's copy");
    }
    return {};
}

Result<bool> StoreDatabase::RevisionIs(calendar::ItemKind kind, const std::string& uid,
                                       int64_t comparedRevision) {
    Statement select(Prepare("SELECT revision FROM sync_items WHERE kind = ? AND uid = ?"));
    if (!select.ok()) {
        return SqlError("cannot read the sync state");
    }
    select.Bind(1, int64_t{static_cast<int32_t>(kind)});
    select.Bind(2, uid);
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return select.Integer(0) == comparedRevision;
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the sync state");
    }
    return comparedRevision == 0;
}

template <typename Record>
Result<std::optional<UidSave>> StoreDatabase::SaveSynced(calendar::ItemKind kind, Record& record,
                                                         const ServerCopy& copy,
                                                         int64_t comparedRevision, SyncedAs as) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    const Result<bool> inStep = RevisionIs(kind, record.uid, comparedRevision);
    if (!inStep) {
        return inStep.error();
    }
    if (!*inStep) {
        return std::optional<UidSave>();
    }
    Record written = record;
    auto saved = SaveByUid(written, calendar::ItemFields::All(), calendar::UidSource::Owner);
    if (!saved) {
        return saved.error();
    }
    // The save marked the item changed here: the server's version is in step, and a merged one
    // stays marked to be sent.
    if (auto recorded = RecordServerCopy(kind, written.uid, copy, 0); !recorded) {
        return recorded.error();
    }
    Statement clear(Prepare(as == SyncedAs::InStep
                                ? "UPDATE sync_items SET revision = 0, deleted = 0 "
                                  "WHERE kind = ? AND uid = ?"
                                : "UPDATE sync_items SET revision = max(revision, 1), deleted = 0 "
                                  "WHERE kind = ? AND uid = ?"));
    clear.Bind(1, int64_t{static_cast<int32_t>(kind)});
    clear.Bind(2, written.uid);
    if (!clear.ok() || clear.Step() != SQLITE_DONE || !transaction.Commit()) {
        return SqlError(kind == calendar::ItemKind::Appointment
                            ? "cannot save the appointment from the server"
                            : "cannot save the task from the server");
    }
    record = std::move(written);
    return std::optional<UidSave>(*saved);
}

Result<std::optional<UidSave>> StoreDatabase::SaveSyncedAppointment(
    calendar::AppointmentRecord& record, const ServerCopy& copy, int64_t comparedRevision,
    SyncedAs as) {
    return SaveSynced(calendar::ItemKind::Appointment, record, copy, comparedRevision, as);
}

Result<std::optional<UidSave>> StoreDatabase::SaveSyncedTask(calendar::TaskRecord& record,
                                                             const ServerCopy& copy,
                                                             int64_t comparedRevision,
                                                             SyncedAs as) {
    return SaveSynced(calendar::ItemKind::Task, record, copy, comparedRevision, as);
}

Result<bool> StoreDatabase::DeleteSynced(calendar::ItemKind kind, const std::string& uid,
                                         int64_t comparedRevision) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    const Result<bool> inStep = RevisionIs(kind, uid, comparedRevision);
    if (!inStep || !*inStep) {
        return inStep;
    }
    const bool isTask = kind == calendar::ItemKind::Task;
    std::vector<int64_t> oids;
    {
        Statement select(Prepare(isTask ? "SELECT oid FROM tasks WHERE uid = ?"
                                        : "SELECT oid FROM appointments WHERE uid = ?"));
        if (!select.ok()) {
            return SqlError("cannot delete the item the server deleted");
        }
        select.Bind(1, uid);
        while (select.Step() == SQLITE_ROW) {
            oids.push_back(select.Integer(0));
        }
    }
    for (const int64_t oid : oids) {
        for (const char* sql :
             {"DELETE FROM appointments WHERE oid = ?", "DELETE FROM tasks WHERE oid = ?",
              "DELETE FROM object_ids WHERE oid = ?",
              "DELETE FROM occurrence_changes WHERE series_oid = ?"}) {
            Statement remove(Prepare(sql));
            remove.Bind(1, oid);
            if (!remove.ok() || remove.Step() != SQLITE_DONE) {
                return SqlError("cannot delete the item the server deleted");
            }
        }
    }
    Statement forget(Prepare("DELETE FROM sync_items WHERE kind = ? AND uid = ?"));
    forget.Bind(1, int64_t{static_cast<int32_t>(kind)});
    forget.Bind(2, uid);
    if (!forget.ok() || forget.Step() != SQLITE_DONE || !transaction.Commit()) {
        return SqlError("cannot delete the item the server deleted");
    }
    return true;
}

Result<void> StoreDatabase::OfferAgain(calendar::ItemKind kind, const std::string& uid) {
    for (const char* sql : {"DELETE FROM sync_items WHERE kind = ?1 AND uid = ?2 AND deleted = 1",
                            "UPDATE sync_items SET href = '', etag = '', revision = "
                            "max(revision, 1) WHERE kind = ?1 AND uid = ?2"}) {
        Statement statement(Prepare(sql));
        statement.Bind(1, int64_t{static_cast<int32_t>(kind)});
        statement.Bind(2, uid);
        if (!statement.ok() || statement.Step() != SQLITE_DONE) {
            return SqlError("cannot offer the item to the server again");
        }
    }
    return {};
}

Result<void> StoreDatabase::ForgetDeletion(calendar::ItemKind kind, const std::string& uid,
                                           int64_t syncedRevision) {
    Statement forget(Prepare(
        "DELETE FROM sync_items WHERE kind = ? AND uid = ? AND deleted = 1 AND revision = ?"));
    forget.Bind(1, int64_t{static_cast<int32_t>(kind)});
    forget.Bind(2, uid);
    forget.Bind(3, syncedRevision);
    if (!forget.ok() || forget.Step() != SQLITE_DONE) {
        return SqlError("cannot record the deletion as synced");
    }
    return {};
}

Result<CollectionMark> StoreDatabase::SyncToken(const std::string& collection) {
    Statement select(Prepare("SELECT token, list_whole FROM sync_collections WHERE url = ?"));
    if (!select.ok()) {
        return SqlError("cannot read the sync token");
    }
    select.Bind(1, collection);
    const int step = select.Step();
    if (step == SQLITE_ROW) {
        return CollectionMark{select.Text(0), select.Integer(1) != 0};
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the sync token");
    }
    return CollectionMark{};
}

Result<void> StoreDatabase::SetSyncToken(const std::string& collection,
                                         const CollectionMark& mark) {
    Statement upsert(
        Prepare("INSERT OR REPLACE INTO sync_collections(url, token, list_whole) VALUES(?, ?, ?)"));
    upsert.Bind(1, collection);
    upsert.Bind(2, mark.token);
    upsert.Bind(3, int64_t{mark.listWhole ? 1 : 0});
    if (!upsert.ok() || upsert.Step() != SQLITE_DONE) {
        return SqlError("cannot keep the sync token");
    }
    return {};
}

Result<void> StoreDatabase::ResetSyncState() {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    if (auto reset = Execute("DELETE FROM sync_items WHERE deleted = 1; "
                             "UPDATE sync_items SET href = '', etag = '', "
                             "revision = max(revision, 1); DELETE FROM sync_collections; "
                             "DELETE FROM sync_bases");
        !reset) {
        return reset;
    }
    if (!transaction.Commit()) {
        return SqlError("cannot reset the sync state");
    }
    return {};
}

}  // namespace store

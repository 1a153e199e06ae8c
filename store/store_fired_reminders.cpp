// The reminders that have rung, so that none rings twice.
#include "store/store_database.h"
#include "store/store_statement.h"

namespace store {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

Result<std::vector<bool>> StoreDatabase::ClaimReminders(const std::vector<FiredReminder>& reminders,
                                                        Date forgetBefore) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    std::vector<bool> claimed;
    claimed.reserve(reminders.size());
    for (const FiredReminder& reminder : reminders) {
        Statement insert(
            Prepare("INSERT OR IGNORE INTO fired_reminders(oid, occurrence, ring_at, fired_at, "
                    "late) VALUES(?, ?, ?, ?, ?)"));
        if (!insert.ok()) {
            return SqlError("cannot record the reminder");
        }
        insert.Bind(1, int64_t{reminder.oid});
        insert.Bind(2, reminder.occurrence == 0 ? 0.0 : DateToLinear(reminder.occurrence));
        insert.Bind(3, DateToLinear(reminder.ringAt));
        insert.Bind(4, DateToLinear(reminder.firedAt));
        insert.Bind(5, int64_t{reminder.late});
        if (insert.Step() != SQLITE_DONE) {
            return SqlError("cannot record the reminder");
        }
        claimed.push_back(sqlite3_changes(db_) == 1);
    }
    Statement forget(Prepare("DELETE FROM fired_reminders WHERE ring_at < ?"));
    forget.Bind(1, DateToLinear(forgetBefore));
    if (!forget.ok() || forget.Step() != SQLITE_DONE) {
        return SqlError("cannot forget old reminders");
    }
    if (!transaction.Commit()) {
        return SqlError("cannot record the reminders");
    }
    return claimed;
}

Result<std::vector<FiredReminder>> StoreDatabase::FiredRemindersFrom(Date from) {
    Statement select(
        Prepare("SELECT oid, occurrence, ring_at, fired_at, late FROM fired_reminders "
                "WHERE ring_at >= ? ORDER BY ring_at"));
    if (!select.ok()) {
        return SqlError("cannot read the reminders rung");
    }
    select.Bind(1, DateToLinear(from));
    std::vector<FiredReminder> fired;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        FiredReminder reminder;
        reminder.oid = static_cast<int32_t>(select.Integer(0));
        reminder.occurrence = select.Real(1) == 0 ? 0.0 : LinearToDate(select.Real(1));
        reminder.ringAt = LinearToDate(select.Real(2));
        reminder.firedAt = LinearToDate(select.Real(3));
        reminder.late = select.Integer(4) != 0;
        fired.push_back(reminder);
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read the reminders rung");
    }
    return fired;
}

}  // namespace store

// The steps that take changes back (undo_steps): recorded after a change made on the screen or by
// tessarinth-cli, applied in one transaction that first checks the item is still as the step
// left it.
#include <ctime>

#include "calendar/ical_extras.h"
#include "store/item_snapshot.h"
#include "store/store_database.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

namespace store {
namespace {

using platform::Error;

constexpr const char* kStepColumns =
    "id, kind, uid, action, subject, made_at, undone, left_as, return_to, ink";

std::string Blob(const Statement& row, int column) {
    const void* bytes = sqlite3_column_blob(row.get(), column);
    const int size = sqlite3_column_bytes(row.get(), column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                 : std::string();
}

void BindBlob(Statement& statement, int index, const std::string& bytes) {
    sqlite3_bind_blob(statement.get(), index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
}

// A step as its row holds it; its state to return to is read only when `whole`, and a state that
// cannot be read marks the step damaged.
UndoStep ReadStep(const Statement& row, bool whole) {
    UndoStep step;
    step.id = row.Integer(0);
    step.kind =
        row.Integer(1) == kTaskKind ? calendar::ItemKind::Task : calendar::ItemKind::Appointment;
    step.uid = row.Text(2);
    step.action = static_cast<int32_t>(row.Integer(3));
    step.subject = row.Text16(4);
    step.madeAt = platform::LinearToDate(row.Real(5));
    step.undone = row.Integer(6) != 0;
    step.leftAs = static_cast<uint64_t>(row.Integer(7));
    if (!whole) {
        return step;
    }
    const auto damaged = [&step] {
        step.returnTo = ItemState{};
        step.damaged = true;
        return step;
    };
    if (!row.IsNull(8)) {
        const std::string bytes = Blob(row, 8);
        if (step.kind == calendar::ItemKind::Task) {
            auto task = DecodeTask(bytes);
            if (!task) {
                return damaged();
            }
            step.returnTo.task = std::move(task).value();
        } else {
            auto appointment = DecodeAppointment(bytes);
            if (!appointment) {
                return damaged();
            }
            step.returnTo.appointment = std::move(appointment).value();
        }
    }
    auto ink = DecodeInk(Blob(row, 9));
    if (!ink) {
        return damaged();
    }
    step.returnTo.ink = std::move(ink).value();
    return step;
}

std::optional<std::string> EncodedRecord(const ItemState& state) {
    if (state.appointment) {
        return EncodeItem(*state.appointment);
    }
    if (state.task) {
        return EncodeItem(*state.task);
    }
    return std::nullopt;
}

}  // namespace

Result<ItemState> StoreDatabase::CurrentState(calendar::ItemKind kind, const std::string& uid) {
    const bool task = kind == calendar::ItemKind::Task;
    auto oid = FindByUid(task ? "tasks" : "appointments", uid);
    if (!oid) {
        return oid.error();
    }
    ItemState state;
    if (*oid == 0) {
        return state;
    }
    if (task) {
        auto record = LoadTask(*oid);
        if (!record) {
            return record.error();
        }
        state.task = std::move(record).value();
    } else {
        auto record = LoadAppointment(*oid);
        if (!record) {
            return record.error();
        }
        state.appointment = std::move(record).value();
    }
    return state;
}

Result<void> StoreDatabase::RecordStep(const UndoStep& step, const std::string& home) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    const auto failed = [this]() { return SqlError("cannot keep the change to take it back"); };
    // A new change ends what was taken back: doing that again would now undo this one.
    {
        Statement forget(Prepare("DELETE FROM undo_steps WHERE undone = 1 AND home = ?"));
        forget.Bind(1, home);
        if (!forget.ok() || forget.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    {
        Statement insert(Prepare(
            "INSERT INTO undo_steps(home, kind, uid, action, subject, made_at, undone, left_as, "
            "return_to, ink) VALUES(?,?,?,?,?,?,0,?,?,?)"));
        if (!insert.ok()) {
            return failed();
        }
        insert.Bind(1, home);
        insert.Bind(2,
                    int64_t{step.kind == calendar::ItemKind::Task ? kTaskKind : kAppointmentKind});
        insert.Bind(3, step.uid);
        insert.Bind(4, int64_t{step.action});
        insert.Bind(5, step.subject);
        insert.Bind(6, platform::DateToLinear(step.madeAt));
        insert.Bind(7, static_cast<int64_t>(step.leftAs));
        if (auto record = EncodedRecord(step.returnTo)) {
            BindBlob(insert, 8, *record);
        } else {
            insert.BindNull(8);
        }
        BindBlob(insert, 9, EncodeInk(step.returnTo.ink));
        if (insert.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    {
        Statement trim(
            Prepare("DELETE FROM undo_steps WHERE home = ?1 AND id NOT IN "
                    "(SELECT id FROM undo_steps WHERE home = ?1 ORDER BY id DESC LIMIT ?2)"));
        trim.Bind(1, home);
        trim.Bind(2, int64_t{kUndoStepsKept});
        if (!trim.ok() || trim.Step() != SQLITE_DONE) {
            return failed();
        }
    }
    if (!transaction.Commit()) {
        return failed();
    }
    return {};
}

Result<std::vector<UndoStep>> StoreDatabase::UndoSteps(const std::string& home) {
    Statement select(Prepare(std::string("SELECT ") + kStepColumns +
                             " FROM undo_steps WHERE home = ? ORDER BY id DESC"));
    if (!select.ok()) {
        return SqlError("cannot read the changes that can be taken back");
    }
    select.Bind(1, home);
    std::vector<UndoStep> steps;
    while (select.Step() == SQLITE_ROW) {
        steps.push_back(ReadStep(select, false));
    }
    return steps;
}

Result<bool> StoreDatabase::HasStep(const std::string& home, StepDirection direction) {
    Statement select(Prepare("SELECT 1 FROM undo_steps WHERE home = ? AND undone = ? LIMIT 1"));
    if (!select.ok()) {
        return SqlError("cannot read the changes that can be taken back");
    }
    select.Bind(1, home);
    select.Bind(2, int64_t{direction == StepDirection::Back ? 0 : 1});
    const int step = select.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        return SqlError("cannot read the changes that can be taken back");
    }
    return step == SQLITE_ROW;
}

Result<std::optional<UndoStep>> StoreDatabase::NextStep(const std::string& home,
                                                        StepDirection direction, StepParts parts) {
    // Taking back goes from the newest change done; doing again from the oldest one taken back.
    const std::string sql =
        std::string("SELECT ") + kStepColumns + " FROM undo_steps WHERE home = ? AND undone = " +
        (direction == StepDirection::Back ? "0 ORDER BY id DESC" : "1 ORDER BY id ASC") +
        " LIMIT 1";
    Statement select(Prepare(sql));
    if (!select.ok()) {
        return SqlError("cannot read the changes that can be taken back");
    }
    select.Bind(1, home);
    if (select.Step() != SQLITE_ROW) {
        return std::optional<UndoStep>();
    }
    return std::optional<UndoStep>(ReadStep(select, parts == StepParts::Whole));
}

Result<StepOutcome> StoreDatabase::ApplyStep(const UndoStep& step, StepDirection direction,
                                             const std::string& home,
                                             const std::vector<KeptInk>& inkNow,
                                             ItemState& replaced) {
    Transaction transaction(db_);
    if (!transaction.began()) {
        return SqlError("the store is busy");
    }
    auto next = NextStep(home, direction);
    if (!next) {
        return next.error();
    }
    if (!*next || (*next)->id != step.id || (*next)->leftAs != step.leftAs) {
        return StepOutcome::Moved;
    }
    // A step that can never apply again is forgotten, so that the change before it comes next.
    const auto forget = [&]() -> Result<void> {
        Statement forgotten(Prepare("DELETE FROM undo_steps WHERE id = ?"));
        forgotten.Bind(1, step.id);
        if (!forgotten.ok() || forgotten.Step() != SQLITE_DONE || !transaction.Commit()) {
            return SqlError("cannot forget a change that can no longer be taken back");
        }
        return {};
    };
    // Its own row decides, not what the caller was given: an empty state to return to would
    // delete the item.
    if ((*next)->damaged) {
        if (auto forgotten = forget(); !forgotten) {
            return forgotten.error();
        }
        return StepOutcome::Damaged;
    }
    auto current = CurrentState(step.kind, step.uid);
    if (!current) {
        return current.error();
    }
    if (Fingerprint(*current) != step.leftAs) {
        if (auto forgotten = forget(); !forgotten) {
            return forgotten.error();
        }
        return StepOutcome::ItemChanged;
    }
    const auto failed = [this]() { return SqlError("cannot take the change back"); };
    const int64_t now = std::time(nullptr);

    ItemState written;
    if (!step.returnTo.present()) {
        const int32_t oid = current->appointment ? current->appointment->oid
                            : current->task      ? current->task->oid
                                                 : 0;
        // Taking back a creation deletes the item: not from a calendar that cannot be written
        // (the writes below refuse that by themselves).
        if (auto writable = CheckWritable(current->appointment ? "appointments" : "tasks", oid, 0);
            !writable) {
            return writable.error();
        }
        if (auto removed = RemoveItemRows(oid); !removed) {
            return removed.error();
        }
    } else if (step.returnTo.appointment) {
        calendar::AppointmentRecord record = *step.returnTo.appointment;
        WorkOutLocalTimes(record);
        record.uid = step.uid;
        const calendar::AppointmentRecord* stored =
            current->appointment ? &*current->appointment : nullptr;
        record.oid = stored ? stored->oid : 0;
        Normalize(record);
        record.extraProperties = calendar::StampedAsReturned(
            record.extraProperties, stored ? stored->extraProperties : "", now,
            !stored || !SameTimesAndState(*stored, record));
        StampChangedOccurrences(stored, record, now);
        if (auto saved = WriteAppointment(record, stored ? Presence::MayBeStored : Presence::New);
            !saved) {
            return saved.error();
        }
        auto reread = LoadAppointment(record.oid);
        if (!reread) {
            return reread.error();
        }
        written.appointment = std::move(reread).value();
    } else {
        calendar::TaskRecord record = *step.returnTo.task;
        WorkOutLocalTimes(record);
        record.uid = step.uid;
        const calendar::TaskRecord* stored = current->task ? &*current->task : nullptr;
        record.oid = stored ? stored->oid : 0;
        Normalize(record);
        record.extraProperties = calendar::StampedAsReturned(
            record.extraProperties, stored ? stored->extraProperties : "", now,
            !stored || stored->dueDate != record.dueDate || stored->complete != record.complete);
        if (auto saved = WriteTask(record); !saved) {
            return saved.error();
        }
        auto reread = LoadTask(record.oid);
        if (!reread) {
            return reread.error();
        }
        written.task = std::move(reread).value();
    }

    // The step now returns to what was there, and remembers what it left.
    Statement update(
        Prepare("UPDATE undo_steps SET undone = ?, left_as = ?, return_to = ?, ink = ? "
                "WHERE id = ?"));
    if (!update.ok()) {
        return failed();
    }
    update.Bind(1, int64_t{direction == StepDirection::Back ? 1 : 0});
    update.Bind(2, static_cast<int64_t>(Fingerprint(written)));
    if (auto record = EncodedRecord(*current)) {
        BindBlob(update, 3, *record);
    } else {
        update.BindNull(3);
    }
    BindBlob(update, 4, EncodeInk(inkNow));
    update.Bind(5, step.id);
    if (update.Step() != SQLITE_DONE) {
        return failed();
    }
    if (!transaction.Commit()) {
        return failed();
    }
    replaced = std::move(current).value();
    return StepOutcome::Applied;
}

}  // namespace store

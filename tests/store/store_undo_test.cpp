// Steps that take a change back: an item's whole state in the store's own form, and the steps
// kept in the store, applied only while their item is as they left it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "store/item_snapshot.h"
#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

// A zoned weekly series with a moved and a cancelled occurrence, texts beyond the BMP, a zone
// definition of its own and kept lines: every part of the record set.
calendar::AppointmentRecord RichSeries() {
    calendar::AppointmentRecord record;
    record.uid = "weekly@test";
    record.start = At(2026, 12, 7, 9);
    record.end = At(2026, 12, 7, 10, 30);
    record.zone =
        calendar::ItemZone{calendar::ItemZone::Form::Zoned, "W. Europe Standard Time",
                           "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\nEND:VTIMEZONE"};
    record.zoneStart = record.start;
    record.zoneEnd = record.end;
    record.reminderSet = true;
    record.subject = u"定例 \U0001F4C5";
    record.location = u"会議室 B";
    record.body = u"3.dat\r\n地図の説明";
    record.handwritten = true;
    record.categories = u"仕事, 休日";
    record.recurrence.rule = "FREQ=WEEKLY;BYDAY=MO;COUNT=10";
    record.recurrence.exceptionDates = {At(2026, 12, 28, 9)};
    record.recurrence.extraDates = {At(2026, 12, 30, 9)};
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2026, 12, 14, 9);
    moved.start = moved.zoneStart = At(2026, 12, 14, 14);
    moved.end = moved.zoneEnd = At(2026, 12, 14, 15);
    moved.subject = u"移動";
    moved.body = u"4.dat";
    moved.handwritten = true;
    moved.extraProperties = "X-CHANGE:1";
    calendar::OccurrenceChange cancelled;
    cancelled.recurrenceId = At(2026, 12, 21, 9);
    cancelled.cancelled = true;
    cancelled.thisAndFuture = true;
    record.recurrence.changes = {moved, cancelled};
    record.extraProperties = "SEQUENCE:2\r\nX-OTHER;P=1:kept\r\nBEGIN:VALARM\r\nEND:VALARM";
    return record;
}

calendar::TaskRecord RichTask() {
    calendar::TaskRecord task;
    task.uid = "task@test";
    task.dueDate = At(2026, 12, 18, 17);
    task.dueZone = calendar::ItemZone{calendar::ItemZone::Form::Zoned, "America/New_York", ""};
    task.zoneDue = At(2026, 12, 18, 11);
    task.dateCompleted = At(2026, 12, 8);
    task.complete = true;
    task.subject = u"買い物";
    task.body = u"牛乳\r\n卵";
    task.categories = u"家";
    task.extraProperties = "PERCENT-COMPLETE:100";
    return task;
}

TEST(ItemSnapshot, AnItemReadsBackWhole) {
    // Of another calendar than the first, and of the first, as the store reads them.
    calendar::AppointmentRecord series = RichSeries();
    series.calendarId = 3;
    auto read = DecodeAppointment(EncodeItem(series));
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(*read, series);

    calendar::TaskRecord task = RichTask();
    task.calendarId = 1;
    auto readTask = DecodeTask(EncodeItem(task));
    ASSERT_TRUE(readTask.ok());
    EXPECT_EQ(*readTask, task);

    const std::vector<KeptInk> ink{{u"3.dat", std::string("\x01\0\0\0\x02\0\0\0", 8)},
                                   {u"4.dat", std::string(16, '\x7f')}};
    auto readInk = DecodeInk(EncodeInk(ink));
    ASSERT_TRUE(readInk.ok());
    EXPECT_EQ(*readInk, ink);
    // An appointment's bytes are never taken for a task's.
    EXPECT_FALSE(DecodeTask(EncodeItem(series)).ok());
}

TEST(ItemSnapshot, DamagedBytesAreAnErrorNeverACrash) {
    const std::string whole = EncodeItem(RichSeries());
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(DecodeAppointment(whole.substr(0, cut)).ok()) << "cut at " << cut;
    }
    EXPECT_FALSE(DecodeAppointment(whole + '\0').ok());
    // Any eight bytes set to the largest number (a length that claims more than there is,
    // among others) reads as an error or as another item, never past the end.
    for (size_t at = 1; at + 8 <= whole.size(); ++at) {
        std::string damaged = whole;
        damaged.replace(at, 8, std::string(8, '\xff'));
        auto read = DecodeAppointment(damaged);
        if (read.ok()) {
            EXPECT_NE(*read, RichSeries()) << "at " << at;
        }
    }
    const std::string task = EncodeItem(RichTask());
    for (size_t cut = 0; cut < task.size(); ++cut) {
        EXPECT_FALSE(DecodeTask(task.substr(0, cut)).ok());
    }
}

TEST(ItemSnapshot, TheFingerprintTellsContentsNotStampsOrTheLocalClock) {
    const calendar::AppointmentRecord series = RichSeries();
    const uint64_t print = Fingerprint(series);
    EXPECT_NE(print, kNoItem);

    calendar::AppointmentRecord stamped = series;
    stamped.extraProperties =
        "SEQUENCE:7\r\nX-OTHER;P=1:kept\r\nLAST-MODIFIED:20261208T010203Z\r\nDTSTAMP:"
        "20261208T010203Z\r\nBEGIN:VALARM\r\nEND:VALARM";
    EXPECT_EQ(Fingerprint(stamped), print);

    // A zoned item's local times follow the planner's zone; the item is the same.
    calendar::AppointmentRecord elsewhere = series;
    elsewhere.start = At(2026, 12, 7, 17);
    elsewhere.end = At(2026, 12, 7, 18, 30);
    elsewhere.recurrence.changes[0].start = At(2026, 12, 14, 22);
    EXPECT_EQ(Fingerprint(elsewhere), print);

    // A floating item's clock time is what it holds.
    calendar::AppointmentRecord floating = series;
    floating.zone = calendar::ItemZone{calendar::ItemZone::Form::Floating, "", ""};
    calendar::AppointmentRecord floatingMoved = floating;
    floatingMoved.start = At(2026, 12, 7, 17);
    EXPECT_NE(Fingerprint(floatingMoved), Fingerprint(floating));

    for (auto change :
         {+[](calendar::AppointmentRecord& r) { r.subject += u"!"; },
          +[](calendar::AppointmentRecord& r) { r.zoneStart = At(2026, 12, 7, 8); },
          +[](calendar::AppointmentRecord& r) { r.handwritten = false; },
          +[](calendar::AppointmentRecord& r) { r.recurrence.changes.pop_back(); },
          +[](calendar::AppointmentRecord& r) { r.extraProperties += "\r\nX-NEW:1"; }}) {
        calendar::AppointmentRecord changed = series;
        change(changed);
        EXPECT_NE(Fingerprint(changed), print);
    }
}

class StoreUndoTest : public StoreFixture {
protected:
    static constexpr const char* kHome = "/home/a/tessarinth";

    calendar::AppointmentRecord Meeting() {
        calendar::AppointmentRecord record;
        record.uid = "meeting@test";
        record.start = At(2026, 12, 10, 10);
        record.end = At(2026, 12, 10, 11);
        record.subject = u"会議";
        record.extraProperties = "SEQUENCE:2";
        return record;
    }

    ItemState Now(calendar::ItemKind kind, const std::string& uid) {
        auto state = app_.CurrentState(kind, uid);
        EXPECT_TRUE(state.ok());
        return state.ok() ? *state : ItemState{};
    }

    // Keeps the change from `before` to what the store holds now as a step.
    void Keep(const ItemState& before, const std::string& uid, const char* home = kHome,
              calendar::ItemKind kind = calendar::ItemKind::Appointment) {
        UndoStep step;
        step.kind = kind;
        step.uid = uid;
        step.subject = u"会議";
        step.madeAt = At(2026, 12, 8, 7);
        step.leftAs = Fingerprint(Now(step.kind, uid));
        step.returnTo = before;
        ASSERT_TRUE(app_.RecordStep(step, home).ok());
    }

    Result<StepOutcome> Apply(StepDirection direction, std::vector<KeptInk> inkNow = {}) {
        auto next = app_.NextStep(kHome, direction);
        if (!next) {
            return next.error();
        }
        if (!*next) {
            return platform::Error{"no step"};
        }
        ItemState replaced;
        return app_.ApplyStep(**next, direction, kHome, inkNow, replaced);
    }
};

TEST_F(StoreUndoTest, AMoveIsTakenBackAndDoneAgainAndOtherProgramsSeeANewerVersion) {
    ASSERT_TRUE(app_.AddAll({Meeting()}, {}).ok());
    const ItemState before = Now(calendar::ItemKind::Appointment, "meeting@test");
    auto appointment = app_.GetAppointmentFromOid(before.appointment->oid);
    ASSERT_TRUE(appointment.ok());
    appointment->SetStart(At(2026, 12, 11, 15));
    appointment->SetEnd(At(2026, 12, 11, 16));
    ASSERT_TRUE(appointment->Save().ok());
    Keep(before, "meeting@test");
    const int64_t revision = app_.SyncEntries()->at(0).revision;

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    const calendar::AppointmentRecord back =
        *Now(calendar::ItemKind::Appointment, "meeting@test").appointment;
    EXPECT_EQ(back.oid, before.appointment->oid);
    EXPECT_EQ(back.start, At(2026, 12, 10, 10));
    EXPECT_EQ(back.end, At(2026, 12, 10, 11));
    // Above the SEQUENCE:3 of the move, so that a calendar holding the move takes this one.
    EXPECT_NE(back.extraProperties.find("SEQUENCE:4"), std::string::npos) << back.extraProperties;
    EXPECT_NE(back.extraProperties.find("LAST-MODIFIED:"), std::string::npos);
    EXPECT_GT(app_.SyncEntries()->at(0).revision, revision);  // for the next sync to send
    EXPECT_FALSE(app_.NextStep(kHome, StepDirection::Back)->has_value());

    ASSERT_EQ(Apply(StepDirection::Again).value(), StepOutcome::Applied);
    EXPECT_EQ(Now(calendar::ItemKind::Appointment, "meeting@test").appointment->start,
              At(2026, 12, 11, 15));
    // And back once more: each application leaves the way back open.
    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    EXPECT_EQ(Now(calendar::ItemKind::Appointment, "meeting@test").appointment->start,
              At(2026, 12, 10, 10));
}

TEST_F(StoreUndoTest, AnItemMovedToAnotherCalendarIsTakenBackToItsOwn) {
    StoreCalendar work;
    work.name = "仕事";
    ASSERT_TRUE(app_.SaveCalendar(work).ok());
    ASSERT_TRUE(app_.AddAll({Meeting()}, {}).ok());
    const ItemState before = Now(calendar::ItemKind::Appointment, "meeting@test");
    auto appointment = app_.GetAppointmentFromOid(before.appointment->oid);
    appointment->SetCalendarId(work.id);
    ASSERT_TRUE(appointment->Save().ok());
    Keep(before, "meeting@test");

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    EXPECT_EQ(Now(calendar::ItemKind::Appointment, "meeting@test").appointment->calendarId, 1);
    ASSERT_EQ(Apply(StepDirection::Again).value(), StepOutcome::Applied);
    EXPECT_EQ(Now(calendar::ItemKind::Appointment, "meeting@test").appointment->calendarId,
              work.id);
}

// An item made here whose calendar became read-only since (its server took the right to write
// away): taking its creation back would delete it, and is refused with the item left whole.
TEST_F(StoreUndoTest, ACreationIsNotTakenBackOutOfACalendarThatBecameReadOnly) {
    StoreCalendar shared;
    shared.name = "共有";
    ASSERT_TRUE(app_.SaveCalendar(shared).ok());
    calendar::AppointmentRecord meeting = Meeting();
    meeting.calendarId = shared.id;
    ASSERT_TRUE(app_.AddAll({meeting}, {}).ok());
    Keep(ItemState{}, "meeting@test");
    shared.readOnly = true;
    ASSERT_TRUE(app_.SaveCalendar(shared).ok());

    const Result<StepOutcome> refused = Apply(StepDirection::Back);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("read-only"), std::string::npos);
    EXPECT_TRUE(Now(calendar::ItemKind::Appointment, "meeting@test").present());
    // Writable again, the step still applies.
    shared.readOnly = false;
    ASSERT_TRUE(app_.SaveCalendar(shared).ok());
    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    EXPECT_FALSE(Now(calendar::ItemKind::Appointment, "meeting@test").present());
}

// An occurrence moved on its own and taken back: what comes back is newer, for other programs,
// than the move they may hold, as a series taken back is.
TEST_F(StoreUndoTest, AnOccurrenceTakenBackIsNewerThanItsMove) {
    calendar::AppointmentRecord series = Meeting();
    series.recurrence.rule = "FREQ=WEEKLY;COUNT=3";
    calendar::OccurrenceChange change;
    change.recurrenceId = At(2026, 12, 17, 10);
    change.start = At(2026, 12, 17, 14);
    change.end = At(2026, 12, 17, 15);
    change.subject = u"会議 (午後)";
    change.extraProperties = "SEQUENCE:2";
    series.recurrence.changes = {change};
    ASSERT_TRUE(app_.AddAll({series}, {}).ok());
    const ItemState before = Now(calendar::ItemKind::Appointment, "meeting@test");
    auto appointment = app_.GetAppointmentFromOid(before.appointment->oid);
    ASSERT_TRUE(appointment.ok());
    change.start = At(2026, 12, 18, 14);
    change.end = At(2026, 12, 18, 15);
    appointment->PutOccurrenceChange(change);
    ASSERT_TRUE(appointment->Save().ok());
    const calendar::AppointmentRecord moved =
        *Now(calendar::ItemKind::Appointment, "meeting@test").appointment;
    ASSERT_EQ(moved.recurrence.changes.size(), 1u);
    ASSERT_NE(moved.recurrence.changes[0].extraProperties.find("SEQUENCE:3"), std::string::npos)
        << moved.recurrence.changes[0].extraProperties;
    Keep(before, "meeting@test");

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    const calendar::AppointmentRecord back =
        *Now(calendar::ItemKind::Appointment, "meeting@test").appointment;
    ASSERT_EQ(back.recurrence.changes.size(), 1u);
    EXPECT_EQ(back.recurrence.changes[0].start, At(2026, 12, 17, 14));
    EXPECT_NE(back.recurrence.changes[0].extraProperties.find("SEQUENCE:4"), std::string::npos)
        << back.recurrence.changes[0].extraProperties;
    EXPECT_NE(back.recurrence.changes[0].extraProperties.find("LAST-MODIFIED:"), std::string::npos);
}

TEST_F(StoreUndoTest, ADeletedSeriesComesBackWithItsUidOccurrencesAndInk) {
    ASSERT_TRUE(app_.AddAll({RichSeries()}, {}).ok());
    ItemState before = Now(calendar::ItemKind::Appointment, "weekly@test");
    before.ink = {{u"3.dat", std::string(8, '\1')}};
    ASSERT_TRUE(app_.GetAppointmentFromOid(before.appointment->oid)->Delete().ok());
    Keep(before, "weekly@test");
    ASSERT_FALSE(Now(calendar::ItemKind::Appointment, "weekly@test").present());

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    const ItemState back = Now(calendar::ItemKind::Appointment, "weekly@test");
    ASSERT_TRUE(back.appointment);
    EXPECT_NE(back.appointment->oid, before.appointment->oid);  // object ids are never reused
    EXPECT_EQ(Fingerprint(back), Fingerprint(before));
    EXPECT_EQ(back.appointment->recurrence.changes.size(), 2u);

    // Doing it again deletes it, and the step keeps the ink it was given for the way back.
    ASSERT_EQ(Apply(StepDirection::Again, {{u"3.dat", std::string(8, '\2')}}).value(),
              StepOutcome::Applied);
    EXPECT_FALSE(Now(calendar::ItemKind::Appointment, "weekly@test").present());
    auto next = app_.NextStep(kHome, StepDirection::Back);
    ASSERT_TRUE(next.ok() && next->has_value());
    EXPECT_EQ((*next)->returnTo.ink, (std::vector<KeptInk>{{u"3.dat", std::string(8, '\2')}}));
    EXPECT_EQ(Fingerprint((*next)->returnTo), Fingerprint(before));
}

TEST_F(StoreUndoTest, ATaskCreatedIsRemovedAndItsDeletionIsToldToTheServer) {
    ASSERT_TRUE(app_.AddAll({}, {RichTask()}).ok());
    Keep(ItemState{}, "task@test", kHome, calendar::ItemKind::Task);
    ASSERT_TRUE(
        app_.RecordServerCopy(calendar::ItemKind::Task, "task@test", {"/cal/task.ics", "\"1\""}, 1)
            .ok());

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    EXPECT_FALSE(Now(calendar::ItemKind::Task, "task@test").present());
    const std::vector<calendar::SyncEntry> entries = *app_.SyncEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].deleted);
    EXPECT_EQ(entries[0].href, "/cal/task.ics");

    ASSERT_EQ(Apply(StepDirection::Again).value(), StepOutcome::Applied);
    const ItemState again = Now(calendar::ItemKind::Task, "task@test");
    ASSERT_TRUE(again.task);
    EXPECT_EQ(again.task->dueDate, At(2026, 12, 18, 17));
    EXPECT_FALSE(app_.SyncEntries()->at(0).deleted);
}

TEST_F(StoreUndoTest, AStepWhoseItemChangedSinceIsNotApplied) {
    ASSERT_TRUE(app_.AddAll({Meeting()}, {}).ok());
    const ItemState before = Now(calendar::ItemKind::Appointment, "meeting@test");
    auto appointment = app_.GetAppointmentFromOid(before.appointment->oid);
    appointment->SetSubject(u"会議 (変更)");
    ASSERT_TRUE(appointment->Save().ok());
    Keep(before, "meeting@test");

    // Another program (a sync, an import) changes it afterwards.
    calendar::AppointmentRecord theirs = Meeting();
    theirs.location = u"本社";
    ASSERT_TRUE(
        app_.SaveByUid({{theirs, calendar::ItemFields().Add(calendar::ItemField::Location)}}, {},
                       calendar::UidSource::Owner)
            .ok());
    const ItemState changed = Now(calendar::ItemKind::Appointment, "meeting@test");

    EXPECT_EQ(Apply(StepDirection::Back).value(), StepOutcome::ItemChanged);
    EXPECT_EQ(*Now(calendar::ItemKind::Appointment, "meeting@test").appointment,
              *changed.appointment);
    // It can never apply again: the change before it comes next.
    EXPECT_FALSE(app_.NextStep(kHome, StepDirection::Back)->has_value());

    // An item deleted since is a change too.
    Keep(changed, "meeting@test");
    ASSERT_TRUE(app_.GetAppointmentFromOid(changed.appointment->oid)->Delete().ok());
    EXPECT_EQ(Apply(StepDirection::Back).value(), StepOutcome::ItemChanged);
    EXPECT_FALSE(Now(calendar::ItemKind::Appointment, "meeting@test").present());
}

TEST_F(StoreUndoTest, AStepTakenBackBySomeoneElseFirstIsNotAppliedTwice) {
    ASSERT_TRUE(app_.AddAll({Meeting()}, {}).ok());
    Keep(ItemState{}, "meeting@test");
    auto step = app_.NextStep(kHome, StepDirection::Back);
    ASSERT_TRUE(step.ok() && step->has_value());
    ItemState replaced;
    ASSERT_EQ(app_.ApplyStep(**step, StepDirection::Back, kHome, {}, replaced).value(),
              StepOutcome::Applied);
    EXPECT_EQ(app_.ApplyStep(**step, StepDirection::Back, kHome, {}, replaced).value(),
              StepOutcome::Moved);
}

TEST_F(StoreUndoTest, StepsAreKeptPerHomeAcrossRestartsAndANewChangeEndsWhatWasTakenBack) {
    ASSERT_TRUE(app_.AddAll({Meeting()}, {}).ok());
    for (int i = 0; i < kUndoStepsKept + 5; ++i) {
        Keep(Now(calendar::ItemKind::Appointment, "meeting@test"), "meeting@test");
    }
    Keep(Now(calendar::ItemKind::Appointment, "meeting@test"), "meeting@test",
         "/home/b/tessarinth");
    app_.LogOff();
    ASSERT_TRUE(app_.LogOn(StorePath()).ok());

    auto steps = app_.UndoSteps(kHome);
    ASSERT_TRUE(steps.ok());
    // The other home's step is never listed here, nor counted among this home's hundred.
    EXPECT_EQ(steps->size(), static_cast<size_t>(kUndoStepsKept));
    EXPECT_GT(steps->front().id, steps->back().id);  // newest first
    ASSERT_EQ(app_.UndoSteps("/home/b/tessarinth")->size(), 1u);
    EXPECT_FALSE(app_.NextStep("/home/c/tessarinth", StepDirection::Back)->has_value());

    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    EXPECT_EQ(app_.UndoSteps(kHome)->front().undone, true);
    Keep(Now(calendar::ItemKind::Appointment, "meeting@test"), "meeting@test");
    EXPECT_FALSE(app_.NextStep(kHome, StepDirection::Again)->has_value());
    EXPECT_EQ(app_.UndoSteps(kHome)->size(), static_cast<size_t>(kUndoStepsKept - 1));
}

// A damaged step once stopped every undo before it: it is set aside (once), and the step before
// it applies next, as after a step whose item changed since. It never deletes its item, though
// the state it would return to reads as none.
TEST_F(StoreUndoTest, ADamagedStepIsSetAsideAndTheOneBeforeItComesNext) {
    for (const char* damage : {"return_to = x'41ffffffffffffffff'", "ink = x'ff'"}) {
        SCOPED_TRACE(damage);
        app_.LogOff();
        Execute("DELETE FROM appointments; DELETE FROM tasks; DELETE FROM undo_steps");
        ASSERT_TRUE(app_.LogOn(StorePath()).ok());
        ASSERT_TRUE(app_.AddAll({Meeting()}, {RichTask()}).ok());
        const ItemState task = Now(calendar::ItemKind::Task, "task@test");
        auto shopping = app_.GetTaskFromOid(task.task->oid);
        shopping->SetSubject(u"買い物と掃除");
        ASSERT_TRUE(shopping->Save().ok());
        Keep(task, "task@test", kHome, calendar::ItemKind::Task);
        const ItemState meeting = Now(calendar::ItemKind::Appointment, "meeting@test");
        auto appointment = app_.GetAppointmentFromOid(meeting.appointment->oid);
        appointment->SetLocation(u"本社");
        ASSERT_TRUE(appointment->Save().ok());
        Keep(meeting, "meeting@test");
        app_.LogOff();
        Execute(std::string("UPDATE undo_steps SET ") + damage +
                " WHERE id = (SELECT max(id) FROM undo_steps)");
        ASSERT_TRUE(app_.LogOn(StorePath()).ok());

        auto next = app_.NextStep(kHome, StepDirection::Back);
        ASSERT_TRUE(next.ok() && next->has_value());
        EXPECT_TRUE((*next)->damaged);
        EXPECT_FALSE((*next)->returnTo.present());
        EXPECT_EQ(app_.UndoSteps(kHome)->size(), 2u);  // listed until it is met
        ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Damaged);
        EXPECT_EQ(Now(calendar::ItemKind::Appointment, "meeting@test").appointment->location,
                  u"本社");
        ASSERT_EQ(app_.UndoSteps(kHome)->size(), 1u);
        ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
        EXPECT_EQ(Now(calendar::ItemKind::Task, "task@test").task->subject, u"買い物");
    }
}

TEST_F(StoreUndoTest, AStepStillAppliesAfterTheStoreFollowedAnotherZone) {
    calendar::AppointmentRecord zoned = Meeting();
    zoned.zone = calendar::ItemZone{calendar::ItemZone::Form::Zoned, "Europe/Berlin", ""};
    zoned.zoneStart = zoned.start;
    zoned.zoneEnd = zoned.end;
    ASSERT_TRUE(app_.AddAll({zoned}, {}).ok());
    const ItemState before = Now(calendar::ItemKind::Appointment, "meeting@test");
    auto appointment = app_.GetAppointmentFromOid(before.appointment->oid);
    appointment->SetSubject(u"出張中");
    ASSERT_TRUE(appointment->Save().ok());
    Keep(before, "meeting@test");
    app_.LogOff();

    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    ASSERT_EQ(Apply(StepDirection::Back).value(), StepOutcome::Applied);
    const calendar::AppointmentRecord back =
        *Now(calendar::ItemKind::Appointment, "meeting@test").appointment;
    EXPECT_EQ(back.subject, u"会議");
    // 10:00 in Berlin is 18:00 in Tokyo: the moment is kept, not the Berlin clock time.
    EXPECT_EQ(back.start, At(2026, 12, 10, 18));
    EXPECT_EQ(back.zoneStart, At(2026, 12, 10, 10));
}

TEST_F(StoreUndoTest, AStoreOfTheVersionBeforeIsBroughtUpWithoutTouchingItsItems) {
    calendar::AppointmentRecord floating = Meeting();
    floating.zone = calendar::ItemZone{calendar::ItemZone::Form::Floating, "", ""};
    calendar::AppointmentRecord typed = Meeting();
    typed.uid = "typed@test";
    typed.body = u"1.dat";  // a text memo that reads like an ink file's name
    ASSERT_TRUE(app_.AddAll({floating, typed, RichSeries()}, {RichTask()}).ok());
    const auto appointments = *app_.AllAppointments();
    const auto tasks = *app_.AllTasks();
    const auto entries = *app_.SyncEntries();
    app_.LogOff();
    Execute("DROP TABLE undo_steps; PRAGMA user_version = 6");

    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    EXPECT_EQ(*app_.AllAppointments(), appointments);
    EXPECT_EQ(*app_.AllTasks(), tasks);
    EXPECT_EQ(*app_.SyncEntries(), entries);
    EXPECT_TRUE(app_.UndoSteps(kHome)->empty());
}

}  // namespace
}  // namespace store

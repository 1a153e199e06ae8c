// Changes kept as steps through the editors' own writes, taken back and done again with their ink
// files.
#include "editors/undo_steps.h"

#include <gtest/gtest.h>

#include "editors/appointment_writes.h"
#include "editors/task_writes.h"
#include "schedule/ink_entry.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

using calendar::ItemKind;
using schedule::EncodeInkEntries;
using store::StepDirection;

class UndoStepsTest : public EditorsFixture {
protected:
    int32_t AddInkAppointment(const char* name, const std::vector<InkEntry>& ink,
                              std::u16string body) {
        WriteBytes(DataFolder() / name, EncodeInkEntries(ink));
        return AddHandwritten(std::move(body));
    }

    StepResult Undo() { return ApplyNextStep(context_, StepDirection::Back); }
    StepResult Redo() { return ApplyNextStep(context_, StepDirection::Again); }

    // The appointments listed on 2024-05-10, by subject.
    std::vector<std::u16string> Listed() {
        EXPECT_TRUE(schedule::LoadDayItems(At(2024, 5, 10), settings_, home_, session_, *items_));
        std::vector<std::u16string> subjects;
        for (const schedule::DayItemRow& row : items_->table) {
            if (row.objectId != 0 && row.rowDate == At(2024, 5, 10)) {
                subjects.push_back(row.subject);
            }
        }
        return subjects;
    }

    // The ink file the stored appointment with that subject names, read.
    std::string InkOfListed(std::u16string_view subject) {
        const auto all = reader_.AllAppointments();
        for (const calendar::AppointmentRecord& record : *all) {
            if (record.subject == subject) {
                return InkFile(
                    platform::Utf16ToUtf8Lossy(calendar::InkNameOf(record.body, true)).c_str());
            }
        }
        ADD_FAILURE() << "nothing listed as " << platform::Utf16ToUtf8Lossy(subject);
        return {};
    }
};

TEST_F(UndoStepsTest, ADeletedHandwrittenMemoComesBackWithItsDrawingAndGoesAgain) {
    const int32_t oid = AddInkAppointment("4.dat", Strokes(2, 7), u"4.dat\r\n道順");
    const std::string uid = Stored(oid).uid;
    Open(oid);
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Deleted, ItemKind::Appointment, oid,
                              [&] { return DeleteAppointment(context_, record_); }));
    ASSERT_EQ(ListFolder(DataFolder()), "");

    const StepResult undone = Undo();
    ASSERT_TRUE(undone.ok()) << undone.detail;
    EXPECT_EQ(undone.subject, u"打合せ");
    EXPECT_EQ(undone.change, ChangeKind::Deleted);
    const std::vector<calendar::AppointmentRecord> back = *reader_.AllAppointments();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].uid, uid);
    EXPECT_EQ(back[0].body, u"4.dat\r\n道順");  // its own file name was free again
    EXPECT_TRUE(back[0].handwritten);
    EXPECT_EQ(ListFolder(DataFolder()), "4.dat");
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(2, 7)));
    EXPECT_TRUE(CensusStale());

    ASSERT_TRUE(Redo().ok());
    EXPECT_TRUE(reader_.AllAppointments()->empty());
    EXPECT_EQ(ListFolder(DataFolder()), "");
    EXPECT_EQ(Undo().status, StepResult::Status::Applied);
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(2, 7)));
}

TEST_F(UndoStepsTest, ARedrawingIsTakenBackToTheFormerDrawingAndDoneAgain) {
    const int32_t oid = AddInkAppointment("4.dat", Strokes(1, 1), u"4.dat");
    Open(oid);
    SetPadInk(Strokes(3, 2));
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Saved, ItemKind::Appointment, oid,
                              [&] { return UpdateAppointment(context_, record_, pad_, u""); }));
    ASSERT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(3, 2)));

    // The redrawing holds the name: the former drawing comes back under a number of its own,
    // and the redrawing's file goes with the step.
    ASSERT_TRUE(Undo().ok());
    EXPECT_EQ(InkOfListed(u"打合せ"), EncodeInkEntries(Strokes(1, 1)));
    EXPECT_EQ(ListFolder(DataFolder()), "1.dat");

    ASSERT_TRUE(Redo().ok());
    EXPECT_EQ(InkOfListed(u"打合せ"), EncodeInkEntries(Strokes(3, 2)));
    EXPECT_EQ(ListFolder(DataFolder()), "4.dat");
}

TEST_F(UndoStepsTest, AnOccurrenceCancelledAloneReturnsToItsSeriesWithItsChange) {
    calendar::AppointmentRecord series;
    series.start = series.zoneStart = At(2024, 5, 6, 9);
    series.end = series.zoneEnd = At(2024, 5, 6, 10);
    series.subject = u"朝会";
    series.recurrence.rule = "FREQ=DAILY;COUNT=10";
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2024, 5, 10, 9);
    moved.start = moved.zoneStart = At(2024, 5, 10, 14);
    moved.end = moved.zoneEnd = At(2024, 5, 10, 15);
    moved.subject = u"朝会 (午後)";
    series.recurrence.changes = {moved};
    const int32_t oid = Add(series);
    const calendar::AppointmentRecord before = Stored(oid);
    Open(oid);
    ASSERT_EQ(record_.Occurrence, At(2024, 5, 10, 9));
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Cut, ItemKind::Appointment, oid,
                              [&] { return CancelOccurrence(context_, record_); }));
    EXPECT_TRUE(Listed().empty());

    ASSERT_TRUE(Undo().ok());
    EXPECT_EQ(Listed(), std::vector<std::u16string>{u"朝会 (午後)"});
    calendar::Recurrence back = Stored(oid).recurrence;
    ASSERT_EQ(back.changes.size(), 1u);
    // Stamped: for other calendars it comes back after they saw it cancelled.
    EXPECT_NE(back.changes[0].extraProperties.find("LAST-MODIFIED:"), std::string::npos);
    back.changes[0].extraProperties = before.recurrence.changes[0].extraProperties;
    EXPECT_EQ(back, before.recurrence);
}

TEST_F(UndoStepsTest, APasteIsRemovedAndATickIsClearedAndBothComeBack) {
    FillForNewAppointment(record_, At(2024, 5, 10, 9));
    record_.End = At(2024, 5, 10, 10);
    record_.Subject = u"貼り付けた予定";
    SetPadInk(Strokes(1, 3));
    const WriteResult pasted =
        RecordedWrite(context_, ChangeKind::Pasted, ItemKind::Appointment, 0,
                      [&] { return CreateAppointment(context_, record_, pad_, u""); });
    ASSERT_TRUE(pasted);
    ASSERT_EQ(ListFolder(DataFolder()), "1.dat");

    calendar::TaskRecord task;
    task.subject = u"買い物";
    task.dueDate = At(2024, 5, 10);
    const int32_t taskOid = reader_.AddAll({}, {task})->front();
    Open(taskOid);
    record_.Complete = 1;
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Checked, ItemKind::Task, taskOid,
                              [&] { return SetTaskCompletion(context_, record_); }));
    ASSERT_TRUE(reader_.GetTaskFromOid(taskOid)->Record().complete);

    ASSERT_TRUE(Undo().ok());
    EXPECT_FALSE(reader_.GetTaskFromOid(taskOid)->Record().complete);
    const StepResult unpasted = Undo();
    ASSERT_TRUE(unpasted.ok());
    EXPECT_EQ(unpasted.change, ChangeKind::Pasted);
    EXPECT_EQ(Listed(), std::vector<std::u16string>{u"買い物"});
    EXPECT_EQ(ListFolder(DataFolder()), "");
    EXPECT_EQ(Undo().status, StepResult::Status::NothingToApply);

    ASSERT_TRUE(Redo().ok());
    EXPECT_EQ(InkOfListed(u"貼り付けた予定"), EncodeInkEntries(Strokes(1, 3)));
    ASSERT_TRUE(Redo().ok());
    EXPECT_TRUE(reader_.GetTaskFromOid(taskOid)->Record().complete);
    EXPECT_EQ(Redo().status, StepResult::Status::NothingToApply);
}

TEST_F(UndoStepsTest, AChangeMadeSinceElsewhereIsNeverTakenBack) {
    const int32_t oid = AddAppointment(u"メモ");
    Open(oid);
    record_.Subject = u"打合せ (変更)";
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Saved, ItemKind::Appointment, oid,
                              [&] { return UpdateAppointment(context_, record_, pad_, u"メモ"); }));
    // Another program changes the item afterwards, its subject among what it changes.
    auto appointment = reader_.GetAppointmentFromOid(oid);
    appointment->SetLocation(u"別館");
    appointment->SetSubject(u"打合せ (延期)");
    ASSERT_TRUE(appointment->Save().ok());

    // The refusal names the item as it is called now.
    const StepResult refused = Undo();
    EXPECT_EQ(refused.status, StepResult::Status::ItemChanged);
    EXPECT_EQ(refused.subject, u"打合せ (延期)");
    EXPECT_EQ(ItemChangedMessage(refused.subject),
              u"「打合せ (延期)」はその後変更されたため、元に戻せません");
    EXPECT_EQ(Stored(oid).subject, u"打合せ (延期)");
    EXPECT_EQ(Stored(oid).location, u"別館");
}

TEST_F(UndoStepsTest, OnlyWritesThatChangedTheItemAreKept) {
    const int32_t oid = AddAppointment(u"メモ");
    Open(oid);
    // OK over an editor whose boxes were left as they were.
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Saved, ItemKind::Appointment, oid,
                              [&] { return UpdateAppointment(context_, record_, pad_, u"メモ"); }));
    EXPECT_EQ(Undo().status, StepResult::Status::NothingToApply);

    // A write that failed is no step either.
    record_.ItemOid = oid + 100;
    EXPECT_FALSE(RecordedWrite(context_, ChangeKind::Deleted, ItemKind::Appointment,
                               record_.ItemOid,
                               [&] { return DeleteAppointment(context_, record_); }));
    EXPECT_EQ(Undo().status, StepResult::Status::NothingToApply);
}

TEST_F(UndoStepsTest, StepsOfAnotherDataHomeAreNotApplied) {
    const int32_t oid = AddAppointment(u"");
    Open(oid);
    ASSERT_TRUE(RecordedWrite(context_, ChangeKind::Deleted, ItemKind::Appointment, oid,
                              [&] { return DeleteAppointment(context_, record_); }));
    // The same store file reached from another data home (a copy of it, say).
    testing_support::TempFolder otherFolder;
    ASSERT_TRUE(otherFolder.Made());
    const platform::DataHome other(otherFolder.Path());
    StoreWriteContext elsewhere{session_, other, settings_, census_, clock_};
    EXPECT_EQ(ApplyNextStep(elsewhere, StepDirection::Back).status,
              StepResult::Status::NothingToApply);
    EXPECT_TRUE(reader_.AllAppointments()->empty());
    EXPECT_TRUE(Undo().ok());
}

}  // namespace
}  // namespace editors

#include "editors/task_writes.h"

#include <gtest/gtest.h>

#include "calendar/ical_io.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

class TaskWritesTest : public EditorsFixture {
protected:
    int32_t AddTask(platform::Date due, std::u16string notes) {
        calendar::TaskRecord record;
        record.subject = u"買い物";
        record.dueDate = due;
        record.body = std::move(notes);
        auto oids = reader_.AddAll({}, {record});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    calendar::TaskRecord Stored(int32_t oid) {
        auto task = reader_.GetTaskFromOid(oid);
        EXPECT_TRUE(task.ok());
        return task ? task->Record() : calendar::TaskRecord{};
    }

    WriteResult CreateWith(WriteResult (*write)(const StoreWriteContext&, const EditRecord&),
                           platform::Date due) {
        FillForNewTask(record_, due);
        record_.Subject = u"電話";
        record_.Body = u"番号は手帳";
        record_.Complete = 1;
        return write(context_, record_);
    }
};

TEST_F(TaskWritesTest, NewTasksGetAnIdentityThatEditsKeep) {
    const WriteResult created = CreateWith(CreateTask, At(2024, 5, 12));
    ASSERT_TRUE(created.ok());
    const std::string uid = Stored(created.itemOid).uid;
    EXPECT_TRUE(uid.ends_with("@tessarinth")) << uid;
    record_.ItemOid = created.itemOid;
    record_.Subject = u"電話 (済)";
    ASSERT_TRUE(UpdateTask(context_, record_));
    ASSERT_TRUE(SetTaskCompletion(context_, record_));
    EXPECT_EQ(Stored(created.itemOid).uid, uid);
    EXPECT_NE(Stored(CreateWith(CreateUndatedTask, 0.0).itemOid).uid, uid);
}

TEST_F(TaskWritesTest, CreatesStoreNotesExceptTheSubjectAndCompletionOnlyWrite) {
    const calendar::TaskRecord dated = Stored(CreateWith(CreateTask, At(2024, 5, 12)).itemOid);
    EXPECT_EQ(dated.subject, u"電話");
    EXPECT_EQ(dated.dueDate, At(2024, 5, 12));
    EXPECT_TRUE(dated.complete);
    EXPECT_EQ(dated.body, u"番号は手帳");

    const calendar::TaskRecord pasted = Stored(CreateWith(CreateUndatedTask, 0.0).itemOid);
    EXPECT_EQ(pasted.dueDate, calendar::kNoDateValue);
    EXPECT_TRUE(pasted.complete);
    EXPECT_EQ(pasted.body, u"");

    // The task editor's save of a task without due date keeps what was typed as notes.
    const calendar::TaskRecord edited = Stored(CreateWith(SaveEditedTask, 0.0).itemOid);
    EXPECT_EQ(edited.dueDate, calendar::kNoDateValue);
    EXPECT_EQ(edited.body, u"番号は手帳");
}

TEST_F(TaskWritesTest, TheEditorsSaveClearsTheDueDateAndStoresNotes) {
    const int32_t oid = AddTask(At(2024, 5, 10), u"古いメモ");
    Open(oid);
    ASSERT_EQ(record_.Body, u"古いメモ");
    record_.Start = 0.0;  // the editor's clear button
    record_.Body = u"新しいメモ";
    ASSERT_TRUE(SaveEditedTask(context_, record_));
    EXPECT_EQ(Stored(oid).dueDate, calendar::kNoDateValue);
    EXPECT_EQ(Stored(oid).body, u"新しいメモ");

    record_.Start = At(2024, 6, 1);
    ASSERT_TRUE(SaveEditedTask(context_, record_));
    EXPECT_EQ(Stored(oid).dueDate, At(2024, 6, 1));
}

TEST_F(TaskWritesTest, TogglingCompletionTwiceRestoresItAndTouchesNothingElse) {
    const int32_t undated = AddTask(calendar::kNoDateValue, u"メモ");
    ASSERT_TRUE(schedule::LoadDayItems(At(2024, 5, 10), settings_, home_, session_, *items_));
    ASSERT_EQ(items_->undatedTasks[0].objectId, undated);
    FillFromUndatedTask(record_, items_->undatedTasks[0]);
    for (const bool complete : {true, false}) {
        record_.Complete = complete ? 1 : 0;
        ASSERT_TRUE(UpdateUndatedTask(context_, record_));
        EXPECT_EQ(Stored(undated).complete, complete);
        EXPECT_EQ(Stored(undated).body, u"メモ");
        EXPECT_EQ(Stored(undated).dueDate, calendar::kNoDateValue);
    }

    const int32_t dated = AddTask(At(2024, 5, 10, 8), u"詳細");
    Open(dated);
    record_.Complete = 1;
    ASSERT_TRUE(UpdateTask(context_, record_));
    EXPECT_TRUE(Stored(dated).complete);
    EXPECT_EQ(Stored(dated).dueDate, At(2024, 5, 10, 8));
    EXPECT_EQ(Stored(dated).body, u"詳細");
}

// Done at 09:00 by the planner's clock (1 May 2024): that moment is the task's completion, and
// the corner still lists it among the tasks done that day, and not the day after.
TEST_F(TaskWritesTest, ACompletionIsTheMomentOfThePlannersClockAndCountsForItsDay) {
    const int32_t undated = AddTask(calendar::kNoDateValue, u"");
    ASSERT_TRUE(schedule::LoadDayItems(At(2024, 5, 1), settings_, home_, session_, *items_));
    FillFromUndatedTask(record_, items_->undatedTasks[0]);
    record_.Complete = 1;
    ASSERT_TRUE(SetTaskCompletion(context_, record_));
    EXPECT_EQ(Stored(undated).dateCompleted, At(2024, 5, 1, 9));
    const std::string text = calendar::WriteICalendar({}, {Stored(undated)});
    EXPECT_NE(text.find("\r\nCOMPLETED:20240501T070000Z\r\n"), std::string::npos) << text;

    for (const auto& [day, listed] :
         {std::pair{At(2024, 5, 1), true}, std::pair{At(2024, 5, 2), false}}) {
        ASSERT_TRUE(schedule::LoadDayItems(day, settings_, home_, session_, *items_));
        EXPECT_EQ(items_->undatedTasks[0].objectId == undated, listed);
    }
}

TEST_F(TaskWritesTest, DeleteRemovesOnlyTheTaskAndAMissingOneChangesNothing) {
    const int32_t kept = AddTask(calendar::kNoDateValue, u"");
    const int32_t gone = AddTask(At(2024, 5, 10), u"");
    record_.ItemOid = gone;
    ASSERT_TRUE(DeleteTask(context_, record_));
    EXPECT_FALSE(reader_.GetTaskFromOid(gone));
    EXPECT_EQ(DeleteTask(context_, record_).status, WriteStatus::ItemMissing);
    record_.Subject = u"別件";
    EXPECT_EQ(UpdateTask(context_, record_).status, WriteStatus::ItemMissing);
    ASSERT_EQ(reader_.AllTasks()->size(), 1u);
    EXPECT_EQ(Stored(kept).subject, u"買い物");
}

}  // namespace
}  // namespace editors

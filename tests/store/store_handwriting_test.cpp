// The store's handwritten mark: kept with each memo and changed occurrence, carried with the
// body by an update, and given by an older store to the memos it took for handwriting.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

class StoreHandwritingTest : public StoreFixture {
protected:
    static calendar::AppointmentRecord Memo(std::string uid, std::u16string body,
                                            bool handwritten) {
        calendar::AppointmentRecord record;
        record.uid = std::move(uid);
        record.start = At(2026, 12, 7, 9);
        record.end = At(2026, 12, 7, 10);
        record.body = std::move(body);
        record.handwritten = handwritten;
        return record;
    }

    // A daily series whose second occurrence is moved, with a memo of its own.
    static calendar::AppointmentRecord SeriesWithMemo(std::u16string changeBody, bool handwritten) {
        calendar::AppointmentRecord series = Memo("daily@test", u"", false);
        series.recurrence.rule = "FREQ=DAILY;COUNT=3";
        series.zoneStart = series.start;
        calendar::OccurrenceChange moved;
        moved.recurrenceId = At(2026, 12, 8, 9);
        moved.start = At(2026, 12, 8, 14);
        moved.end = At(2026, 12, 8, 15);
        moved.body = std::move(changeBody);
        moved.handwritten = handwritten;
        series.recurrence.changes = {moved};
        return series;
    }

    calendar::AppointmentRecord Stored(const std::string& uid) {
        Result<std::vector<calendar::AppointmentRecord>> all = app_.AllAppointments();
        if (all.ok()) {
            for (calendar::AppointmentRecord& record : all.value()) {
                if (record.uid == uid) {
                    return record;
                }
            }
        }
        ADD_FAILURE() << "no item " << uid;
        return {};
    }
};

TEST_F(StoreHandwritingTest, TheMarkIsKeptWithEachMemoAndChangedOccurrence) {
    ASSERT_TRUE(app_.AddAll({Memo("ink@test", u"3.dat", true),
                             Memo("text@test", u"3.dat\r\nこのファイルを見て", false),
                             SeriesWithMemo(u"4.dat\r\n午後に", true)},
                            {})
                    .ok());
    EXPECT_TRUE(Stored("ink@test").handwritten);
    EXPECT_FALSE(Stored("text@test").handwritten);
    const calendar::AppointmentRecord series = Stored("daily@test");
    EXPECT_FALSE(series.handwritten);
    ASSERT_EQ(series.recurrence.changes.size(), 1u);
    EXPECT_TRUE(series.recurrence.changes[0].handwritten);

    // The moved occurrence as the day list gets it carries its own memo's mark.
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    auto eighth = items->Restrict(uR"([Start] >= "2026/12/8" and [Start] <= "2026/12/8")");
    ASSERT_TRUE(eighth.ok());
    eighth->SetIncludeRecurrences(true);
    auto moved = eighth->AppointmentAt(1);
    ASSERT_TRUE(moved.ok());
    EXPECT_TRUE(moved->IsChangedOccurrence());
    EXPECT_TRUE(moved->Handwritten());

    // An edit can clear it.
    auto ink = app_.GetAppointmentFromOid(Stored("ink@test").oid);
    ink->SetBody(u"清書");
    ink->SetHandwritten(false);
    ASSERT_TRUE(ink->Save().ok());
    EXPECT_FALSE(Stored("ink@test").handwritten);
}

TEST_F(StoreHandwritingTest, AnUpdateByUidTakesTheMarkWithTheBody) {
    ASSERT_TRUE(
        app_.AddAll({Memo("kept@test", u"3.dat", true), Memo("given@test", u"4.dat", true)}, {})
            .ok());
    // A calendar without DESCRIPTION leaves the memo, and its handwriting, as it was.
    calendar::AppointmentRecord withoutMemo = Memo("kept@test", u"", false);
    withoutMemo.subject = u"件名だけ";
    // One whose DESCRIPTION reads like the old memo is text all the same.
    calendar::AppointmentRecord withMemo = Memo("given@test", u"4.dat", false);
    auto saved = app_.SaveByUid(
        {{withoutMemo, calendar::ItemFields::None().Add(calendar::ItemField::Subject)},
         {withMemo, calendar::ItemFields::All()}},
        {});
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(Stored("kept@test").subject, u"件名だけ");
    EXPECT_EQ(Stored("kept@test").body, u"3.dat");
    EXPECT_TRUE(Stored("kept@test").handwritten);
    EXPECT_EQ(Stored("given@test").body, u"4.dat");
    EXPECT_FALSE(Stored("given@test").handwritten);
    EXPECT_EQ(saved->Count(UidSaveSummary::Outcome::Updated), 2);

    // The same mark again is no change.
    auto again =
        app_.SaveByUid({{Memo("given@test", u"4.dat", false), calendar::ItemFields::All()}}, {});
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->Count(UidSaveSummary::Outcome::Unchanged), 1);
}

TEST_F(StoreHandwritingTest, AStoreOfAnEarlierVersionMarksTheMemosItTookForHandwriting) {
    ASSERT_TRUE(app_.AddAll({Memo("ink@test", u"12.dat", false),
                             Memo("ink-and-text@test", u"2.dat\r\n追記", false),
                             Memo("other-file@test", u"notes.dat", false),
                             Memo("not-alone@test", u"1.dat を見て", false),
                             Memo("number@test", u"12", false), Memo("empty@test", u"", false),
                             SeriesWithMemo(u"3.dat", false)},
                            {})
                    .ok());
    const std::vector<calendar::SyncEntry> entries = *app_.SyncEntries();
    app_.LogOff();
    // The store as the version before kept it: no mark at all.
    Execute(
        "ALTER TABLE appointments DROP COLUMN handwritten;"
        "ALTER TABLE occurrence_changes DROP COLUMN handwritten;"
        "PRAGMA user_version = 5");

    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    EXPECT_TRUE(Stored("ink@test").handwritten);
    EXPECT_TRUE(Stored("ink-and-text@test").handwritten);
    EXPECT_FALSE(Stored("other-file@test").handwritten);
    EXPECT_FALSE(Stored("not-alone@test").handwritten);
    EXPECT_FALSE(Stored("number@test").handwritten);
    EXPECT_FALSE(Stored("empty@test").handwritten);
    EXPECT_FALSE(Stored("daily@test").handwritten);
    EXPECT_TRUE(Stored("daily@test").recurrence.changes.at(0).handwritten);
    // Nothing is marked changed for the server.
    EXPECT_EQ(*app_.SyncEntries(), entries);

    // Brought up once: a memo typed afterwards that reads the same stays text.
    ASSERT_TRUE(app_.AddAll({Memo("typed@test", u"7.dat", false)}, {}).ok());
    app_.LogOff();
    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    EXPECT_FALSE(Stored("typed@test").handwritten);
}

}  // namespace
}  // namespace store
